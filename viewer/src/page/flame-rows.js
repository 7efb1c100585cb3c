// What the flame chart asks of the calls, by row: one row per depth, the
// calls of each in the order they begin (dump-tables.js's rowOrder), on
// the axis drawn: record indexes, or ms after the first record.

import { firstIndex } from '../model/search.js';

export class FlameRows {
  /** `calls` of a dump of `records` records, the last `end` ms after the first. */
  constructor(calls, { axis = 'sequence', records = 0, end = 0 } = {}) {
    this.calls = calls;
    this.axis = axis;
    this.records = records;
    this.end = end;
  }

  get depthCount() {
    return this.calls.depthCount;
  }

  /** The calls at `depth`, in the order they begin. */
  row(depth) {
    const { rowOrder, rowStarts } = this.calls;
    return rowOrder.subarray(rowStarts[depth], rowStarts[depth + 1]);
  }

  /** Where call `id` begins on the axis. */
  from(id) {
    return this.axis === 'time' ? this.calls.start[id] : this.calls.first[id];
  }

  /** Where call `id` ends on the axis. */
  to(id) {
    return this.axis === 'time' ? this.calls.end[id] : this.calls.last[id] + 1;
  }

  /** The whole trace on the axis, from its first record to its last: [from, to]. */
  whole() {
    if (this.axis === 'sequence') return [0, Math.max(this.records, 1)];
    // A clock held where it stood may end past the last record's time.
    const top = this.calls.count ? this.row(0) : [];
    return [0, Math.max(this.end, top.length ? this.to(top[top.length - 1]) : 0)];
  }

  /** The place in `row` of the first call that ends after `value` (or at it, for calls of no length there). */
  firstEndingAfter(row, value) {
    return firstIndex(row.length, (i) => this.to(row[i]) >= value);
  }

  // The place in `row` of the last call that begins at or before record `first`.
  lastBeginningBy(row, first) {
    return firstIndex(row.length, (i) => this.calls.first[row[i]] > first) - 1;
  }

  /** The depth of call `id`. */
  depthOf(id) {
    const { first } = this.calls;
    for (let d = 0; d < this.depthCount; d++) {
      const row = this.row(d);
      // Calls that begin at one record: the one asked for is among them.
      for (let i = this.lastBeginningBy(row, first[id]); i >= 0 && first[row[i]] === first[id]; i--) {
        if (row[i] === id) return d;
      }
    }
    return -1;
  }

  /** The calls that hold call `id` at `depth`, innermost first. */
  callersOf(id, depth) {
    const callers = [];
    for (let d = depth - 1; d >= 0; d--) {
      const row = this.row(d);
      const at = this.lastBeginningBy(row, this.calls.first[id]);
      if (at < 0) break;
      callers.push(row[at]);
    }
    return callers;
  }

  /**
   * The call at `depth` drawn at `value` on the axis, `slack` the width of
   * a pixel there (a call narrower than a pixel is drawn a pixel wide), or -1.
   */
  callAt(depth, value, slack) {
    if (depth < 0 || depth >= this.depthCount) return -1;
    const row = this.row(depth);
    const i = this.firstEndingAfter(row, value - slack);
    if (i >= row.length) return -1;
    const id = row[i];
    const from = this.from(id);
    const to = Math.max(this.to(id), from + slack);
    return value >= from - slack / 2 && value <= to + slack / 2 ? id : -1;
  }
}
