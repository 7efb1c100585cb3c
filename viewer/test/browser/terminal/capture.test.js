// vimbrel-capture in Debian's Chromium: a trace without a person, of a
// traced movie or of one it traces itself, and what it says when there is
// none to be had.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { copyFileSync, mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync, symlinkSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';

import { minimalSwf } from '../../support/minimal-swf.js';
import { NO_FLASM } from '../../support/flasm.js';

const CAPTURE = fileURLToPath(new URL('../../../bin/vimbrel-capture', import.meta.url));
const VIMBREL = process.env.VIMBREL ?? fileURLToPath(new URL('../../../../build/vimbrel', import.meta.url));
const fixture = (name) => fileURLToPath(new URL(`../../fixtures/${name}`, import.meta.url));
const DEMO_FUNCTIONS = ['_root.onEnterFrame', 'foo', 'bar', 'obj.m', 'Cls', 'Cls.m',
                        'Cls.getV', 'baz', 'anon0'];

function capture(args, env = {}) {
  return spawnSync(process.execPath, [CAPTURE, ...args],
                   { encoding: 'utf8', env: { ...process.env, ...env }, timeout: 120000 });
}

function withFolder(body) {
  const folder = mkdtempSync(join(tmpdir(), 'vimbrel-capture-'));
  try {
    return body(folder);
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
}

// Pairs each exit with the enter on top of a stack, on the dump's own text:
// per function the calls and the total of exit minus enter.
function pairUp(dump) {
  const stack = [];
  const totals = new Map();
  let pending = '';
  for (const piece of dump.split(',')) {
    // A printed line may hold commas: it runs on to the piece with its kind.
    const record = pending + piece;
    if (!/ (Enter|Exit|Frame|Trace) \d+$/.test(record)) {
      pending = `${record},`;
      continue;
    }
    pending = '';
    // Frames are marked and printed lines kept, neither is a call.
    if (/^\d+ Frame \d+$/.test(record) || / Trace \d+$/.test(record)) continue;
    const [, name, kind, time] = /^(.*) (Enter|Exit) (\d+)$/.exec(record);
    if (kind === 'Enter') {
      stack.push({ name, time: Number(time) });
      continue;
    }
    const open = stack.pop();
    assert.equal(open?.name, name, `exit of ${name} closes ${open?.name}`);
    const entry = totals.get(name) ?? { calls: 0, total: 0 };
    entry.calls += 1;
    entry.total += Number(time) - open.time;
    totals.set(name, entry);
  }
  assert.deepEqual(stack, [], 'every enter has its exit');
  assert.equal(pending, '', 'the dump ends with a whole record');
  return totals;
}

test('captures the traced demo: records that pair up, and a table that agrees', () => {
  withFolder((out) => {
    const run = capture([fixture('demo-traced.swf'), '--seconds', '2', '--out', out]);
    assert.equal(run.status, 0, run.stderr);
    const dump = readFileSync(join(out, 'dump.txt'), 'utf8');
    const totals = pairUp(dump);
    for (const name of DEMO_FUNCTIONS) assert.ok(totals.has(name), `${name} in the dump`);

    const rows = run.stdout.trimEnd().split('\n');
    assert.match(rows[0], /^function +calls +total ms +self ms +max ms$/);
    const table = new Map(rows.slice(1).map((row) => {
      const [name, calls, total] = row.split(/ +/);
      return [name, { calls: Number(calls), total: Number(total) }];
    }));
    assert.deepEqual([...table.keys()].sort(), [...totals.keys()].sort());
    for (const [name, expected] of totals) assert.deepEqual(table.get(name), expected, name);

    const { traceEvents } = JSON.parse(readFileSync(join(out, 'trace.json'), 'utf8'));
    assert.equal(traceEvents.length, dump.split(',').length);
  });
});

test('an untraced movie is traced as a copy, kept when asked, and captured',
     { skip: NO_FLASM }, () => {
  withFolder((folder) => {
    const movie = join(folder, 'demo.swf');
    copyFileSync(fixture('demo.swf'), movie);
    const before = readFileSync(movie);
    const out = join(folder, 'out');
    const kept = join(folder, 'kept');
    const run = capture([movie, '--seconds', '2', '--out', out, '--keep', kept]);
    assert.equal(run.status, 0, run.stderr);
    assert.match(run.stderr, /^traced a copy of .*demo\.swf in \d+\.\d\d s \(flasm -d, vimbrel --clock=date --collect-from-start --flush-every=50000 --frames --events --trace-output, flasm -a\)$/m);
    const totals = pairUp(readFileSync(join(out, 'dump.txt'), 'utf8'));
    for (const name of DEMO_FUNCTIONS) assert.ok(totals.has(name), `${name} in the dump`);
    assert.deepEqual(readFileSync(movie), before, 'the movie is not written to');

    // The kept files: the traced movie, and the texts vimbrel reads and writes.
    assert.deepEqual(readdirSync(kept).sort(), ['demo.flm', 'demo.fln', 'demo.swf', 'demo.tmp']);
    const byHand = join(folder, 'by-hand');
    mkdirSync(byHand);
    copyFileSync(movie, join(byHand, 'demo.swf'));
    const flm = spawnSync(process.env.FLASM, ['-d', 'demo.swf'], { cwd: byHand });
    writeFileSync(join(byHand, 'demo.flm'), flm.stdout);
    const traced = spawnSync(VIMBREL, ['--clock=date', '--collect-from-start', '--flush-every=50000', '--frames', '--events',
                                       '--trace-output',
                                       'demo.flm'],
                             { cwd: byHand, encoding: 'utf8' });
    assert.equal(traced.status, 0, traced.stderr);
    assert.deepEqual(readFileSync(join(kept, 'demo.flm')), readFileSync(join(byHand, 'demo.flm')));
    assert.deepEqual(readFileSync(join(kept, 'demo.fln')), readFileSync(join(byHand, 'demo.fln')));
    assert.deepEqual(readFileSync(join(kept, 'demo.tmp')), readFileSync(join(byHand, 'demo.tmp')));
    assert.ok(readFileSync(join(kept, 'demo.swf')).includes('_tracer_\0'));
  });
});

test('no file is lost: --keep beside the movie is refused, and a dump that cannot be written fails the capture',
     { skip: NO_FLASM }, () => {
  withFolder((folder) => {
    const movie = join(folder, 'demo.swf');
    copyFileSync(fixture('demo.swf'), movie);
    const before = readFileSync(movie);
    let run = capture([movie, '--seconds', '1', '--keep', folder]);
    assert.equal(run.status, 1);
    assert.equal(run.stderr, `vimbrel-capture: --keep ${folder} holds demo.swf already: the traced copy is kept ` +
                             'only where it overwrites nothing; keep it in another folder\n');
    assert.deepEqual(readFileSync(movie), before);
    assert.deepEqual(readdirSync(folder), ['demo.swf']);

    // A disk that takes nothing: the capture fails, naming the file, and
    // leaves no trace.json cut short; what the movie printed is whole.
    const out = join(folder, 'out');
    mkdirSync(out);
    symlinkSync('/dev/full', join(out, 'dump.txt'));
    run = capture([fixture('demo-traced.swf'), '--seconds', '1', '--out', out]);
    assert.equal(run.status, 1, run.stderr);
    assert.match(run.stderr, new RegExp(`vimbrel-capture: cannot write ${join(out, 'dump.txt')}: ENOSPC`));
    assert.doesNotMatch(run.stderr, /^wrote /m);
    assert.deepEqual(readdirSync(out), ['dump.txt', 'output.txt']);
  });
});

test('a movie that cannot be traced: which step, and why', () => {
  withFolder((folder) => {
    const flash5 = join(folder, 'old.swf');
    writeFileSync(flash5, minimalSwf({ version: 5 }));
    let run = capture([flash5, '--seconds', '1']);
    assert.equal(run.status, 1);
    assert.equal(run.stderr, `vimbrel-capture: ${flash5} has no tracer, and tracing a copy failed while ` +
      `reading the movie: ${flash5} is a Flash 5 movie: the tracer needs Flash 6 or later, which have _global.\n`);

    const lzma = join(folder, 'lzma.swf');
    writeFileSync(lzma, Buffer.concat([Buffer.from('ZWS\x0a', 'latin1'), Buffer.alloc(40, 7)]));
    run = capture([lzma]);
    assert.equal(run.status, 1);
    assert.match(run.stderr, /lzma\.swf is compressed with LZMA \(ZWS\), which flasm cannot read/);

    // flasm nowhere: not given, not in FLASM, not on the PATH.
    const movie = join(folder, 'movie.swf');
    writeFileSync(movie, minimalSwf({ version: 8 }));
    run = capture([movie], { FLASM: '', PATH: join(folder, 'nowhere') });
    assert.equal(run.status, 1);
    assert.match(run.stderr, /failed while finding the tools: flasm was not found\. Give its path with --flasm PATH/);
    assert.match(run.stderr, /Debian does not package flasm/);
    assert.match(run.stderr, /flasm\.ini beside it with "literalconstants = 1"/);

    // A flasm that refuses the movie: its own words are shown.
    const refusing = join(folder, 'refusing flasm');
    writeFileSync(refusing, '#!/bin/sh\necho "Input file doesn\'t appear to be an SWF file.."\nexit 1\n', { mode: 0o755 });
    run = capture([movie, '--flasm', refusing]);
    assert.equal(run.status, 1);
    assert.match(run.stderr, /failed while disassembling with flasm: flasm cannot disassemble .*movie\.swf\n  Input file doesn't appear to be an SWF file\.\.\n$/);
  });
});

test('errors: a missing movie, a file that is no SWF, one flasm cannot read, one cut short, no Chromium', () => {
  withFolder((folder) => {
    let run = capture([join(folder, 'nothere.swf')]);
    assert.equal(run.status, 1);
    assert.equal(run.stderr, `vimbrel-capture: ${join(folder, 'nothere.swf')}: no such file\n`);

    const text = join(folder, 'movie.swf');
    writeFileSync(text, 'frame 0\n');
    run = capture([text]);
    assert.equal(run.status, 1);
    assert.equal(run.stderr, `vimbrel-capture: ${text} is not a SWF movie\n`);

    // A compressed movie whose data does not inflate: flasm says so.
    const broken = join(folder, 'broken.swf');
    writeFileSync(broken, Buffer.concat([Buffer.from('CWS\x08\x40\x00\x00\x00', 'latin1'),
                                         Buffer.from('not zlib at all')]));
    if (!NO_FLASM) {
      run = capture([broken, '--seconds', '1']);
      assert.equal(run.status, 1);
      assert.equal(run.stderr, `vimbrel-capture: ${broken} has no tracer, and tracing a copy failed while ` +
        `disassembling with flasm: flasm cannot disassemble ${broken}\n` +
        '  Error -3 decompressing SWF: incorrect header check\n');
    }

    // A traced movie cut short: Ruffle plays what it can read and says on
    // its console why the rest is missing.
    const cut = join(folder, 'cut.swf');
    const traced = readFileSync(fixture('demo-traced.swf'));
    writeFileSync(cut, traced.subarray(0, Math.floor(traced.length * 0.6)));
    run = capture([cut, '--seconds', '1']);
    assert.equal(run.status, 3);
    assert.match(run.stderr, /no trace arrived: .*cut\.swf sent no FSCommand "save".* Ruffle reported: Unexpected EOF when reading tag\n$/);

    // No browser: what was tried, and how to get one.
    run = capture([fixture('demo-traced.swf')], { CHROMIUM: join(folder, 'no-chromium') });
    assert.equal(run.status, 1);
    assert.match(run.stderr, /no browser to play the movie in: CHROMIUM names .*no-chromium, which is not a program; no Google Chrome .*; no Microsoft Edge .*"sudo apt-get install chromium"/);
  });
});

test('--help shows the usage; a bad option is refused', () => {
  let run = capture(['--help']);
  assert.equal(run.status, 0);
  assert.match(run.stdout, /^usage: vimbrel-capture MOVIE\.swf \[--seconds N\] \[--input FILE\] \[--out DIR\] \[--keep DIR\]/);
  run = capture([fixture('demo-traced.swf'), '--seconds', 'soon']);
  assert.equal(run.status, 2);
  assert.match(run.stderr, /--seconds takes a number of seconds/);
  run = capture([fixture('demo.swf'), '--clock=sundial']);
  assert.equal(run.status, 2);
  assert.match(run.stderr, /unknown clock sundial: the clocks are date and getTimer/);
  for (const value of ['0', '86401', '2.5', 'Infinity']) {
    run = capture([fixture('demo.swf'), `--tool-timeout=${value}`]);
    assert.equal(run.status, 2, value);
    assert.match(run.stderr, /^vimbrel-capture: --tool-timeout takes whole seconds from 1 to 86400\n/, value);
  }
});
