// Reading the records that the tracer sends with "FSCommand:save" and
// rebuilding the calls they describe.
//
// A dump is the tracer's list in its string form: records joined by commas,
// each "name Enter t" or "name Exit t", t in milliseconds since the movie
// started. A name may itself hold commas and spaces, so a record is known by
// its end: the marker and a number.

import { CallBuilder, FunctionStats } from './calls.js';
import { TimelineEvents, chromeTraceText } from './timeline.js';

const RECORD = /^([\s\S]*) (Enter|Exit) (-?\d+(?:\.\d+)?)$/;
const MARKED = /^[\s\S]* (Enter|Exit) \S*$/;

const SPACE = 32;
const MINUS = 45;
const DOT = 46;
const isDigit = (code) => code >= 48 && code <= 57;

// The common record read from its end without a regular expression:
// "name Enter 12" or "name Exit 12.5" in text[from, to). Returns the index
// of the space before the marker, or -1 when the piece is not that simple
// (the regular expressions then decide).
function simpleRecordAt(text, from, to) {
  let at = to - 1;
  while (at >= from && isDigit(text.charCodeAt(at))) at--;
  if (at === to - 1) return -1;
  if (text.charCodeAt(at) === DOT) {
    const fraction = at;
    at--;
    while (at >= from && isDigit(text.charCodeAt(at))) at--;
    if (at === fraction - 1) return -1;
  }
  if (text.charCodeAt(at) === MINUS) at--;
  if (text.charCodeAt(at) !== SPACE) return -1;
  if (text.startsWith(' Exit', at - 5) && at - 5 >= from) return at - 5;
  if (text.startsWith(' Enter', at - 6) && at - 6 >= from) return at - 6;
  return -1;
}

/**
 * Reads records from text that comes in pieces of any size, as a file or a
 * pipe gives it: `record(name, kind, time, start, end)`, kind 'Enter' or
 * 'Exit', [start, end) the record's place in the whole text; and
 * `error(position, text)` for each piece that is no record, position being
 * the index the next record will have. Call end() after the last piece.
 */
export class RecordReader {
  constructor(record, error = () => {}) {
    this.record = record;
    this.error = error;
    this.count = 0;
    // The text not read yet, from where it stands in the whole text.
    this.rest = '';
    this.base = 0;
    // In `rest`: where the next piece begins, and where the record being
    // read began (earlier pieces may be part of its name, which may hold
    // commas), or -1.
    this.pieceFrom = 0;
    this.pendingFrom = -1;
    this.seen = false;
  }

  push(text) {
    if (text === '') return;
    this.seen = true;
    const buffer = this.rest + text;
    let from = this.pieceFrom;
    let pending = this.pendingFrom;
    for (let to = buffer.indexOf(',', from); to >= 0; to = buffer.indexOf(',', from)) {
      pending = this.piece(buffer, pending, from, to);
      from = to + 1;
    }
    const keep = pending >= 0 ? pending : from;
    this.rest = buffer.slice(keep);
    this.base += keep;
    this.pieceFrom = from - keep;
    this.pendingFrom = pending >= 0 ? 0 : -1;
  }

  /** Reads the last piece; returns the number of records. */
  end() {
    if (this.seen) {
      const buffer = this.rest;
      const pending = this.piece(buffer, this.pendingFrom, this.pieceFrom, buffer.length);
      if (pending >= 0) this.error(this.count, buffer.slice(pending));
    }
    this.rest = '';
    this.seen = false;
    return this.count;
  }

  // Reads the piece buffer[from, to); returns where the record being read
  // began when the piece did not end it, else -1.
  piece(buffer, pendingFrom, from, to) {
    const start = pendingFrom < 0 ? from : pendingFrom;
    const marker = simpleRecordAt(buffer, from, to);
    if (marker >= 0) {
      const kind = buffer.charCodeAt(marker + 2) === 110 ? 'Enter' : 'Exit';
      this.count++;
      this.record(buffer.slice(start, marker), kind, Number(buffer.slice(marker + kind.length + 2, to)),
                  this.base + start, this.base + to);
      return -1;
    }
    const candidate = buffer.slice(start, to);
    const match = RECORD.exec(candidate);
    if (match) {
      this.count++;
      this.record(match[1], match[2], Number(match[3]), this.base + start, this.base + to);
      return -1;
    }
    if (MARKED.test(buffer.slice(from, to))) {
      // A marker with no time after it: this piece is broken, not a name.
      this.error(this.count, candidate);
      return -1;
    }
    return start;
  }
}

/** Reads every record of `text`, as RecordReader does; returns their number. */
export function forEachRecord(text, record, error = () => {}) {
  const reader = new RecordReader(record, error);
  reader.push(text);
  return reader.end();
}

/**
 * Parses a dump. Returns { records, errors }: records in dump order as
 * { name, kind: 'Enter'|'Exit', time }, and the pieces of text that are no
 * record as { position, text }, position being the record's index.
 */
export function parseDump(text) {
  const records = [];
  const errors = [];
  forEachRecord(text, (name, kind, time) => records.push({ name, kind, time }),
                (position, piece) => errors.push({ position, text: piece }));
  return { records, errors };
}

/**
 * The tracer never empties its list, so a later dump repeats the earlier
 * one: true when `text` begins with all of `earlier`'s records.
 */
export function repeatsEarlierDump(earlier, text) {
  if (earlier === '') return false;
  return text === earlier || text.startsWith(`${earlier},`);
}

// Feeds `records` to a builder whose listener is `listener`.
function build(records, listener) {
  const builder = new CallBuilder(listener);
  for (const record of records) builder.add(record.name, record.kind, record.time);
  builder.finish();
}

/**
 * Rebuilds the calls. Returns { roots, anomalies }. A call is
 * { name, start, end, first, last, children, enterSeen, exitSeen }, first
 * and last being the indexes of its records.
 */
export function buildCallTree(records) {
  const roots = [];
  const anomalies = [];
  const open = [];
  build(records, {
    enter(call) {
      call.children = [];
      (open.length ? open[open.length - 1].children : roots).push(call);
      open.push(call);
    },
    adopt(call) {
      call.children = roots.splice(0, roots.length);
      roots.push(call);
      open.push(call);
    },
    exit() { open.pop(); },
    anomaly(index, text) { anomalies.push({ index, text }); },
  });
  return { roots, anomalies };
}

/** Visits every call, depth first, with its depth. */
export function walkCalls(roots, visit, depth = 0) {
  for (const call of roots) {
    visit(call, depth);
    walkCalls(call.children, visit, depth + 1);
  }
}

/**
 * Per function: calls, total time (inclusive), self time (less the time of
 * the calls made from it) and the longest call, sorted by total time.
 */
export function functionStats(records) {
  const stats = new FunctionStats();
  build(records, stats);
  return stats.rows();
}

/**
 * Chrome Trace Event Format, which Perfetto, chrome://tracing and
 * speedscope open: a begin and an end event for every call, each at its
 * own time, so that importers that sort by time nest them as the records
 * do.
 */
export function toChromeTrace(records) {
  const chunks = [];
  const emit = chromeTraceText((text) => chunks.push(text));
  const timeline = new TimelineEvents(emit);
  build(records, timeline);
  timeline.finish();
  emit.close();
  return JSON.parse(chunks.join(''));
}

/** The dump as text again, records joined by commas. */
export function toDumpText(records) {
  return records.map((r) => `${r.name} ${r.kind} ${r.time}`).join(',');
}
