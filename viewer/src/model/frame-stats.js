// The frames of a dump whose tracer marks them ("n Frame t", vimbrel
// --frames): how long each took, and in the slowest, what took their time.
// A frame runs from its mark to the next; the one the records end in is
// cut short and left out.

import { firstIndex } from './search.js';

/** How many of the slowest frames are kept with what took their time. */
export const SLOWEST_FRAMES = 10;
/** How many functions are named for each of them. */
export const FUNCTIONS_PER_FRAME = 3;

/**
 * A listener of CallBuilder: each frame's duration, and for the slowest
 * SLOWEST_FRAMES the functions that took most of their own time in it
 * (self time: the time between records goes to the innermost open call).
 */
export class FrameStats {
  constructor(names = (name) => name) {
    this.names = names;
    this.durations = [];
    this.slowest = [];
    this.current = null;
    this.open = [];
    this.lastTime = null;
  }

  enter(call) {
    this.spend(call.start);
    this.open.push(call.name);
  }

  adopt(call) {
    this.open.push(call.name);
  }

  exit(call) {
    this.spend(call.end);
    this.open.pop();
  }

  frame(name, time) {
    this.spend(time);
    if (this.current) this.close(time);
    this.current = { number: this.names(name), start: time, self: new Map() };
  }

  // The time since the last record goes to the innermost open call, in the
  // frame it fell in.
  spend(time) {
    const top = this.open.length ? this.open[this.open.length - 1] : undefined;
    if (this.current && top !== undefined && this.lastTime !== null && time > this.lastTime) {
      this.current.self.set(top, (this.current.self.get(top) ?? 0) + time - this.lastTime);
    }
    this.lastTime = time;
  }

  close(end) {
    const { number, start, self } = this.current;
    const duration = end - start;
    this.durations.push(duration);
    const last = this.slowest[this.slowest.length - 1];
    if (this.slowest.length >= SLOWEST_FRAMES && duration <= last.duration) return;
    const functions = [...self].sort((a, b) => b[1] - a[1]).slice(0, FUNCTIONS_PER_FRAME)
      .map(([name, time]) => ({ name: this.names(name), self: time }));
    this.slowest.push({ number, start, duration, functions });
    this.slowest.sort((a, b) => b.duration - a.duration);
    this.slowest.length = Math.min(this.slowest.length, SLOWEST_FRAMES);
  }

  /**
   * { count, median, p95, longest, slowest, over(budget) }, or null when
   * the dump marks no whole frame.
   */
  summary() {
    if (!this.durations.length) return null;
    const sorted = Float64Array.from(this.durations).sort();
    const at = (fraction) => sorted[Math.min(sorted.length - 1, Math.ceil(fraction * sorted.length) - 1)];
    return {
      count: sorted.length,
      median: at(0.5),
      p95: at(0.95),
      longest: sorted[sorted.length - 1],
      slowest: this.slowest,
      over: (budget) => sorted.length - firstIndex(sorted.length, (i) => sorted[i] > budget),
    };
  }
}
