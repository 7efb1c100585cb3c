// vimbrel-capture on a whole application, in Debian's Chromium with the
// real flasm: the movie plays from its own folder, every movie it loads is
// traced too, the trace begins with its first call, and no step can hang.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';

import { buildMovie } from '../../support/build-movie.js';
import { buildGame, callOnce, callsInOrder, recordsInOrder } from '../../support/game.js';
import { importingFrom, libraryMovie, minimalSwf } from '../../support/minimal-swf.js';
import { NO_FLASM } from '../../support/flasm.js';

const CAPTURE = fileURLToPath(new URL('../../../bin/vimbrel-capture', import.meta.url));

// Runs the capture; resolves to its status, outputs and how long it took.
// `started(child)` hears of the process.
function capture(args, env = {}, started = () => {}) {
  return new Promise((done) => {
    const began = Date.now();
    const child = spawn(process.execPath, [CAPTURE, ...args], { env: { ...process.env, ...env } });
    started(child);
    let stdout = '';
    let stderr = '';
    child.stdout.on('data', (chunk) => { stdout += chunk; });
    child.stderr.on('data', (chunk) => { stderr += chunk; });
    child.on('close', (status, signal) => done({ status, signal, stdout, stderr, seconds: (Date.now() - began) / 1000 }));
  });
}

async function withFolder(body) {
  const folder = mkdtempSync(join(tmpdir(), 'vimbrel-application-'));
  try {
    return await body(folder);
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
}

// The files of a folder and their bytes, to see that none changed.
function contents(folder) {
  return new Map(readdirSync(folder).map((name) => [name, readFileSync(join(folder, name))]));
}

test('one capture traces the movie and the movie it loads from its folder, from its first call',
     { skip: NO_FLASM }, () => withFolder(async (folder) => {
  const game = join(folder, 'game');
  mkdirSync(game);
  await buildGame(game);
  const before = contents(game);
  const out = join(folder, 'out');
  // --skip, passed on to every movie traced, leaves the level's helper out.
  const run = await capture([join(game, 'main.swf'), '--seconds', '2', '--out', out, '--skip', 'helper']);
  assert.equal(run.status, 0, run.stderr);
  const records = readFileSync(join(out, 'dump.txt'), 'utf8').split(',');
  // The frame script that calls start() holds it, and the frames are marked.
  assert.match(records[0], /^frame 0 Enter \d+$/);
  assert.match(records[1], /^start Enter \d+$/);
  assert.ok(records.some((record) => /^1 Frame \d+$/.test(record)), records.join(','));
  assert.ok(records.some((record) => /^level Enter \d+$/.test(record)), records.join(','));
  assert.ok(!records.some((record) => record.startsWith('helper ')), 'helper is left out');
  assert.match(run.stderr, /^traced a copy of .*main\.swf in \d+\.\d\d s \(flasm -d, vimbrel --clock=date --collect-from-start --flush-every=50000 --frames --events --trace-output --skip helper, flasm -a\)$/m);
  assert.match(run.stderr, /^traced level\.swf, which the movie loaded, in \d+\.\d\d s$/m);
  assert.match(run.stderr, /^movies in the trace: main\.swf \(traced here\), level\.swf \(traced here\)$/m);
  assert.deepEqual(contents(game), before, 'nothing in the folder changes');
}));

test('a movie that imports a library beside it plays, and its trace arrives',
     { skip: NO_FLASM }, () => withFolder(async (folder) => {
  const movie = await buildMovie({ folder, name: 'menu', frames: [callOnce('menu')] });
  writeFileSync(movie, importingFrom(readFileSync(movie), 'fonts.swf'));
  writeFileSync(join(folder, 'fonts.swf'), libraryMovie());
  // Without frames and frame scripts, its one call is the whole trace.
  const run = await capture([movie, '--seconds', '1', '--out', join(folder, 'out'), '--no-frames', '--no-events']);
  assert.equal(run.status, 0, run.stderr);
  assert.match(readFileSync(join(folder, 'out', 'dump.txt'), 'utf8'), /^menu Enter \d+,menu Exit \d+$/);
}));

test('a movie made on Windows finds its level in another case: Level.SWF is level.swf',
     { skip: NO_FLASM }, () => withFolder(async (folder) => {
  const game = join(folder, 'game');
  mkdirSync(game);
  await buildGame(game, { levelUrl: 'Level.SWF' });
  const run = await capture([join(game, 'main.swf'), '--seconds', '2', '--out', join(folder, 'out')]);
  assert.equal(run.status, 0, run.stderr);
  assert.match(run.stderr, /^traced level\.swf, which the movie loaded, in \d+\.\d\d s$/m);
  const records = readFileSync(join(folder, 'out', 'dump.txt'), 'utf8').split(',');
  assert.ok(records.some((record) => /^level Enter \d+$/.test(record)), records.join(','));
  assert.doesNotMatch(run.stderr, /not in the folder/);
}));

test('a library that is not in the folder: an empty movie stands in, and the trace arrives; without stand-ins, the capture says what was missing',
     { skip: NO_FLASM }, () => withFolder(async (folder) => {
  const movie = await buildMovie({ folder, name: 'menu', frames: [callOnce('menu')] });
  writeFileSync(movie, importingFrom(readFileSync(movie), 'gfxfontlib.swf'));
  const standIn = 'gfxfontlib.swf is not in the folder: an empty movie stood in for it (what it exports is missing)';
  let run = await capture([movie, '--seconds', '1', '--out', join(folder, 'out'), '--no-frames', '--no-events']);
  assert.equal(run.status, 0, run.stderr);
  assert.match(readFileSync(join(folder, 'out', 'dump.txt'), 'utf8'), /^menu Enter \d+,menu Exit \d+$/);
  // Said once, as it happens.
  assert.equal(run.stderr.split('\n').filter((line) => line === standIn).length, 1, run.stderr);

  run = await capture([movie, '--seconds', '1', '--out', join(folder, 'out'), '--no-stand-ins']);
  assert.equal(run.status, 3, run.stderr);
  assert.match(run.stderr, /^vimbrel-capture: no trace arrived: the movie asked for files that are not in the folder: gfxfontlib\.swf \(404\)\. .*menu\.swf sent no FSCommand "save"/m);
}));

test('a tracer that hands its records over three times, then saves the rest: dump.txt holds them all, in order',
     { skip: NO_FLASM }, () => withFolder(async (folder) => {
  const movie = await buildMovie({ folder, name: 'calls', frames: [callsInOrder(16)] });
  const out = join(folder, 'out');
  const exactly = ['--no-frames', '--no-events', '--no-trace-output'];
  const run = await capture([movie, '--seconds', '1', '--out', out, '--flush-every', '10', ...exactly]);
  assert.equal(run.status, 0, run.stderr);
  assert.match(run.stderr, /vimbrel --clock=date --collect-from-start --flush-every=10, flasm -a\)$/m);
  assert.match(run.stderr, /^32 records, handed over in 3 pieces and the save, which came \d+\.\d\d s after the last F12$/m);
  const records = readFileSync(join(out, 'dump.txt'), 'utf8').split(',');
  assert.deepEqual(records.map((record) => record.replace(/ \d+$/, '')), recordsInOrder(16));
  // The table and the Chrome trace are made from the pieces as they came.
  assert.match(run.stdout, /^c15 +1 +\d+ +\d+ +\d+$/m);
  assert.equal(JSON.parse(readFileSync(join(out, 'trace.json'), 'utf8')).traceEvents.length, 32);

  // All 32 in one piece: the save that follows is empty, and adds nothing.
  const whole = await capture([movie, '--seconds', '1', '--out', out, '--flush-every', '32', ...exactly]);
  assert.equal(whole.status, 0, whole.stderr);
  assert.match(whole.stderr, /^32 records, handed over in 1 pieces? and the save/m);
  assert.deepEqual(readFileSync(join(out, 'dump.txt'), 'utf8').split(',').map((record) => record.replace(/ \d+$/, '')),
                   recordsInOrder(16));
}));

test('when no save comes, what was handed over before is kept', { skip: NO_FLASM }, () => withFolder(async (folder) => {
  // After its calls the movie stops hearing keys: F12 sends nothing. The
  // tracer's name is made as it runs, so that the capture traces it.
  const deaf = `
    push '_global'
    getVariable
    push '_trac', 'er_'
    add
    getMember
    push 1, 'Key'
    getVariable
    push 'removeListener'
    callMethod
    pop
    stop
`;
  const movie = await buildMovie({ folder, name: 'deaf', frames: [callsInOrder(16).replace(/    stop\n$/, deaf)] });
  const out = join(folder, 'out');
  const run = await capture([movie, '--seconds', '1', '--out', out, '--flush-every', '10', '--no-frames', '--no-events']);
  assert.equal(run.status, 3, run.stderr);
  assert.match(run.stderr, new RegExp(`sent no FSCommand "save" within 10 s of F12\\. The 30 records it handed over before are in ${out}/dump\\.txt\\.`));
  const records = readFileSync(join(out, 'dump.txt'), 'utf8').split(',');
  assert.deepEqual(records.map((record) => record.replace(/ \d+$/, '')), recordsInOrder(15));
}));

test('a movie traced to collect from its start gets one release of F12, at the end',
     { skip: NO_FLASM }, () => withFolder(async (folder) => {
  const movie = await buildMovie({ folder, name: 'ticks', clock: 'date', options: ['--collect-from-start'],
                                   frames: [`
    constants 'tick', 'onEnterFrame', '_root'
    function tick ()
    end // of function

    push '_root'
    getVariable
    push 'onEnterFrame', 'tick'
    getVariable
    setMember
    stop
`] });
  const run = await capture([movie, '--seconds', '2', '--out', join(folder, 'out')]);
  assert.equal(run.status, 0, run.stderr);
  assert.match(run.stderr, /ticks\.swf \(traced already, collecting from its start\)/);
  // A second release would have stopped it half a second in.
  const times = readFileSync(join(folder, 'out', 'dump.txt'), 'utf8').split(',')
    .map((record) => Number(record.split(' ').at(-1)));
  assert.ok(times.at(-1) - times[0] > 1500, `records from ${times[0]} to ${times.at(-1)} ms`);
}));

test('a flasm that never ends is stopped at the time limit, and nothing is left behind',
     { skip: NO_FLASM }, () => withFolder(async (folder) => {
  const movie = await buildMovie({ folder, name: 'movie', frames: [callOnce('go')] });
  const tools = join(folder, 'tools');
  mkdirSync(tools);
  writeFileSync(join(tools, 'flasm'), '#!/bin/sh\nwhile :; do :; done\n', { mode: 0o755 });
  const temporary = join(folder, 'tmp');
  mkdirSync(temporary);
  const run = await capture([movie, '--flasm', join(tools, 'flasm'), '--tool-timeout', '2'],
                            { TMPDIR: temporary });
  assert.equal(run.status, 1);
  assert.equal(run.stderr, `vimbrel-capture: ${movie} has no tracer, and tracing a copy failed while ` +
    'disassembling with flasm: flasm did not finish within 2 s (--tool-timeout) and was stopped\n');
  assert.ok(run.seconds < 10, `${run.seconds} s`);
  assert.deepEqual(readdirSync(temporary), [], 'no temporary folder is left');
}));

// The ids of the processes that `command` matches, or [].
function processes(...pattern) {
  try {
    return execFileSync('pgrep', pattern, { encoding: 'utf8' }).trim().split('\n');
  } catch {
    return [];
  }
}

test('SIGHUP ends the capture, its stuck tool, its browser and its folder',
     { skip: process.platform === 'win32' }, () => withFolder(async (folder) => {
  const movie = join(folder, 'movie.swf');
  writeFileSync(movie, minimalSwf({ version: 8 }));
  const stuck = join(folder, 'stuck flasm');
  writeFileSync(stuck, '#!/bin/sh\nwhile :; do :; done\n', { mode: 0o755 });
  const temporary = join(folder, 'tmp');
  mkdirSync(temporary);
  let browser = [];
  const run = await capture([movie, '--flasm', stuck, '--tool-timeout', '600'], { TMPDIR: temporary }, (child) => {
    const waiting = setInterval(() => {
      if (processes('-f', `^/bin/sh ${stuck}`).length === 0) return;
      clearInterval(waiting);
      browser = processes('-P', String(child.pid), 'chrom');
      child.kill('SIGHUP');
    }, 100);
  });
  assert.equal(run.status, 129, run.stderr);
  assert.notDeepEqual(browser, [], 'the browser ran');
  assert.deepEqual(processes('-f', `^/bin/sh ${stuck}`), [], 'no tool is left');
  assert.ok(browser.every((id) => !existsSync(`/proc/${id}`)), 'the browser is gone');
  assert.deepEqual(readdirSync(temporary), [], 'no temporary folder is left');
}));

test('SIGINT while recording keeps the records handed over in dump.txt, and leaves no trace.json cut short',
     { skip: NO_FLASM }, () => withFolder(async (folder) => {
  const movie = await buildMovie({ folder, name: 'movie', frames: [callsInOrder(16)] });
  const out = join(folder, 'out');
  const run = await capture([movie, '--seconds', '60', '--out', out, '--flush-every', '10', '--no-frames',
                             '--no-events'], {}, (child) => {
    const waiting = setInterval(() => {
      if (!existsSync(join(out, 'dump.txt')) || readFileSync(join(out, 'dump.txt'), 'utf8').split(',').length < 30) return;
      clearInterval(waiting);
      child.kill('SIGINT');
    }, 100);
  });
  assert.equal(run.status, 130, run.stderr);
  assert.deepEqual(readdirSync(out), ['dump.txt']);
  assert.deepEqual(readFileSync(join(out, 'dump.txt'), 'utf8').split(',').map((record) => record.replace(/ \d+$/, '')),
                   recordsInOrder(16).slice(0, 30));
}));
