// Two dumps compared: the functions, the merged call tree and where the
// runs part, in small dumps worked out by hand; and the collapsed stacks.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { DumpReport } from '../../../src/model/dump-report.js';
import { PartingPlace, compareFunctions, foldedLines, mergeTrees } from '../../../src/model/comparison.js';

// Both dumps read side by side, as vimbrel-report --diff reads them.
function compared(newText, oldText) {
  const parting = new PartingPlace();
  const [fresh, old] = [newText, oldText].map((text, side) => {
    const report = new DumpReport([], { onRecord: (name, kind, index) => parting.record(side, name, kind, index) });
    report.push(text);
    const analysis = report.end();
    parting.end(side, analysis.records);
    return analysis;
  });
  return { fresh, old, parting: parting.result(), compared: parting.compared };
}

// The figures of a row or a node, in one line: calls, total, self.
const figures = ({ calls, total, self }) => [calls, total, self];

// main calls a then b before; now a takes 40 ms longer, b is gone, c new.
const OLD = 'main Enter 0,a Enter 10,a Exit 30,b Enter 30,b Exit 40,main Exit 50';
const NEW = 'main Enter 0,a Enter 10,a Exit 70,c Enter 70,c Exit 75,main Exit 80';

test('the functions of two dumps: one slower, one gone, one new, the largest change first', () => {
  const { fresh, old } = compared(NEW, OLD);
  const rows = compareFunctions(fresh.stats, old.stats);
  assert.deepEqual(rows.map((row) => [row.name, row.status, figures(row.old), figures(row.new), figures(row.change)]), [
    // a: 20 ms before, 60 now. main: 50 and 80 in all; its self 50 - 30 = 20, then 80 - 65 = 15.
    ['a', 'both', [1, 20, 20], [1, 60, 60], [0, 40, 40]],
    ['main', 'both', [1, 50, 20], [1, 80, 15], [0, 30, -5]],
    ['b', 'gone', [1, 10, 10], [0, 0, 0], [-1, -10, -10]],
    ['c', 'new', [0, 0, 0], [1, 5, 5], [1, 5, 5]],
  ]);
});

test('the merged tree: paths matched by name from the root, the largest change first among siblings', () => {
  const { fresh, old } = compared(NEW, OLD);
  const top = mergeTrees(fresh.tree, old.tree);
  assert.deepEqual(figures(top.old).slice(0, 2), [1, 50]);
  assert.deepEqual(figures(top.new).slice(0, 2), [1, 80]);
  const [main] = top.children;
  assert.equal(main.name, 'main');
  assert.deepEqual(main.children.map((node) => [node.name, node.status, node.change.total]),
                   [['a', 'both', 40], ['b', 'gone', -10], ['c', 'new', 5]]);
});

test('where the runs part: the record in each, the calls open there, and the call each made', () => {
  const { parting } = compared(NEW, OLD);
  // main Enter, a Enter, a Exit agree; then c against b.
  assert.deepEqual(parting, {
    path: ['main'], compared: 3, records: [6, 6],
    made: [{ kind: 'Enter', name: 'c', record: 4 }, { kind: 'Enter', name: 'b', record: 4 }],
  });
  // The same calls at other times, with frames between, do not part.
  const same = compared('1 Frame 0,main Enter 1,a Enter 2,a Exit 9,main Exit 12', 'main Enter 0,a Enter 10,a Exit 30,main Exit 50');
  assert.equal(same.parting, null);
  assert.equal(same.compared, 4);
});

test('recursion: each depth a path of its own, and the runs part where one goes a level deeper', () => {
  // Before: f holds f (30 ms, the inner 10). Now: f holds f holds f (40 ms,
  // the middle 10, the innermost 6).
  const { fresh, old, parting } = compared('f Enter 0,f Enter 10,f Enter 12,f Exit 18,f Exit 20,f Exit 40',
                                           'f Enter 0,f Enter 10,f Exit 20,f Exit 30');
  const [row] = compareFunctions(fresh.stats, old.stats);
  // Totals count the outermost call; self times each call once: 20 + 10, then 30 + 4 + 6.
  assert.deepEqual([figures(row.old), figures(row.new)], [[2, 30, 30], [3, 40, 40]]);
  const [outer] = mergeTrees(fresh.tree, old.tree).children;
  const [inner] = outer.children;
  const [innermost] = inner.children;
  assert.deepEqual([outer.change.total, inner.change.total, innermost.status, innermost.new.total],
                   [10, 0, 'new', 6]);
  assert.deepEqual(parting.path, ['f', 'f']);
  assert.deepEqual(parting.made, [{ kind: 'Enter', name: 'f', record: 3 }, { kind: 'Exit', name: 'f', record: 3 }]);
});

test('unpaired records in one dump: it is compared as read, and parts at its first record', () => {
  // The old dump begins inside g: an exit without its enter, a call of no
  // time that began before the records.
  const { fresh, old, parting } = compared('h Enter 0,h Exit 4', 'g Exit 5,h Enter 6,h Exit 10');
  assert.equal(old.anomalyCount, 1);
  assert.deepEqual(compareFunctions(fresh.stats, old.stats).map((row) => [row.name, row.status, row.change.total]),
                   [['h', 'both', 0], ['g', 'gone', 0]]);
  assert.deepEqual(parting.path, []);
  assert.deepEqual(parting.made, [{ kind: 'Enter', name: 'h', record: 1 }, { kind: 'Exit', name: 'g', record: 1 }]);
});

test('one run ends first; records that come all from one side first are compared alike', () => {
  const parting = new PartingPlace();
  const records = [['main', 'Enter'], ['a', 'Enter'], ['a', 'Exit'], ['main', 'Exit']];
  records.forEach(([name, kind], index) => parting.record(0, name, kind, index));
  parting.end(0, 4);
  assert.equal(parting.waiting(0), 4, 'they wait for the other side');
  records.slice(0, 2).forEach(([name, kind], index) => parting.record(1, name, kind, index));
  parting.end(1, 2);
  assert.deepEqual(parting.result(), { path: ['main', 'a'], compared: 2, records: [4, 2],
                                       made: [{ kind: 'Exit', name: 'a', record: 3 }, null] });
});

test('collapsed stacks: a line a path, its self time in microseconds or its calls, read back whole', () => {
  const report = new DumpReport();
  // main 10 ms holds a twice (4 and 3 ms; the first a holds b, 2 ms); a name with ; and a line end.
  report.push('main Enter 0,a Enter 1,b;x\ny Enter 2,b;x\ny Exit 4,a Exit 5,a Enter 6.5,a Exit 9,main Exit 10');
  const { tree } = report.end();
  const lines = [...foldedLines(tree)];
  assert.deepEqual(lines, ['main 3500\n', 'main;a 4500\n', 'main;a;b:x y 2000\n']);
  // Read back as flamegraph.pl reads them: the last space ends the path.
  const total = lines.reduce((sum, line) => sum + Number(line.slice(line.lastIndexOf(' ') + 1)), 0);
  assert.equal(total, 10000, 'the self times add up to the whole run');
  assert.deepEqual([...foldedLines(tree, { calls: true })], ['main 1\n', 'main;a 2\n', 'main;a;b:x y 1\n']);
});
