// What of the trace the flame chart shows: the stretch of the axis in view
// (zoomed and moved within the whole trace) and how far its rows are
// scrolled.

// The narrowest view, in records or milliseconds: one call fills it.
export const NARROWEST = { sequence: 1, time: 0.01 };

export class Viewport {
  constructor() {
    this.axis = 'sequence';
    this.whole = [0, 1];
    this.view = [0, 1];
    // How far the rows are scrolled, in pixels.
    this.top = 0;
  }

  /** The whole trace, `[from, to]` on `axis`, all in view. */
  reset(axis, [from, to]) {
    this.axis = axis;
    this.whole = [from, Math.max(to, from + NARROWEST[axis])];
    this.showAll();
  }

  showAll() {
    this.view = [...this.whole];
    this.top = 0;
  }

  get span() {
    return this.view[1] - this.view[0];
  }

  /** The stretch from `from`, `span` long, kept within the whole trace. */
  setView(from, span) {
    const [low, high] = this.whole;
    const width = Math.min(Math.max(span, NARROWEST[this.axis]), high - low);
    const start = Math.min(Math.max(from, low), high - width);
    this.view = [start, start + width];
  }

  /** Zooms by `factor` (below 1: in) around the point at `fraction` of the view's width. */
  zoom(factor, fraction = 0.5) {
    const [v0] = this.view;
    const span = this.span;
    const next = Math.min(Math.max(span * factor, NARROWEST[this.axis]), this.whole[1] - this.whole[0]);
    const pivot = v0 + span * fraction;
    this.setView(pivot - next * fraction, next);
  }

  /** Moves the view by `fraction` of its width. */
  pan(fraction) {
    this.setView(this.view[0] + this.span * fraction, this.span);
  }

  /** Shows [from, to) with a margin. */
  fit(from, to, margin = 0.02) {
    const span = Math.max(to - from, NARROWEST[this.axis]);
    this.setView(from - span * margin, span * (1 + 2 * margin));
  }

  /** The value on the axis at `x` of `width` pixels. */
  valueAt(x, width) {
    return this.view[0] + x / width * this.span;
  }
}
