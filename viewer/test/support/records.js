// Whole dumps as arrays of records and trees of calls, for the tests: made
// of the pieces the viewer reads dumps with as they come.

import { CallBuilder, FunctionStats } from '../../src/model/calls.js';
import { TimelineEvents, chromeTraceText } from '../../src/model/timeline.js';
import { RecordReader } from '../../src/model/records.js';

/**
 * Parses a dump. Returns { records, errors }: records in dump order as
 * { name, kind: 'Enter'|'Exit', time }, and the pieces of text that are no
 * record as { position, text }, position being the record's index.
 */
export function parseDump(text) {
  const records = [];
  const errors = [];
  const reader = new RecordReader((name, kind, time) => records.push({ name, kind, time }),
                                  (position, piece) => errors.push({ position, text: piece }));
  reader.push(text);
  reader.end();
  return { records, errors };
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
