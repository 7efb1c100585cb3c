// A dump read once into flat tables, for a page that shows millions of
// records: the calls as typed arrays (one entry a call, rows by depth for
// the chart), the table per function, the places of the records in the
// text for the records pager, and the exports. Runs in the page's worker,
// and in node for the tests.

import { CallBuilder, FunctionStats, listeners } from './calls.js';
import { forEachRecord } from './trace.js';
import { SpeedscopeEvents, TimelineEvents, chromeTraceText } from './timeline.js';

/** How many errors and anomalies a dump keeps to show; the rest are counted. */
export const KEPT_PROBLEMS = 20;

// A larger copy of `array`, its values kept.
function grown(array, length) {
  const larger = new array.constructor(length);
  larger.set(array);
  return larger;
}

const ENTER_MISSING = 1;
const EXIT_MISSING = 2;
export const CALL_FLAGS = { ENTER_MISSING, EXIT_MISSING };

// What the table keeps of each call, and in what type.
const COLUMNS = {
  first: Uint32Array, last: Uint32Array, start: Float64Array, end: Float64Array,
  duration: Float32Array, self: Float32Array, name: Uint32Array, parent: Int32Array, flags: Uint8Array,
};

// Keeps every call in typed arrays; a listener of CallBuilder. `now` is
// the time the chart draws the current record at: the clock held where it
// was when it steps back, so that calls of one depth never overlap.
class CallColumns {
  constructor() {
    this.count = 0;
    this.now = 0;
    this.firstNow = 0;
    this.capacity = 1024;
    for (const [column, Type] of Object.entries(COLUMNS)) this[column] = new Type(this.capacity);
    this.open = [];
    // The calls at the top, which an adopted call takes in.
    this.roots = [];
    this.adopted = 0;
  }

  add(call, parent) {
    const id = this.count++;
    if (id === this.capacity) {
      this.capacity *= 2;
      for (const column of Object.keys(COLUMNS)) this[column] = grown(this[column], this.capacity);
    }
    this.first[id] = call.first;
    this.start[id] = this.now;
    this.name[id] = call.name;
    this.parent[id] = parent;
    if (parent < 0) this.roots.push(id);
    this.open.push(id);
    return id;
  }

  enter(call) {
    this.add(call, this.open.length ? this.open[this.open.length - 1] : -1);
  }

  adopt(call) {
    const held = this.roots;
    this.roots = [];
    this.adopted += 1;
    const id = this.add(call, -1);
    this.start[id] = this.firstNow;
    for (const root of held) this.parent[root] = id;
  }

  exit(call) {
    const id = this.open.pop();
    this.last[id] = call.last;
    this.end[id] = this.now;
    this.duration[id] = call.end - call.start;
    this.self[id] = call.end - call.start - call.childTime;
    this.flags[id] = (call.enterSeen ? 0 : ENTER_MISSING) | (call.exitSeen ? 0 : EXIT_MISSING);
  }

  // The columns at their length, with each call's depth and the calls of
  // each depth in the order they begin: rowOrder[rowStarts[d] ..
  // rowStarts[d + 1]) are the calls at depth d.
  table() {
    const count = this.count;
    const parent = this.parent;
    const depth = new Int32Array(count).fill(-1);
    const path = [];
    let depthCount = 0;
    for (let id = 0; id < count; id++) {
      // An adopted caller comes after the calls it holds: walk up to a
      // known depth, then down.
      let at = id;
      while (at >= 0 && depth[at] < 0) {
        path.push(at);
        at = parent[at];
      }
      let d = at >= 0 ? depth[at] : -1;
      while (path.length) depth[path.pop()] = ++d;
      depthCount = Math.max(depthCount, depth[id] + 1);
    }
    const rowStarts = new Int32Array(depthCount + 1);
    for (let id = 0; id < count; id++) rowStarts[depth[id] + 1]++;
    for (let d = 0; d < depthCount; d++) rowStarts[d + 1] += rowStarts[d];
    const rowOrder = new Int32Array(count);
    const filled = rowStarts.slice(0, depthCount);
    for (let id = 0; id < count; id++) rowOrder[filled[depth[id]]++] = id;
    const first = this.first;
    if (this.adopted) {
      // Adopted calls came last but begin first.
      for (let d = 0; d < depthCount; d++) {
        const row = rowOrder.subarray(rowStarts[d], rowStarts[d + 1]);
        row.set(Array.from(row).sort((a, b) => first[a] - first[b] || depth[a] - depth[b]));
      }
    }
    const table = { count, depthCount, depth, rowStarts, rowOrder };
    for (const column of Object.keys(COLUMNS)) {
      if (column !== 'parent') table[column] = this[column].slice(0, count);
    }
    return table;
  }
}

/**
 * Reads `text`: the records, their calls and what does not pair up.
 * `progress(records, fraction)` is called now and then. Returns
 * { records, firstTime, lastTime, names, stats, calls (see
 * CallColumns.table), errors, errorCount, anomalies, anomalyCount,
 * recordStarts, recordEnds }.
 */
export function analyseText(text, progress = () => {}) {
  const names = [];
  const ids = new Map();
  const columns = new CallColumns();
  const stats = new FunctionStats((id) => names[id]);
  const errors = [];
  const anomalies = [];
  let errorCount = 0;
  let anomalyCount = 0;
  const builder = new CallBuilder(listeners(columns, stats, {
    anomaly(index, said) {
      if (anomalyCount++ < KEPT_PROBLEMS) anomalies.push({ index, text: said });
    },
  }), (id) => names[id]);
  let starts = new Uint32Array(1024);
  let ends = new Uint32Array(1024);
  let firstTime = null;
  let lastTime = null;
  let now = -Infinity;
  const count = forEachRecord(text, (name, kind, time, start, end) => {
    let id = ids.get(name);
    if (id === undefined) {
      id = names.length;
      names.push(name);
      ids.set(name, id);
    }
    const index = builder.count;
    if (index === starts.length) {
      starts = grown(starts, index * 2);
      ends = grown(ends, index * 2);
    }
    starts[index] = start;
    ends[index] = end;
    if (firstTime === null) {
      firstTime = time;
      columns.firstNow = time;
    }
    lastTime = time;
    now = Math.max(now, time);
    columns.now = now;
    builder.add(id, kind, time);
    if ((index + 1) % 200000 === 0) progress(index + 1, end / text.length);
  }, (position, piece) => {
    if (errorCount++ < KEPT_PROBLEMS) errors.push({ position, text: piece.length > 200 ? `${piece.slice(0, 200)}…` : piece });
  });
  builder.finish();
  return {
    records: count, firstTime, lastTime, names, stats: stats.rows(), calls: columns.table(),
    errors, errorCount, anomalies, anomalyCount,
    recordStarts: starts.slice(0, count), recordEnds: ends.slice(0, count),
  };
}

/** The records `from` to `from + count` (those that exist) as text. */
export function recordsText(text, { recordStarts, recordEnds }, from, count) {
  const records = [];
  for (let i = from; i < Math.min(from + count, recordStarts.length); i++) {
    records.push(text.slice(recordStarts[i], recordEnds[i]));
  }
  return records;
}

// Runs the records of `text` through a builder to `timeline`.
function replay(text, timeline) {
  const builder = new CallBuilder(timeline);
  forEachRecord(text, (name, kind, time) => builder.add(name, kind, time));
  builder.finish();
  timeline.finish();
}

/**
 * The calls of `text` as Chrome Trace Event JSON, handed to `write` in
 * pieces.
 */
export function writeChromeTrace(text, write) {
  const emit = chromeTraceText(write);
  replay(text, new TimelineEvents(emit));
  emit.close();
}

/**
 * The calls of `text` in speedscope's own format, named `title`: hands
 * `spill` the events in pieces and returns what goes before them and
 * after, { head, tail }.
 */
export function writeSpeedscope(text, title, spill) {
  const events = new SpeedscopeEvents(spill);
  replay(text, new TimelineEvents(events.emit));
  return { head: events.head(title), tail: events.tail() };
}
