// The panel under the chart: its tabs (Functions, Call tree, Bottom-up,
// Sandwich, Records, Problems), one shown at a time, each scrolling inside
// itself; and the bar above it that a drag moves, to give the chart or the
// panel more of the window.

// The least either side keeps, in pixels.
const LEAST = 80;

export class PanelTabs {
  /**
   * The tabs of `panel` (buttons `.tab-button[data-tab]`, sections
   * `.tab[data-tab]`); `splitter` resizes `panel` within `area`.
   * `on.show(name)` hears a tab shown; `on.resize()` the panel resized.
   */
  constructor(panel, splitter, area, { on = {} } = {}) {
    this.panel = panel;
    this.on = on;
    this.current = null;
    this.buttons = [...panel.querySelectorAll('.tab-button')];
    for (const button of this.buttons) button.addEventListener('click', () => this.show(button.dataset.tab));
    this.resizable(splitter, area);
  }

  /** Shows the tab `name`. */
  show(name) {
    if (!this.buttons.some((button) => button.dataset.tab === name)) return;
    this.current = name;
    for (const button of this.buttons) {
      const shown = button.dataset.tab === name;
      button.setAttribute('aria-selected', String(shown));
      button.tabIndex = shown ? 0 : -1;
    }
    for (const tab of this.panel.querySelectorAll('.tab')) tab.hidden = tab.dataset.tab !== name;
    this.on.show?.(name);
  }

  /** Says `count` on the tab `name`'s button (problems found), or nothing. */
  mark(name, count) {
    const button = this.buttons.find((candidate) => candidate.dataset.tab === name);
    button.dataset.count = count ? String(count) : '';
  }

  resizable(splitter, area) {
    splitter.addEventListener('pointerdown', (event) => {
      splitter.setPointerCapture(event.pointerId);
      const move = (moved) => {
        const bounds = area.getBoundingClientRect();
        const height = Math.min(Math.max(bounds.bottom - moved.clientY, LEAST), bounds.height - LEAST);
        this.panel.style.height = `${height}px`;
        this.on.resize?.();
      };
      const done = () => {
        splitter.removeEventListener('pointermove', move);
        splitter.removeEventListener('pointerup', done);
      };
      splitter.addEventListener('pointermove', move);
      splitter.addEventListener('pointerup', done);
    });
  }
}
