// vimbrel-report: the table and the tree, as text and as a command.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, spawnSync } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, rmSync, statSync, symlinkSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { DumpReport, TREE_INDENT_LEVELS, formatFunctionTable, formatCallTree } from '../../../src/terminal/report.js';
import { missingFileMessage } from '../../../src/node/file-messages.js';

// The report of a whole dump's text.
function analyseDump(text) {
  const report = new DumpReport();
  report.push(text);
  return report.end();
}

const REPORT = fileURLToPath(new URL('../../../bin/vimbrel-report', import.meta.url));
const fixture = (name) => fileURLToPath(new URL(`../../fixtures/${name}`, import.meta.url));

function report(args, input) {
  return spawnSync(process.execPath, [REPORT, ...args], { input, encoding: 'utf8' });
}

// main calls a twice; the first a calls b. By hand: main 10 ms, of which
// a takes 4 + 3, so main's self is 3; a's self is 7 less b's 2.
const SMALL = 'main Enter 0,a Enter 1,b Enter 2,b Exit 4,a Exit 5,a Enter 6,a Exit 9,main Exit 10';

test('the table of a small dump, worked out by hand', () => {
  assert.equal(formatFunctionTable(analyseDump(SMALL).stats),
    'function  calls  total ms  self ms  max ms\n' +
    'main          1        10        3      10\n' +
    'a             2         7        5       4\n' +
    'b             1         2        2       2\n');
});

test('a recursive function\'s total is that of its outermost call; its self time counts each call once', () => {
  // f holds f, which holds f: 10 ms in all, of which each level keeps 5, 3 and 2.
  assert.equal(formatFunctionTable(analyseDump('f Enter 0,f Enter 2,f Enter 3,f Exit 5,f Exit 7,f Exit 10').stats),
    'function  calls  total ms  self ms  max ms\n' +
    'f             3        10       10      10\n');
});

test('the tree folds repeated calls under the same caller', () => {
  assert.equal(formatCallTree(analyseDump(SMALL).tree),
    'main  1 call  10 ms\n' +
    '  a  2 calls  7 ms\n' +
    '    b  1 call  2 ms\n');
});

// Worked out from the 1200 records of dump-2.txt by pairing each exit with
// its enter: calls, total, self and max ms per function.
const DUMP_2 = [
  ['_root.onEnterFrame', 50, 86, 67, 4],
  ['obj.m', 50, 8, 5, 1],
  ['foo', 100, 5, 4, 1],
  ['Cls', 50, 4, 4, 1],
  ['Cls.m', 50, 3, 3, 1],
  ['anon0', 50, 1, 1, 1],
  ['bar', 150, 1, 1, 1],
  ['Cls.getV', 50, 1, 1, 1],
  ['baz', 50, 0, 0, 0],
];

test('the table of a real dump', () => {
  const run = report([fixture('dump-2.txt')]);
  assert.equal(run.status, 0, run.stderr);
  const rows = run.stdout.trimEnd().split('\n');
  assert.match(rows[0], /^function +calls +total ms +self ms +max ms$/);
  assert.deepEqual(rows.slice(1).map((row) => {
    const [name, ...numbers] = row.split(/ +/);
    return [name, ...numbers.map(Number)];
  }), DUMP_2);
  // Aligned: every number column ends where its title does.
  for (const row of rows.slice(1)) assert.equal(row.length, rows[0].length);
});

test('the tree of a real dump', () => {
  const run = report([fixture('dump-2.txt'), '--tree']);
  assert.equal(run.status, 0, run.stderr);
  const tree = run.stdout.split('\n\n')[1];
  assert.equal(tree,
    '_root.onEnterFrame  50 calls  86 ms\n' +
    '  foo  50 calls  2 ms\n' +
    '    bar  50 calls  0 ms\n' +
    '  bar  50 calls  0 ms\n' +
    '  obj.m  50 calls  8 ms\n' +
    '    foo  50 calls  3 ms\n' +
    '      bar  50 calls  1 ms\n' +
    '  Cls  50 calls  4 ms\n' +
    '  Cls.m  50 calls  3 ms\n' +
    '  Cls.getV  50 calls  1 ms\n' +
    '  baz  50 calls  0 ms\n' +
    '  anon0  50 calls  1 ms\n');
});

test('names with commas and spaces', () => {
  const dump = 'a, b Enter 1,x y,z Enter 2,x y,z Exit 5,a, b Exit 9';
  const run = report(['-'], dump);
  assert.equal(run.status, 0, run.stderr);
  assert.equal(run.stdout,
    'function  calls  total ms  self ms  max ms\n' +
    'a, b          1         8        5       8\n' +
    'x y,z         1         3        3       3\n');
});

test('a clock that steps back gives no time below nothing, and is said', () => {
  // main began before the records and holds a; the clock says main ended
  // before a did.
  const run = report(['-'], 'a Enter 100,a Exit 150,main Exit 120');
  assert.equal(run.status, 0, run.stderr);
  assert.equal(run.stdout,
    'function  calls  total ms  self ms  max ms\n' +
    'a             1        50       50      50\n' +
    'main          1        50        0      50\n' +
    '\n' +
    'The clock stepped back 1 time, by up to 30 ms (the wall clock set back?): times are held where they ' +
    'were, so no call lasts less than nothing.\n' +
    '1 record does not pair up (an exit without its enter, or an enter never closed: a call left by an ' +
    'exception, or cut short when its clip was removed).\n');
});

test('names that would steer a terminal are printed escaped, in the table, the tree and the frames', () => {
  const clear = '\x1b[2J';
  const title = '\x1b]0;owned\x07';
  const run = report(['-', '--tree'], `${clear} Enter 0,${title}\nx Enter 1,${title}\nx Exit 2,${clear} Exit 3`);
  assert.equal(run.status, 0, run.stderr);
  assert.doesNotMatch(run.stdout, /[\x00-\x09\x0b-\x1f\x7f]/);
  assert.match(run.stdout, /^\\x1b\[2J +1 +3 +2 +3$/m);
  assert.match(run.stdout, /^  \\x1b\]0;owned\\x07\\nx  1 call  1 ms$/m);
  // A log line of the server, from a path a movie asked for.
  assert.equal(missingFileMessage({ path: `a\n${title}b.swf`, standIn: false }),
    'a\\n\\x1b]0;owned\\x07b.swf is not in the folder: answered 404');
});

test('a stack 6,000 deep: the tree is printed whole, its indentation bounded', () => {
  // A handler that throws each frame: enters that never exit.
  const run = report(['-', '--tree'], Array.from({ length: 6000 }, (_, i) => `h Enter ${i}`).join(','));
  assert.equal(run.status, 0, run.stderr);
  const tree = run.stdout.split('\n').filter((line) => /^ *(\[depth \d+\] )?h  1 call/.test(line));
  assert.equal(tree.length, 6000);
  assert.equal(tree[1], '  h  1 call  5998 ms');
  assert.equal(tree[5999], `${'  '.repeat(TREE_INDENT_LEVELS)}[depth 5999] h  1 call  0 ms`);
  assert.ok(run.stdout.length < 1e6, `${run.stdout.length} characters`);
});

test('a call cut short is closed at the frame mark, at its last record; without marks, at the end', () => {
  // A preloader's frame script p calls q, then leaves by a gotoAndPlay that
  // removes its clip: it never exits. The menu's m runs in the next frames.
  const dump = 'p Enter 100,q Enter 101,q Exit 130,1 Frame 133,m Enter 140,m Exit 145,2 Frame 166,' +
               'm Enter 170,m Exit 172,3 Frame 200';
  const marked = report(['-', '--frame-rate', '30'], dump);
  assert.equal(marked.status, 0, marked.stderr);
  assert.equal(marked.stdout,
    'function  calls  total ms  self ms  max ms\n' +
    'p             1        30        1      30\n' +
    'q             1        29       29      29\n' +
    'm             2         7        7       5\n' +
    '\n' +
    '2 frames: median 33 ms, 95th percentile 34 ms, longest 34 ms\n' +
    '1 over the budget of 33.3 ms (30 fps), 0 over twice that\n' +
    'slowest frames:\n' +
    '  frame 2  at 166 ms  34 ms  m 2 ms\n' +
    '  frame 1  at 133 ms  33 ms  m 5 ms\n' +
    '\n' +
    '1 call was cut short at a frame (the clip that ran it removed, or an exception): p (1); each ends at its ' +
    'last record.\n' +
    '1 record does not pair up (an exit without its enter, or an enter never closed: a call left by an exception, ' +
    'or cut short when its clip was removed).\n');
  // Without marks, nothing says where p ended: the end of the records.
  const unmarked = report(['-'], dump.replace(/,\d Frame \d+/g, ''));
  assert.match(unmarked.stdout, /^p +1 +72 +36 +72$/m);
  assert.doesNotMatch(unmarked.stdout, /cut short at a frame/);
});

test('the lines the movie printed with trace(), each with the call that printed it', () => {
  const run = report(['-'], 'hello Trace 1,f Enter 2,in f, with a comma Trace 3,g Enter 4,deep Trace 5,g Exit 6,f Exit 7');
  assert.equal(run.status, 0, run.stderr);
  assert.match(run.stdout, /\n3 lines printed with trace\(\):\n  1 ms  \(no call\)  hello\n  3 ms  \[f\]  in f, with a comma\n  5 ms  \[g\]  deep\n/);
  const many = Array.from({ length: 25 }, (_, i) => `line ${i} Trace ${i}`).join(',');
  assert.match(report(['-'], many).stdout, /^25 lines printed with trace\(\), the first 20:\n[\s\S]*  line 19\n  \.\.\. and 5 more \(--trace-lines prints them all\)\n$/m);
  assert.match(report(['-', '--trace-lines'], many).stdout, /^25 lines printed with trace\(\):\n[\s\S]*  line 24\n$/m);
});

test('records that do not pair up are counted, and the rest reported', () => {
  // b exits without an enter inside a; c never exits.
  const run = report(['-'], 'a Enter 0,b Exit 1,a Exit 4,c Enter 5,junk');
  assert.equal(run.status, 0, run.stderr);
  assert.match(run.stdout, /^a +1 +4 +4 +4$/m);
  assert.match(run.stdout, /^2 records do not pair up/m);
  assert.match(run.stdout, /^1 piece of the dump is no record\.$/m);
});

test('--chrome and --speedscope write the calls for Perfetto and speedscope', () => {
  const folder = mkdtempSync(join(tmpdir(), 'vimbrel-report-'));
  try {
    const chrome = join(folder, 'trace.json');
    const speedscope = join(folder, 'speedscope.json');
    // SMALL, then a call whose enter was not recorded: it holds all before it.
    const run = report(['-', '--chrome', chrome, '--speedscope', speedscope], `${SMALL},all Exit 12`);
    assert.equal(run.status, 0, run.stderr);
    const { traceEvents } = JSON.parse(readFileSync(chrome, 'utf8'));
    assert.deepEqual(traceEvents.map((e) => `${e.ph} ${e.name} ${e.ts}`),
      ['B main 0', 'B a 1000', 'B b 2000', 'E b 4000', 'E a 5000',
       'B a 6000', 'E a 9000', 'E main 10000', 'B all -1', 'E all 12000']);
    const profile = JSON.parse(readFileSync(speedscope, 'utf8'));
    const frames = profile.shared.frames.map((frame) => frame.name);
    assert.deepEqual(profile.profiles[0].events.map((e) => `${e.type} ${frames[e.frame]} ${e.at}`),
      ['O all -0.001', 'O main 0', 'O a 1', 'O b 2', 'C b 4', 'C a 5', 'O a 6', 'C a 9', 'C main 10', 'C all 12']);
    assert.equal(profile.profiles[0].unit, 'milliseconds');
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
});

test('frames: the section worked out by hand, and their own track in --chrome', () => {
  const folder = mkdtempSync(join(tmpdir(), 'vimbrel-report-'));
  try {
    // Frame 1 takes 10 ms (a 4 of its own, main 2), frame 2 60 (b 50), frames
    // 3 and 4 30 each; frame 5 is cut short by the end of the records.
    const dump = '1 Frame 0,main Enter 0,a Enter 1,a Exit 5,main Exit 6,2 Frame 10,b Enter 12,b Exit 62,' +
                 '3 Frame 70,c Enter 70,c Exit 71,4 Frame 100,5 Frame 130,x Enter 131,x Exit 132';
    const chrome = join(folder, 'trace.json');
    const run = report(['-', '--frame-rate', '30', '--chrome', chrome], dump);
    assert.equal(run.status, 0, run.stderr);
    assert.equal(run.stdout.slice(run.stdout.indexOf('\n\n') + 2),
      '4 frames: median 30 ms, 95th percentile 60 ms, longest 60 ms\n' +
      '1 over the budget of 33.3 ms (30 fps), 0 over twice that\n' +
      'slowest frames:\n' +
      '  frame 2   at 10 ms  60 ms  b 50 ms\n' +
      '  frame 3   at 70 ms  30 ms  c 1 ms\n' +
      '  frame 4  at 100 ms  30 ms\n' +
      '  frame 1    at 0 ms  10 ms  a 4 ms, main 2 ms\n');
    const { traceEvents } = JSON.parse(readFileSync(chrome, 'utf8'));
    const track = traceEvents.filter((e) => e.tid === 2);
    assert.deepEqual(track.filter((e) => e.ph === 'X').map((e) => `${e.name} ${e.ts} ${e.dur}`),
      ['frame 1 0 10000', 'frame 2 10000 60000', 'frame 3 70000 30000', 'frame 4 100000 30000',
       'frame 5 130000 2000']);
    assert.ok(track.some((e) => e.name === 'thread_sort_index' && e.args.sort_index < 0));
    assert.ok(traceEvents.every((e) => e.tid === 2 || e.ph === 'M' || e.cat === 'actionscript'));
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
});

test('errors: no dump, a missing file, an unknown option; --help', () => {
  let run = report([]);
  assert.equal(run.status, 1);
  assert.match(run.stderr, /^vimbrel-report: no dump given/);
  run = report(['no-such-dump.txt']);
  assert.equal(run.status, 1);
  assert.equal(run.stderr, 'vimbrel-report: cannot read no-such-dump.txt: no such file\n');
  // A failed run leaves no export behind, but never removes what was there.
  const folder = mkdtempSync(join(tmpdir(), 'vimbrel-report-'));
  try {
    const chrome = join(folder, 'c.json');
    run = report(['no-such-dump.txt', '--chrome', chrome]);
    assert.equal(run.status, 1);
    assert.equal(existsSync(chrome), false);
    run = report([folder, '--chrome', chrome]);
    assert.equal(run.status, 1);
    assert.equal(existsSync(chrome), false);
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
  if (existsSync('/dev/full')) {
    run = report(['-', '--chrome', '/dev/full'], SMALL);
    assert.equal(run.status, 1);
    assert.match(run.stderr, /^vimbrel-report: cannot write \/dev\/full: ENOSPC/);
    assert.ok(statSync('/dev/full').isCharacterDevice());
  }
  run = report(['-', '--frobnicate'], SMALL);
  assert.equal(run.status, 1);
  assert.match(run.stderr, /unknown option --frobnicate/);
  run = report(['--help']);
  assert.equal(run.status, 0);
  assert.match(run.stdout, /^usage: vimbrel-report DUMP\.txt \[--tree\] \[--frame-rate FPS\] \[--chrome OUT\.json\]/);
});

test('--diff: the dumps, the functions, the merged tree and where the runs part; the folded stacks', () => {
  const folder = mkdtempSync(join(tmpdir(), 'vimbrel-report-test-'));
  try {
    // Before, main called a (20 ms) and b (10 ms); now a takes 60 ms and c
    // (5 ms) is called instead of b.
    const old = join(folder, 'old.txt');
    writeFileSync(old, 'main Enter 0,a Enter 10,a Exit 30,b Enter 30,b Exit 40,main Exit 50');
    const folded = join(folder, 'new.folded');
    const run = report(['-', '--diff', old, '--tree', '--diff-percent', '--folded', folded],
                       'main Enter 0,a Enter 10,a Exit 70,c Enter 70,c Exit 75,main Exit 80');
    assert.equal(run.status, 0, run.stderr);
    assert.equal(run.stdout,
      `standard input against ${old}: 6 records (6 before), 80 ms from the first to the last (50 before, +30), ` +
      '80 ms in calls (50 before, +30)\n' +
      '\n' +
      'function  old calls  new calls  change  old total ms  new total ms       change  old self ms  new self ms       change\n' +
      'a                 1          1  0 (0%)            20            60  +40 (+200%)           20           60  +40 (+200%)\n' +
      'main              1          1  0 (0%)            50            80   +30 (+60%)           20           15    -5 (-25%)\n' +
      'b                 1          -      -1            10             -          -10           10            -          -10  gone\n' +
      'c                 -          1      +1             -             5           +5            -            5           +5   new\n' +
      '\n' +
      'main  1 -> 1 call  50 -> 80 ms  +30 (+60%)\n' +
      '  a  1 -> 1 call  20 -> 60 ms  +40 (+200%)\n' +
      '  b  1 call  10 ms  -10  gone\n' +
      '  c  1 call  5 ms  +5  new\n' +
      '\n' +
      `the two runs part after 3 records of calls that agree, at record 4 of standard input and record 4 of ${old}, inside main:\n` +
      '  standard input: enters c\n' +
      `  ${old}: enters b\n`);
    // main keeps 80 - 65 ms of its own, a 60, c 5.
    assert.equal(readFileSync(folded, 'utf8'), 'main 15000\nmain;a 60000\nmain;c 5000\n');
    const same = report([old, '--diff', old]);
    assert.match(same.stdout, /^the two runs make the same calls throughout: 6 records of calls agree$/m);
    assert.doesNotMatch(same.stdout, /\s[+-]\d/, 'no change anywhere');
    for (const [args, said] of [[['-', '--diff-percent'], '--diff-percent says a change in percent'],
                                [['-', '--folded-calls'], '--folded-calls says what --folded writes'],
                                [['-', '--diff', '-'], 'only one of the dumps can be standard input'],
                                [['-', '--diff', join(folder, 'none.txt')], `cannot read ${join(folder, 'none.txt')}: no such file`]]) {
      const refused = report(args, SMALL);
      assert.equal(refused.status, 1);
      assert.ok(refused.stderr.startsWith(`vimbrel-report: ${said}`), refused.stderr);
    }
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
});

test('a reader that stops reading (| head) ends the report quietly, with status 0', async () => {
  // A table of 100,000 functions: more than a pipe holds.
  const dump = Array.from({ length: 100000 }, (_, i) => `f${i} Enter ${i},f${i} Exit ${i}`).join(',');
  const child = spawn(process.execPath, [REPORT, '-']);
  child.stdin.end(dump);
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  child.stdout.once('data', () => child.stdout.destroy());
  const status = await new Promise((done) => child.on('close', done));
  assert.equal(stderr, '');
  assert.equal(status, 0);
});

test('stopped by SIGINT, or unable to write, the report leaves no export and no folder of its own', async () => {
  const folder = mkdtempSync(join(tmpdir(), 'vimbrel-report-test-'));
  try {
    const temporary = join(folder, 'tmp');
    mkdirSync(temporary);
    const chrome = join(folder, 'ch.json');
    const speedscope = join(folder, 'ss.json');
    // A dump that is still coming when the signal does.
    const child = spawn(process.execPath, [REPORT, '-', '--chrome', chrome, '--speedscope', speedscope],
                        { env: { ...process.env, TMPDIR: temporary } });
    child.stdin.on('error', () => {});
    child.stdin.write(Array.from({ length: 50000 }, (_, i) => `f Enter ${i},f Exit ${i}`).join(','));
    for (let waited = 0; !(existsSync(chrome) && statSync(chrome).size > 0); waited += 20) {
      assert.ok(waited < 10000, 'the export was begun');
      await new Promise((done) => setTimeout(done, 20));
    }
    const status = new Promise((done) => child.on('close', done));
    child.kill('SIGINT');
    assert.equal(await status, 130);
    assert.deepEqual(readdirSync(temporary), []);
    assert.equal(existsSync(chrome), false);
    assert.equal(existsSync(speedscope), false);

    // A file that takes nothing: the report fails, naming it.
    const full = report(['-', '--chrome', '/dev/full'], SMALL);
    assert.equal(full.status, 1);
    assert.match(full.stderr, /^vimbrel-report: cannot write \/dev\/full: ENOSPC/);
    const dump = join(folder, 'd.txt');
    writeFileSync(dump, SMALL);
    const out = spawnSync(`'${process.execPath}' '${REPORT}' '${dump}' > /dev/full`, { shell: true, encoding: 'utf8' });
    assert.equal(out.status, 1);
    assert.equal(out.stderr, 'vimbrel-report: cannot write the report: ENOSPC: no space left on device, write\n');
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
});

test('an export that names the dump, or the other export, is refused before anything is written', () => {
  const folder = mkdtempSync(join(tmpdir(), 'vimbrel-report-test-'));
  try {
    const dump = join(folder, 'd.txt');
    writeFileSync(dump, SMALL);
    symlinkSync(dump, join(folder, 'link.txt'));
    const old = join(folder, 'o.txt');
    writeFileSync(old, SMALL);
    for (const [args, said] of [
      [['--diff', old, '--folded', old], `--folded names ${old}, which is the dump compared with`],
      [['--chrome', dump], `--chrome names ${dump}, which is the dump itself`],
      [['--speedscope', join(folder, 'link.txt')], `--speedscope names ${join(folder, 'link.txt')}, which is the dump itself`],
      [['--chrome', join(folder, 'x.json'), '--speedscope', join(folder, '.', 'x.json')],
       `--chrome names ${join(folder, 'x.json')}, which is also --speedscope's file`],
    ]) {
      const run = report([dump, ...args]);
      assert.equal(run.status, 1);
      assert.equal(run.stderr, `vimbrel-report: ${said}: give another file\n`);
      assert.equal(run.stdout, '');
    }
    assert.equal(readFileSync(dump, 'utf8'), SMALL);
    assert.equal(readFileSync(old, 'utf8'), SMALL);
    assert.deepEqual(readdirSync(folder).sort(), ['d.txt', 'link.txt', 'o.txt']);
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
});
