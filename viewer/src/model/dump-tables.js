// A dump read into compact tables as its text comes, for a page that shows
// sessions of tens of millions of records: each record as its name's
// number, its kind and its time; each call in typed columns, with rows by
// depth for the chart; the table per function. The text itself is never
// kept: the records pager and the downloads write records back from the
// tables. Runs in the page's worker, and in node for the tests.

import { CallBuilder, FunctionStats, listeners } from './calls.js';
import { Column, SmallNumberColumn, TimeColumn } from './columns.js';
import { RecordReader } from './records.js';
import { SpeedscopeEvents, TimelineEvents, chromeTraceText } from './timeline.js';

/** How many errors and anomalies a dump keeps to show; the rest are counted. */
export const KEPT_PROBLEMS = 20;

/**
 * The most records a Chrome or speedscope export is made of: their JSON
 * grows past what Perfetto's UI, chrome://tracing and speedscope open.
 */
export const EXPORT_RECORDS = 5000000;

const ENTER_MISSING = 1;
const EXIT_MISSING = 2;
// Its exit missing because a frame's mark found it open.
const CUT_SHORT = 4;
export const CALL_FLAGS = { ENTER_MISSING, EXIT_MISSING, CUT_SHORT };

// What the table keeps of each call, and in what type. Times are counted
// from the first record's, so that four bytes hold them.
const CALL_COLUMNS = {
  first: Uint32Array, last: Uint32Array, start: Float32Array, end: Float32Array,
  duration: Float32Array, self: Float32Array, name: Uint32Array, flags: Uint8Array,
};

// Keeps every call in columns; a listener of CallBuilder. `now` is the
// time the chart draws the current record at: the clock held where it was
// when it steps back, so that calls of one depth never overlap.
class CallColumns {
  constructor() {
    this.origin = null;
    this.now = 0;
    for (const [column, Type] of Object.entries(CALL_COLUMNS)) this[column] = new Column(Type);
    this.parent = new Column(Int32Array);
    this.open = [];
    // The calls at the top, which an adopted call takes in.
    this.roots = [];
    this.adopted = 0;
  }

  add(call, parent, start) {
    const id = this.first.push(call.first);
    this.last.push(0);
    this.end.push(0);
    this.duration.push(0);
    this.self.push(0);
    this.flags.push(0);
    this.start.push(start);
    this.name.push(call.name);
    this.parent.push(parent);
    if (parent < 0) this.roots.push(id);
    this.open.push(id);
    return id;
  }

  enter(call) {
    this.add(call, this.open.length ? this.open[this.open.length - 1] : -1, this.now);
  }

  adopt(call) {
    const held = this.roots;
    this.roots = [];
    this.adopted += 1;
    const id = this.add(call, -1, 0);
    for (const root of held) this.parent.set(root, id);
  }

  exit(call) {
    const id = this.open.pop();
    this.last.set(id, call.last);
    this.end.set(id, this.now);
    this.duration.set(id, call.end - call.start);
    this.self.set(id, call.end - call.start - call.childTime);
    this.flags.set(id, (call.enterSeen ? 0 : ENTER_MISSING) | (call.exitSeen ? 0 : EXIT_MISSING) |
                       (call.cutShort ? CUT_SHORT : 0));
  }

  // The columns at their length, with the calls of each depth in the order
  // they begin: rowOrder[rowStarts[d] .. rowStarts[d + 1]) are the calls at
  // depth d. The columns are let go as they are taken.
  table() {
    const parent = this.parent.take();
    const count = parent.length;
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
      if (depth[id] >= depthCount) depthCount = depth[id] + 1;
    }
    const rowStarts = new Int32Array(depthCount + 1);
    for (let id = 0; id < count; id++) rowStarts[depth[id] + 1]++;
    for (let d = 0; d < depthCount; d++) rowStarts[d + 1] += rowStarts[d];
    const rowOrder = new Int32Array(count);
    const filled = rowStarts.slice(0, depthCount);
    for (let id = 0; id < count; id++) rowOrder[filled[depth[id]]++] = id;
    const table = { count, depthCount, rowStarts, rowOrder, origin: this.origin ?? 0 };
    for (const column of Object.keys(CALL_COLUMNS)) table[column] = this[column].take();
    if (this.adopted) {
      // Adopted calls came last but begin first.
      const { first } = table;
      for (let d = 0; d < depthCount; d++) {
        const row = rowOrder.subarray(rowStarts[d], rowStarts[d + 1]);
        row.set(Array.from(row).sort((a, b) => first[a] - first[b] || depth[a] - depth[b]));
      }
    }
    return table;
  }
}

// Each record's code: four times its name's number (a frame's: its own
// number; a trace() line's: its text's), plus its kind.
const KINDS = ['Enter', 'Exit', 'Frame', 'Trace'];
const KIND_CODES = { Enter: 0, Exit: 1, Frame: 2, Trace: 3 };

export class DumpTables {
  constructor() {
    this.names = [];
    this.ids = new Map();
    // Each record: its code (see KIND_CODES), its time.
    this.code = new SmallNumberColumn();
    this.time = new TimeColumn();
    this.columns = new CallColumns();
    // The frames' marks: each its record, its number and its time, counted
    // from the first record's as the calls' are.
    this.frames = { record: new Column(Uint32Array), number: new Column(Uint32Array), time: new Column(Float32Array) };
    // The lines the movie printed with trace(): each its record, its time,
    // the call that printed it (-1 for none) and its text's number.
    this.texts = [];
    this.textIds = new Map();
    this.traces = { record: new Column(Uint32Array), time: new Column(Float32Array), call: new Column(Int32Array),
                    text: new Column(Uint32Array) };
    this.stats = new FunctionStats((id) => this.names[id]);
    this.errors = [];
    this.errorCount = 0;
    this.anomalies = [];
    this.anomalyCount = 0;
    this.builder = new CallBuilder(listeners(this.columns, this.stats, {
      anomaly: (index, said) => {
        if (this.anomalyCount++ < KEPT_PROBLEMS) this.anomalies.push({ index, text: said });
      },
      frame: (number, time, index) => {
        this.frames.record.push(index);
        this.frames.number.push(number);
        this.frames.time.push(time - this.columns.origin);
      },
      trace: (text, time, index) => {
        const { open } = this.columns;
        this.traces.record.push(index);
        this.traces.time.push(time - this.columns.origin);
        this.traces.call.push(open.length ? open[open.length - 1] : -1);
        this.traces.text.push(text);
      },
    }), (id) => this.names[id]);
    this.firstTime = null;
    this.lastTime = null;
    this.reader = new RecordReader((name, kind, time) => this.record(name, kind, time), (position, piece) => {
      if (this.errorCount++ < KEPT_PROBLEMS) {
        this.errors.push({ position, text: piece.length > 200 ? `${piece.slice(0, 200)}…` : piece });
      }
    });
  }

  record(name, kind, time) {
    let id;
    if (kind === 'Frame') {
      id = Number(name);
      if (!Number.isSafeInteger(id) || id < 0 || id > 0x3fffffff) {
        if (this.errorCount++ < KEPT_PROBLEMS) this.errors.push({ position: this.records, text: `${name} Frame ${time}` });
        return;
      }
    } else if (kind === 'Trace') {
      id = this.textIds.get(name);
      if (id === undefined) {
        id = this.texts.length;
        this.texts.push(name);
        this.textIds.set(name, id);
      }
    } else {
      id = this.ids.get(name);
      if (id === undefined) {
        id = this.names.length;
        this.names.push(name);
        this.ids.set(name, id);
      }
    }
    this.code.push(id * 4 + KIND_CODES[kind]);
    this.time.push(time);
    if (this.firstTime === null) {
      this.firstTime = time;
      this.columns.origin = time;
    }
    this.lastTime = time;
    const now = time - this.columns.origin;
    if (now > this.columns.now) this.columns.now = now;
    this.builder.add(id, kind, time);
  }

  /** Reads `text`, the next part of the dump's text, cut anywhere. */
  push(text) {
    this.reader.push(text);
  }

  /** Reads what a movie handed over (a piece, or its save): whole records joined by commas. */
  add(records) {
    this.reader.pushWhole(records);
  }

  /** How many records were read so far. */
  get records() {
    return this.code.length;
  }

  /**
   * Ends the dump: { records, firstTime, lastTime, names, stats, calls
   * (CallColumns.table's), frames, traces (the trace() lines: record, time,
   * call, text, texts), errors, errorCount, anomalies, anomalyCount,
   * clockBack and cutShort (CallBuilder's) }.
   * The records stay for recordsText and the exports.
   */
  end() {
    this.reader.end();
    this.builder.finish();
    return {
      records: this.records, firstTime: this.firstTime, lastTime: this.lastTime, names: this.names,
      stats: this.stats.rows(), calls: this.columns.table(), frames: this.framesTable(), traces: this.tracesTable(),
      errors: this.errors, errorCount: this.errorCount, anomalies: this.anomalies, anomalyCount: this.anomalyCount,
      clockBack: this.builder.clockBack, cutShort: this.builder.cutShort,
    };
  }

  // The frames' marks as typed arrays, with how long each frame lasted (to
  // the next mark; the last, to the last record).
  framesTable() {
    const frames = { record: this.frames.record.take(), number: this.frames.number.take(), time: this.frames.time.take() };
    const count = frames.time.length;
    frames.count = count;
    frames.duration = new Float32Array(count);
    const end = this.lastTime === null ? 0 : this.lastTime - this.columns.origin;
    for (let i = 0; i < count; i++) frames.duration[i] = (i + 1 < count ? frames.time[i + 1] : end) - frames.time[i];
    return frames;
  }

  // The trace() lines as typed arrays, with their texts.
  tracesTable() {
    const traces = { record: this.traces.record.take(), time: this.traces.time.take(), call: this.traces.call.take(),
                     text: this.traces.text.take(), texts: this.texts };
    traces.count = traces.record.length;
    return traces;
  }

  // What a record's code names: a function, a frame's number, a trace()'s text.
  named(code) {
    const kind = code & 3;
    return kind === 2 ? String(code >>> 2) : kind === 3 ? this.texts[code >>> 2] : this.names[code >>> 2];
  }

  /** Record `index` as the tracer wrote it. */
  recordText(index) {
    const code = this.code.get(index);
    return `${this.named(code)} ${KINDS[code & 3]} ${this.time.get(index)}`;
  }

  /** The records `from` to `from + count` (those that exist) as text. */
  recordsText(from, count) {
    const records = [];
    for (let i = from; i < Math.min(from + count, this.records); i++) records.push(this.recordText(i));
    return records;
  }

  /** The dump as text again, records joined by commas, handed to `write` in pieces. */
  writeText(write) {
    const BATCH = 100000;
    for (let from = 0; from < this.records; from += BATCH) {
      write((from ? ',' : '') + this.recordsText(from, BATCH).join(','));
    }
  }

  /** Hands `add(name, kind, time)` the records `from` to `to`, as they were read. */
  eachRecord(from, to, add) {
    for (let i = from; i < to; i++) {
      const code = this.code.get(i);
      add(this.named(code), KINDS[code & 3], this.time.get(i));
    }
  }

  // Runs the records through a builder to `timeline`.
  replay(timeline) {
    const builder = new CallBuilder(timeline);
    this.eachRecord(0, this.records, (name, kind, time) => builder.add(name, kind, time));
    builder.finish();
    timeline.finish();
  }

  /** The calls as Chrome Trace Event JSON, handed to `write` in pieces. */
  writeChromeTrace(write) {
    const emit = chromeTraceText(write);
    this.replay(new TimelineEvents(emit));
    emit.close();
  }

  /**
   * The calls in speedscope's own format, named `title`: hands `spill` the
   * events in pieces and returns what goes before them and after,
   * { head, tail }.
   */
  writeSpeedscope(title, spill) {
    const events = new SpeedscopeEvents(spill);
    this.replay(new TimelineEvents(events.emit));
    return { head: events.head(title), tail: events.tail() };
  }
}

// FNV-1a over text[from, to), going on from `value`, the hash of what
// came before.
function hash(text, from, to, value = 0x811c9dc5) {
  for (let i = from; i < to; i++) value = Math.imul(value ^ text.charCodeAt(i), 0x01000193);
  return value >>> 0;
}

/**
 * What each movie's last whole save held. Its tracer, unless it hands its
 * records over as it goes, never empties its list, so the next save may
 * repeat it. Kept as its length, a hash of its text and its number of
 * records: enough to know it again without keeping it.
 */
export class EarlierSaves {
  constructor() {
    this.saves = new Map();
  }

  /**
   * How `text`, a save of the movie numbered `movie`, repeats that movie's
   * last: { skip (the characters to leave out, with their comma), records },
   * or null when it does not begin with all of it.
   */
  repeated(movie, text) {
    const earlier = this.saves.get(movie);
    if (!earlier || text.length < earlier.length) return null;
    if (text.length > earlier.length && text[earlier.length] !== ',') return null;
    const prefix = hash(text, 0, earlier.length);
    // The hash of all of `text` goes on from it, when the save is remembered.
    this.hashed = { text, length: earlier.length, value: prefix };
    if (prefix !== earlier.hash) return null;
    return { skip: Math.min(earlier.length + 1, text.length), records: earlier.records };
  }

  /** Keeps `text`, holding `records` records, as the movie's last save. */
  remember(movie, text, records) {
    const known = this.hashed?.text === text ? this.hashed : { length: 0, value: undefined };
    this.hashed = null;
    this.saves.set(movie, { length: text.length, hash: hash(text, known.length, text.length, known.value), records });
  }
}
