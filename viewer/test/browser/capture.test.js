// vimbrel-capture in Debian's Chromium: a trace without a person, and what
// it says when there is none to be had.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';

const CAPTURE = fileURLToPath(new URL('../../bin/vimbrel-capture', import.meta.url));
const fixture = (name) => fileURLToPath(new URL(`../fixtures/${name}`, import.meta.url));
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
  for (const record of dump.split(',')) {
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

test('a movie without a tracer: no save, and why', () => {
  withFolder((out) => {
    const run = capture([fixture('demo.swf'), '--seconds', '1', '--out', out]);
    assert.equal(run.status, 3);
    assert.match(run.stderr, /no trace arrived: .*demo\.swf sent no FSCommand "save"/);
    assert.match(run.stderr, /not rewritten by vimbrel, or it has no tracer \(a Flash 4 or 5 movie, or one without a frame line/);
    assert.equal(run.stdout, '');
  });
});

test('errors: a missing movie, a file that is no SWF, one Ruffle cannot load, no Chromium', () => {
  withFolder((folder) => {
    let run = capture([join(folder, 'nothere.swf')]);
    assert.equal(run.status, 1);
    assert.equal(run.stderr, `vimbrel-capture: ${join(folder, 'nothere.swf')}: no such file\n`);

    const text = join(folder, 'movie.swf');
    writeFileSync(text, 'frame 0\n');
    run = capture([text]);
    assert.equal(run.status, 1);
    assert.equal(run.stderr, `vimbrel-capture: ${text} is not a SWF movie\n`);

    // A compressed movie whose data does not inflate.
    const broken = join(folder, 'broken.swf');
    writeFileSync(broken, Buffer.concat([Buffer.from('CWS\x08\x40\x00\x00\x00', 'latin1'),
                                         Buffer.from('not zlib at all')]));
    run = capture([broken, '--seconds', '1']);
    assert.equal(run.status, 1);
    assert.match(run.stderr, /^vimbrel-capture: Ruffle could not load .*broken\.swf: Invalid SWF/);

    run = capture([fixture('demo-traced.swf')], { CHROMIUM: join(folder, 'no-chromium') });
    assert.equal(run.status, 1);
    assert.match(run.stderr, /Chromium is not installed .*sudo apt-get install chromium/);
  });
});

test('--help shows the usage; a bad option is refused', () => {
  let run = capture(['--help']);
  assert.equal(run.status, 0);
  assert.match(run.stdout, /^usage: vimbrel-capture MOVIE\.swf \[--seconds N\] \[--out DIR\]/);
  run = capture([fixture('demo-traced.swf'), '--seconds', 'soon']);
  assert.equal(run.status, 2);
  assert.match(run.stderr, /--seconds takes a number of seconds/);
});
