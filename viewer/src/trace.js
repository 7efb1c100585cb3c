// Reading the records that the tracer sends with "FSCommand:save" and
// rebuilding the calls they describe.
//
// A dump is the tracer's list in its string form: records joined by commas,
// each "name Enter t" or "name Exit t", t in milliseconds since the movie
// started. A name may itself hold commas and spaces, so a record is known by
// its end: the marker and a number.

const RECORD = /^([\s\S]*) (Enter|Exit) (-?\d+(?:\.\d+)?)$/;
const MARKED = /^[\s\S]* (Enter|Exit) \S*$/;

/**
 * Parses a dump. Returns { records, errors }: records in dump order as
 * { name, kind: 'Enter'|'Exit', time }, and the pieces of text that are no
 * record as { position, text }, position being the record's index.
 */
export function parseDump(text) {
  const records = [];
  const errors = [];
  if (text === '') return { records, errors };
  let pending = null;
  for (const piece of text.split(',')) {
    const candidate = pending === null ? piece : `${pending},${piece}`;
    const match = RECORD.exec(candidate);
    if (match) {
      records.push({ name: match[1], kind: match[2], time: Number(match[3]) });
      pending = null;
    } else if (MARKED.test(piece)) {
      // A marker with no time after it: this piece is broken, not a name.
      errors.push({ position: records.length, text: candidate });
      pending = null;
    } else {
      pending = candidate;
    }
  }
  if (pending !== null) errors.push({ position: records.length, text: pending });
  return { records, errors };
}

function sameRecord(a, b) {
  return a.name === b.name && a.kind === b.kind && a.time === b.time;
}

/**
 * The tracer never empties its list, so a later dump repeats the earlier
 * one. Returns how many leading records of `records` were in `previous`
 * (0 when the later dump does not begin with the earlier one).
 */
export function repeatedPrefix(previous, records) {
  if (previous.length > records.length) return 0;
  for (let i = 0; i < previous.length; i++) {
    if (!sameRecord(previous[i], records[i])) return 0;
  }
  return previous.length;
}

/**
 * Rebuilds the calls. Returns { roots, anomalies }. A call is
 * { name, start, end, first, last, children, enterSeen, exitSeen }, first
 * and last being the indexes of its records. An exit without its
 * enter is a call that began before the records did: it spans from the
 * first record and takes in the calls recorded before it at its depth. An
 * enter never closed ends at the last record.
 */
export function buildCallTree(records) {
  const roots = [];
  const stack = [];
  const anomalies = [];
  if (records.length === 0) return { roots, anomalies };
  const firstTime = records[0].time;
  const lastTime = records[records.length - 1].time;
  const siblings = () => (stack.length ? stack[stack.length - 1].children : roots);

  records.forEach((record, index) => {
    if (record.kind === 'Enter') {
      const call = { name: record.name, start: record.time, end: null,
                     first: index, last: null,
                     children: [], enterSeen: true, exitSeen: true };
      siblings().push(call);
      stack.push(call);
      return;
    }
    const open = stack.map((call) => call.name).lastIndexOf(record.name);
    if (open >= 0) {
      while (stack.length > open + 1) {
        const unclosed = stack.pop();
        unclosed.end = record.time;
        unclosed.last = index;
        unclosed.exitSeen = false;
        anomalies.push({ index, text: `${unclosed.name} has no exit before ${record.name} exits` });
      }
      const closed = stack.pop();
      closed.end = record.time;
      closed.last = index;
    } else if (stack.length === 0) {
      const adopted = roots.splice(0, roots.length);
      roots.push({ name: record.name, start: firstTime, end: record.time,
                   first: 0, last: index,
                   children: adopted, enterSeen: false, exitSeen: true });
      anomalies.push({ index, text: `${record.name} exits without an enter: it began before the records` });
    } else {
      anomalies.push({ index, text: `${record.name} exits inside ${stack[stack.length - 1].name} without an enter; ignored` });
    }
  });
  while (stack.length) {
    const unclosed = stack.pop();
    unclosed.end = lastTime;
    unclosed.last = records.length - 1;
    unclosed.exitSeen = false;
    anomalies.push({ index: records.length, text: `${unclosed.name} has not exited by the end of the records` });
  }
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
export function functionStats(roots) {
  const byName = new Map();
  walkCalls(roots, (call) => {
    const duration = call.end - call.start;
    const childTime = call.children.reduce((sum, c) => sum + (c.end - c.start), 0);
    const entry = byName.get(call.name) ??
      { name: call.name, calls: 0, total: 0, self: 0, max: 0 };
    entry.calls += 1;
    entry.total += duration;
    entry.self += duration - childTime;
    entry.max = Math.max(entry.max, duration);
    byName.set(call.name, entry);
  });
  return [...byName.values()].sort((a, b) => b.total - a.total || a.name.localeCompare(b.name));
}

/**
 * Chrome Trace Event Format, which Perfetto and chrome://tracing open: a
 * begin and an end event for every call, so that they always pair up.
 */
export function toChromeTrace(roots) {
  const traceEvents = [];
  const event = (call, ph, time) => {
    const e = { name: call.name, cat: 'actionscript', ph, ts: time * 1000, pid: 1, tid: 1 };
    if (!call.enterSeen || !call.exitSeen) {
      e.args = { enterRecorded: call.enterSeen, exitRecorded: call.exitSeen };
    }
    traceEvents.push(e);
  };
  const emit = (calls) => {
    for (const call of calls) {
      event(call, 'B', call.start);
      emit(call.children);
      event(call, 'E', call.end);
    }
  };
  emit(roots);
  return { traceEvents, displayTimeUnit: 'ms' };
}

/** The dump as text again, records joined by commas. */
export function toDumpText(records) {
  return records.map((r) => `${r.name} ${r.kind} ${r.time}`).join(',');
}
