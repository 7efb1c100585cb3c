import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import {
  parseDump, repeatedPrefix, buildCallTree, functionStats, toChromeTrace,
  toDumpText, walkCalls,
} from '../../src/trace.js';

const fixture = (name) => readFileSync(new URL(`../fixtures/${name}`, import.meta.url), 'utf8');

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

test('a later dump repeats the earlier one: only the rest is new', () => {
  const first = parseDump(fixture('dump-1.txt')).records;
  const second = parseDump(fixture('dump-2.txt')).records;
  assert.equal(repeatedPrefix(first, second), first.length);
  assert.equal(second.length, 1200);
  const fresh = second.slice(repeatedPrefix(first, second));
  assert.deepEqual(fresh[0], { name: '_root.onEnterFrame', kind: 'Enter', time: 3490 });
  assert.deepEqual(buildCallTree(fresh).anomalies, []);
  // A dump that does not begin with the earlier one is new as a whole.
  assert.equal(repeatedPrefix(second, first), 0);
  assert.equal(repeatedPrefix(first.slice(1), second), 0);
});

test('function statistics count calls, total, self and max time', () => {
  const { records } = parseDump('f Enter 0,g Enter 1,g Exit 4,g Enter 5,g Exit 6,f Exit 10,f Enter 20,f Exit 21');
  const stats = functionStats(buildCallTree(records).roots);
  assert.deepEqual(stats, [
    { name: 'f', calls: 2, total: 11, self: 7, max: 10 },
    { name: 'g', calls: 2, total: 4, self: 4, max: 3 },
  ]);
});

test('the Chrome trace pairs every begin with an end, in microseconds', () => {
  const { records } = parseDump(fixture('dump-1.txt'));
  const trace = JSON.parse(JSON.stringify(toChromeTrace(buildCallTree(records).roots)));
  assert.equal(trace.traceEvents.length, records.length);
  assert.deepEqual(trace.traceEvents[0],
    { name: '_root.onEnterFrame', cat: 'actionscript', ph: 'B', ts: 1622000, pid: 1, tid: 1 });
  let depth = 0;
  for (const event of trace.traceEvents) {
    depth += event.ph === 'B' ? 1 : -1;
    assert.ok(depth >= 0);
  }
  assert.equal(depth, 0);
  const unbalanced = toChromeTrace(buildCallTree(parseDump('x Exit 3').records).roots);
  assert.deepEqual(unbalanced.traceEvents.map((e) => e.ph), ['B', 'E']);
  assert.deepEqual(unbalanced.traceEvents[0].args, { enterRecorded: false, exitRecorded: true });
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
