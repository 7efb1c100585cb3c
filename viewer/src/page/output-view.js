// The Output tab: the lines the movie printed with trace() (records of
// vimbrel --trace-output), each at its time with the call that printed
// it; a line selects its call.

import { formatMs } from '../model/format.js';

// The lines shown at first; the rest on request.
const SHOWN_LINES = 2000;

export class OutputView {
  /** In `box`, the trace() lines of `model` (the worker's); `on.select(call)` hears a line's call chosen. */
  constructor(box, model, { on = {} } = {}) {
    this.box = box;
    this.model = model;
    this.on = on;
    this.list = document.createElement('ol');
    this.list.className = 'output';
    this.list.addEventListener('click', (event) => {
      const line = event.target.closest('li');
      if (line && line.dataset.call !== undefined) this.on.select?.(Number(line.dataset.call));
    });
    const { traces } = model;
    if (!traces.count) {
      const none = document.createElement('p');
      none.className = 'hint';
      none.textContent = 'No line printed with trace() in this dump: a tracer made with vimbrel --trace-output records them.';
      box.replaceChildren(none);
      return;
    }
    box.replaceChildren(this.list);
    this.show(SHOWN_LINES);
  }

  // Lines up to `count`, after those shown already.
  show(count) {
    const { traces, calls, names } = this.model;
    this.list.querySelector('li.more')?.remove();
    const lines = [];
    for (let i = this.list.children.length; i < Math.min(count, traces.count); i++) {
      const line = document.createElement('li');
      const call = traces.call[i];
      const at = document.createElement('span');
      at.className = 'output-time';
      at.textContent = `${formatMs(+(traces.time[i] + calls.origin).toFixed(1))} ms`;
      const who = document.createElement('span');
      who.className = 'output-call';
      who.textContent = call >= 0 ? names[calls.name[call]] : '';
      const text = document.createElement('span');
      text.className = 'output-text';
      text.textContent = traces.texts[traces.text[i]];
      if (call >= 0) line.dataset.call = String(call);
      line.append(at, who, text);
      lines.push(line);
    }
    if (traces.count > count) {
      const more = document.createElement('li');
      more.className = 'more';
      const button = document.createElement('button');
      button.type = 'button';
      // A few thousand at a time: a long session prints millions.
      const next = Math.min(traces.count, count + SHOWN_LINES);
      button.textContent = `Show ${next - count} more of ${traces.count} lines`;
      button.addEventListener('click', () => this.show(next));
      more.append(button);
      lines.push(more);
    }
    this.list.append(...lines);
  }
}
