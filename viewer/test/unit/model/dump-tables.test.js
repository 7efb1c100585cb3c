// A dump read into the compact tables the page draws from, as its text
// comes: calls by depth, the clock held when it steps back, records a page
// at a time written back from the tables, a save that repeats the last.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { CALL_FLAGS, DumpTables, EarlierSaves } from '../../../src/model/dump-tables.js';

const fixture = (name) => readFileSync(new URL(`../../fixtures/${name}`, import.meta.url), 'utf8');

// The tables of `text` read in one piece, ended.
function analyseText(text) {
  const tables = new DumpTables();
  tables.push(text);
  return Object.assign(tables.end(), { tables });
}

// The calls of `model` as "depth name from-to", row by row, from the top.
function rows(model) {
  const { calls, names } = model;
  const lines = [];
  for (let depth = 0; depth < calls.depthCount; depth++) {
    for (const id of calls.rowOrder.subarray(calls.rowStarts[depth], calls.rowStarts[depth + 1])) {
      lines.push(`${depth} ${names[calls.name[id]]} ${calls.first[id]}-${calls.last[id]}`);
    }
  }
  return lines;
}

test('calls by depth, in the order they begin, with what was not recorded', () => {
  // b and c inside a; then `outer` exits without an enter, so it holds a;
  // d never exits.
  const text = 'a Enter 1,b Enter 2,b Exit 3,c Enter 3,c Exit 4,a Exit 5,outer Exit 6,d Enter 7,e Enter 8,e Exit 9';
  const model = analyseText(text);
  assert.equal(model.records, 10);
  assert.deepEqual(rows(model), ['0 outer 0-6', '0 d 7-9', '1 a 0-5', '1 e 8-9', '2 b 1-2', '2 c 3-4']);
  const { calls, names } = model;
  const id = (name) => calls.name.indexOf(names.indexOf(name));
  assert.equal(calls.flags[id('outer')], CALL_FLAGS.ENTER_MISSING);
  assert.equal(calls.flags[id('d')], CALL_FLAGS.EXIT_MISSING);
  assert.equal(calls.flags[id('a')], 0);
  // outer spans from the first record; its own time is what a leaves.
  assert.deepEqual([calls.start[id('outer')], calls.end[id('outer')], calls.self[id('outer')]], [0, 5, 1]);
  assert.deepEqual(model.stats.map((row) => `${row.name} ${row.calls} ${row.total} ${row.self}`),
    ['outer 1 5 1', 'a 1 4 2', 'd 1 2 1', 'b 1 1 1', 'c 1 1 1', 'e 1 1 1']);
  assert.deepEqual(model.anomalies.map((a) => a.text),
    ['outer exits without an enter: it began before the records', 'd has not exited by the end of the records']);
});

test('a clock that steps back is held where it was, for the chart and the times alike, and said', () => {
  const model = analyseText('a Enter 10,a Exit 12,b Enter 7,b Exit 9,c Enter 13,c Exit 13');
  const { calls } = model;
  // b is drawn and timed where the clock stood, as the exports hold it,
  // so that calls never overlap and none lasts less than nothing. Times
  // count from the first record.
  assert.equal(calls.origin, 10);
  assert.deepEqual([...calls.start], [0, 2, 3]);
  assert.deepEqual([...calls.end], [2, 2, 3]);
  assert.deepEqual([...calls.duration], [2, 0, 0]);
  assert.deepEqual(model.clockBack, { count: 2, most: 5 });
  // The records themselves say what the tracer wrote.
  assert.deepEqual(model.tables.recordsText(2, 2), ['b Enter 7', 'b Exit 9']);
});

test('the records a page at a time, written back as they stood in the text', () => {
  const text = Array.from({ length: 250 }, (_, i) => `f${i}, with a comma ${i % 2 ? 'Exit' : 'Enter'} ${i * 1.5}`).join(',');
  const { tables } = analyseText(text);
  const page = tables.recordsText(200, 100);
  assert.equal(page.length, 50);
  assert.equal(page[0], 'f200, with a comma Enter 300');
  assert.equal(page.at(-1), 'f249, with a comma Exit 373.5');
  assert.deepEqual(tables.recordsText(250, 100), []);
  const written = [];
  tables.writeText((piece) => written.push(piece));
  assert.equal(written.join(''), text);
});

test('frame marks: kept apart from the calls, each with how long its frame lasted, written back as they came', () => {
  const text = '1 Frame 0,a Enter 1,a Exit 5,2 Frame 33,b Enter 34,b Exit 36,3 Frame 66,junk Frame 70';
  const model = analyseText(text);
  assert.equal(model.records, 7);
  assert.deepEqual(model.tables.recordsText(0, 7), text.split(',').slice(0, 7));
  assert.deepEqual(model.stats.map((row) => `${row.name} ${row.calls} ${row.total}`), ['a 1 4', 'b 1 2']);
  const { frames, calls } = model;
  assert.deepEqual([...frames.number], [1, 2, 3]);
  assert.deepEqual([...frames.record], [0, 3, 6]);
  assert.deepEqual([...frames.time], [0, 33, 66]);
  assert.deepEqual([...frames.duration], [33, 33, 0]);
  // A call's records are counted among all of them.
  assert.deepEqual([...calls.first], [1, 4]);
  assert.deepEqual(model.errors, [{ position: 7, text: 'junk Frame 70' }]);
});

test('names past 32,768 and times past whole 32-bit numbers widen their columns, nothing lost', () => {
  const records = Array.from({ length: 40000 }, (_, i) => `n${i} Enter ${i === 30000 ? 2.5 : i * 100000}`);
  const { tables } = analyseText(records.join(','));
  for (const at of [0, 29999, 30000, 32767, 32768, 39999]) assert.equal(tables.recordText(at), records[at], `record ${at}`);
});

test('a dump read as it comes, cut anywhere, holds the records of its whole text', () => {
  // Names with commas and spaces; a movie's pieces and its save.
  const pieces = ['a, b Enter 1,x Enter 2', 'x,y Exit 3,a, b Exit 4', 'c Enter 5,c Exit 6'];
  const whole = analyseText(pieces.join(','));
  const expected = whole.tables.recordsText(0, whole.records);
  assert.deepEqual(expected, ['a, b Enter 1', 'x Enter 2', 'x,y Exit 3', 'a, b Exit 4', 'c Enter 5', 'c Exit 6']);
  // As a movie hands them over: pieces, then the save.
  // Each piece is read whole as it comes, its last record too.
  const handed = new DumpTables();
  for (const piece of pieces) handed.add(piece);
  assert.equal(handed.records, 6);
  handed.add('');
  const model = handed.end();
  assert.equal(model.records, 6);
  assert.deepEqual(handed.recordsText(0, 6), expected);
  assert.deepEqual(model.stats, whole.stats);
  // As a file is read: in chunks cut at every place, inside a record, a
  // name and its comma, and at the joins of the pieces.
  const text = `${pieces.join(',')}\n`;
  for (let cut = 1; cut < text.length; cut++) {
    for (const size of [1, 5, text.length]) {
      const tables = new DumpTables();
      tables.push(text.slice(0, cut));
      for (let at = cut; at < text.length; at += size) tables.push(text.slice(at, at + size));
      const read = tables.end();
      assert.deepEqual(tables.recordsText(0, read.records), expected, `cut at ${cut}, then chunks of ${size}`);
      assert.equal(read.errorCount, 0);
      assert.deepEqual([...read.calls.first], [...whole.calls.first]);
    }
  }
});

test('a save that begins with all of the movie\'s last repeats it: only the rest is new', () => {
  const first = fixture('dump-1.txt');
  const second = fixture('dump-2.txt');
  const saves = new EarlierSaves();
  assert.equal(saves.repeated(1, second), null);
  saves.remember(1, first, 600);
  assert.deepEqual(saves.repeated(1, second), { skip: first.length + 1, records: 600 });
  assert.deepEqual(saves.repeated(1, first), { skip: first.length, records: 600 });
  // Another movie's saves are its own.
  assert.equal(saves.repeated(2, second), null);
  // A save that does not begin with all of the last one is new as a whole.
  assert.equal(saves.repeated(1, first.slice(0, -1)), null);
  assert.equal(saves.repeated(1, `${first}0`), null);
  assert.equal(saves.repeated(1, `x${second.slice(1)}`), null);
  // A save remembered after it was found to repeat is known as a whole next time.
  assert.notEqual(saves.repeated(1, second), null);
  saves.remember(1, second, 1200);
  assert.deepEqual(saves.repeated(1, `${second},x Enter 1`), { skip: second.length + 1, records: 1200 });
});
