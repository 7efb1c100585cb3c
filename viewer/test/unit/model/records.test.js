import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { LONGEST_RECORD, RecordReader } from '../../../src/model/records.js';
import { parseDump, buildCallTree, functionStats, toChromeTrace, toDumpText, walkCalls } from '../../support/records.js';

const fixture = (name) => readFileSync(new URL(`../../fixtures/${name}`, import.meta.url), 'utf8');

const names = (calls) => calls.map((c) => c.name);

test('parses the records of a real dump', () => {
  const { records, errors } = parseDump(fixture('dump-1.txt'));
  assert.deepEqual(errors, []);
  assert.equal(records.length, 600);
  assert.deepEqual(records[0], { name: '_root.onEnterFrame', kind: 'Enter', time: 1622 });
  assert.deepEqual(records.at(-1), { name: '_root.onEnterFrame', kind: 'Exit', time: 2641 });
  const seen = new Set(records.map((r) => r.name));
  for (const name of ['_root.onEnterFrame', 'foo', 'bar', 'obj.m', 'Cls', 'Cls.m', 'Cls.getV', 'baz', 'anon0']) {
    assert.ok(seen.has(name), name);
  }
});

test('a real dump rebuilds into balanced frames of calls', () => {
  const { records } = parseDump(fixture('dump-1.txt'));
  const { roots, anomalies } = buildCallTree(records);
  assert.deepEqual(anomalies, []);
  assert.ok(roots.length > 1);
  assert.ok(roots.every((call) => call.name === '_root.onEnterFrame'));
  assert.deepEqual(names(roots[0].children),
    ['foo', 'bar', 'obj.m', 'Cls', 'Cls.m', 'Cls.getV', 'baz', 'anon0']);
  assert.deepEqual(names(roots[0].children[0].children), ['bar']);
  assert.deepEqual(names(roots[0].children[2].children), ['foo']);
});

test('a name may hold commas and spaces', () => {
  const { records, errors } = parseDump('a, b Enter 1,x Enter 2,x Exit 3,a, b Exit 4');
  assert.deepEqual(errors, []);
  assert.deepEqual(records.map((r) => r.name), ['a, b', 'x', 'x', 'a, b']);
  const { roots } = buildCallTree(records);
  assert.equal(roots[0].name, 'a, b');
  assert.deepEqual(names(roots[0].children), ['x']);
});

test('text after the last record is reported, not dropped', () => {
  // Without a marker a piece may be the start of a name with a comma.
  const { records, errors } = parseDump('f Enter 1,garbage,f Exit 5,tail');
  assert.deepEqual(records.map((r) => `${r.name}/${r.kind}/${r.time}`),
    ['f/Enter/1', 'garbage,f/Exit/5']);
  assert.deepEqual(errors, [{ position: 2, text: 'tail' }]);
});

test('a marker without a time breaks only its own record', () => {
  const { records, errors } = parseDump('f Enter 1,g Enter x,f Exit 5');
  assert.deepEqual(records.map((r) => r.name), ['f', 'f']);
  assert.deepEqual(errors, [{ position: 1, text: 'g Enter x' }]);
});

test('text that ends no record is said in pieces no longer than a record, and the records after it are read', () => {
  // Each way of being no record: many pieces without a marker, one piece
  // without a comma, one that ends like a record but is too long to be one.
  const pieces = 'a,'.repeat(LONGEST_RECORD);
  const long = 'x'.repeat(3 * LONGEST_RECORD);
  const longName = `${'y'.repeat(LONGEST_RECORD)} Enter 3`;
  const text = `f Enter 1,${pieces}g Enter 2,${long},${longName},g Exit 4,f Exit 5`;
  for (const size of [text.length, 4096]) {
    const records = [];
    const errors = [];
    const reader = new RecordReader((name, kind, time) => records.push(`${name} ${kind} ${time}`),
                                    (position, piece) => errors.push({ position, piece }));
    for (let at = 0; at < text.length; at += size) {
      reader.push(text.slice(at, at + size));
      assert.ok(reader.rest.length <= 2 * LONGEST_RECORD + size, `${reader.rest.length} characters kept`);
    }
    reader.end();
    // What is left of the pieces before g's enter may be part of its name,
    // which may hold commas.
    assert.equal(records.length, 4, `pieces of ${size}`);
    assert.match(records[1], /^(a,)*g Enter 2$/);
    assert.ok(records[1].length <= LONGEST_RECORD);
    assert.deepEqual([records[0], ...records.slice(2)], ['f Enter 1', 'g Exit 4', 'f Exit 5']);
    assert.ok(errors.every(({ piece }) => piece.length <= LONGEST_RECORD));
    assert.ok(errors.length >= 3 && errors.length <= 5, `${errors.length} errors`);
    assert.deepEqual(new Set(errors.map(({ position }) => position)), new Set([1, 2]));
  }
});

test('an empty dump has no records and no errors', () => {
  assert.deepEqual(parseDump(''), { records: [], errors: [] });
  assert.deepEqual(buildCallTree([]), { roots: [], anomalies: [] });
});

test('an exit without its enter began before the records', () => {
  const { records } = parseDump('a Enter 2,a Exit 3,outer Exit 5,b Enter 6,b Exit 7');
  const { roots, anomalies } = buildCallTree(records);
  assert.deepEqual(names(roots), ['outer', 'b']);
  assert.equal(roots[0].start, 2);
  assert.equal(roots[0].enterSeen, false);
  assert.deepEqual(names(roots[0].children), ['a']);
  assert.equal(anomalies.length, 1);
});

test('enters never closed end at the last record', () => {
  const { records } = parseDump('main Enter 1,inner Enter 2,inner Exit 4,other Enter 6');
  const { roots, anomalies } = buildCallTree(records);
  assert.equal(roots[0].end, 6);
  assert.equal(roots[0].exitSeen, false);
  assert.equal(roots[0].children[1].end, 6);
  assert.equal(anomalies.length, 2);
});

test('an exit that skips an open call closes it too', () => {
  const { records } = parseDump('a Enter 1,b Enter 2,a Exit 3');
  const { roots, anomalies } = buildCallTree(records);
  assert.equal(roots[0].end, 3);
  assert.equal(roots[0].children[0].end, 3);
  assert.equal(roots[0].children[0].exitSeen, false);
  assert.equal(anomalies.length, 1);
});

test('a dump read in pieces of any size reads as the whole', () => {
  // Names with commas and spaces, a broken piece, text after the last record.
  const text = 'a, b Enter 1,x Enter 2,x,y Exit 3,g Enter x,a, b Exit 4,junk,f Exit -1.5,tail,end';
  const read = (pieces) => {
    const seen = [];
    const reader = new RecordReader((...record) => seen.push(['record', ...record]),
                                    (...error) => seen.push(['error', ...error]));
    for (const piece of pieces) reader.push(piece);
    seen.push(['count', reader.end()]);
    return seen;
  };
  const whole = read([text]);
  assert.deepEqual(whole.filter(([what]) => what === 'record').map((r) => r.slice(1, 4)),
    [['a, b', 'Enter', 1], ['x', 'Enter', 2], ['x,y', 'Exit', 3], ['a, b', 'Exit', 4], ['junk,f', 'Exit', -1.5]]);
  for (let cut = 0; cut <= text.length; cut++) {
    for (const size of [1, 3, 7]) {
      const pieces = [text.slice(0, cut)];
      for (let at = cut; at < text.length; at += size) pieces.push(text.slice(at, at + size));
      assert.deepEqual(read(pieces), whole, `cut at ${cut}, then pieces of ${size}`);
    }
  }
});

test('function statistics count calls, total, self and max time', () => {
  const { records } = parseDump('f Enter 0,g Enter 1,g Exit 4,g Enter 5,g Exit 6,f Exit 10,f Enter 20,f Exit 21');
  const stats = functionStats(records);
  assert.deepEqual(stats, [
    { name: 'f', calls: 2, total: 11, self: 7, max: 10 },
    { name: 'g', calls: 2, total: 4, self: 4, max: 3 },
  ]);
});

test('the Chrome trace pairs every begin with an end, in microseconds', () => {
  const { records } = parseDump(fixture('dump-1.txt'));
  const trace = JSON.parse(JSON.stringify(toChromeTrace(records)));
  assert.equal(trace.traceEvents.length, records.length);
  assert.deepEqual(trace.traceEvents[0],
    { name: '_root.onEnterFrame', cat: 'actionscript', ph: 'B', ts: 1622000, pid: 1, tid: 1 });
  let depth = 0;
  for (const event of trace.traceEvents) {
    depth += event.ph === 'B' ? 1 : -1;
    assert.ok(depth >= 0);
  }
  assert.equal(depth, 0);
  const unbalanced = toChromeTrace(parseDump('x Exit 3').records);
  assert.deepEqual(unbalanced.traceEvents.map((e) => e.ph), ['B', 'E']);
  assert.deepEqual(unbalanced.traceEvents[0].args, { enterRecorded: false, exitRecorded: true });
});

// Sorted by time, as Perfetto and speedscope sort them, the events rebuild
// the calls in record order: begins and ends as a stack of names.
function nestingByTime(traceEvents) {
  const sorted = [...traceEvents].sort((a, b) => a.ts - b.ts);
  const open = [];
  const order = [];
  for (const event of sorted) {
    if (event.ph === 'B') {
      order.push(`${'  '.repeat(open.length)}${event.name}`);
      open.push(event.name);
    } else {
      assert.equal(open.pop(), event.name, `${event.name} ends the call it began`);
    }
  }
  assert.deepEqual(open, []);
  return order;
}

test('events of one millisecond each get a time of their own, in record order', () => {
  // Three calls and a fourth inside the last, all in millisecond 5; a
  // clock that steps back to 4; then 1,500 events in millisecond 7.
  const busy = Array.from({ length: 750 }, (_, i) => `n${i} Enter 7,n${i} Exit 7`).join(',');
  const text = `a Enter 5,a Exit 5,b Enter 5,b Exit 5,c Enter 5,d Enter 5,d Exit 5,c Exit 4,${busy}`;
  const { traceEvents } = toChromeTrace(parseDump(text).records);
  assert.deepEqual(traceEvents.slice(0, 8).map((e) => `${e.ph} ${e.name} ${e.ts}`),
    ['B a 5000', 'E a 5001', 'B b 5002', 'E b 5003', 'B c 5004', 'B d 5005', 'E d 5006', 'E c 5007']);
  const times = traceEvents.map((e) => e.ts);
  for (let i = 1; i < times.length; i++) assert.ok(times[i] > times[i - 1], `event ${i} after ${i - 1}`);
  // The busy millisecond is shared among its 1,500 events, within it.
  assert.equal(times[8], 7000);
  assert.ok(times.at(-1) < 8000, String(times.at(-1)));
  assert.deepEqual(nestingByTime(traceEvents).slice(0, 4), ['a', 'b', 'c', '  d']);
});

test('calls whose enter or exit is missing are closed where the page closes them', () => {
  // outer began before the records; inner has no exit before main exits;
  // last never exits.
  const text = 'a Enter 1,a Exit 1,outer Exit 1,main Enter 2,inner Enter 2,main Exit 2,last Enter 3';
  const { records } = parseDump(text);
  const { traceEvents } = toChromeTrace(records);
  assert.deepEqual(nestingByTime(traceEvents), ['outer', '  a', 'main', '  inner', 'last']);
  const marked = traceEvents.filter((e) => e.args).map((e) => `${e.ph} ${e.name} ${e.args.enterRecorded} ${e.args.exitRecorded}`);
  assert.deepEqual(marked, ['B outer false true', 'E outer false true', 'E inner true false', 'E last true false']);
});

test('the dump text round-trips', () => {
  const text = fixture('dump-2.txt');
  assert.equal(toDumpText(parseDump(text).records), text);
});

test('every call lies within its caller', () => {
  const { roots } = buildCallTree(parseDump(fixture('dump-2.txt')).records);
  const check = (calls, start, end) => {
    for (const call of calls) {
      assert.ok(call.start >= start && call.end <= end && call.start <= call.end);
      check(call.children, call.start, call.end);
    }
  };
  check(roots, -Infinity, Infinity);
  let count = 0;
  walkCalls(roots, () => count++);
  assert.equal(count, 600);
});
