// Frames and the code outside functions (vimbrel --frames --events), played
// in Ruffle in Debian's Chromium: movies whose code is in frame scripts and
// handlers print what they print untraced, every handler's enter has its
// exit, the marks count every frame, and a slow frame is found with what
// made it slow. Needs flasm (FLASM).

import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { copyFile, mkdir, mkdtemp, readFile, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { serve } from '../../../src/server/http-server.js';
import { headlessOptions } from '../../../src/node/headless-chromium.js';
import { traceMovie } from '../../../src/node/trace-movie.js';
import { DumpReport } from '../../../src/terminal/report.js';
import { buildMovie } from '../../support/build-movie.js';
import { NO_FLASM } from '../../support/flasm.js';
import { moviePlayer } from '../../support/player.js';
import { parseDump } from '../../support/records.js';

const fixture = (name) => fileURLToPath(new URL(`../../fixtures/events/${name}`, import.meta.url));
const CAPTURE = fileURLToPath(new URL('../../../bin/vimbrel-capture', import.meta.url));
const REPORT = fileURLToPath(new URL('../../../bin/vimbrel-report', import.meta.url));
const TRACING = { clock: 'date', collectFromStart: true, flushEvery: 50000, frames: true, events: true };

let folder;
let server;
let browser;

before(async () => {
  if (NO_FLASM) return;
  folder = await mkdtemp(join(tmpdir(), 'vimbrel-events-'));
  const files = {};
  for (const name of ['clip_events', 'button_goto']) {
    files[`/capture/${name}.swf`] = fixture(`${name}.swf`);
    const traced = await traceMovie(fixture(`${name}.swf`), await mkdtemp(join(folder, `${name}-`)), TRACING);
    files[`/capture/${name}-traced.swf`] = traced.movie;
  }
  server = await serve(0, '127.0.0.1', { files });
  browser = await chromium.launch(headlessOptions());
});

after(async () => {
  await browser?.close();
  server?.close();
  if (folder) await rm(folder, { recursive: true, force: true });
});

// Plays `movie` for a second, lets `act(page, lines)` drive it, then
// releases F12; resolves to the trace() lines it printed and what it saved.
async function play(movie, act = async () => {}) {
  const page = await browser.newPage({ viewport: { width: 600, height: 450 } });
  // Ruffle prints trace() on the console at the level "info".
  await page.addInitScript(() => { window.RufflePlayer = { config: { logLevel: 'info' } }; });
  const lines = [];
  page.on('console', (message) => {
    const printed = /log_adapter\.rs:\d+%c (.*?) color:/.exec(message.text());
    if (printed) lines.push(printed[1]);
  });
  try {
    await page.goto(`http://127.0.0.1:${server.address().port}/capture.html?movie=/capture/${movie}`);
    await page.waitForFunction(() => window.vimbrelCapture.state !== 'loading', null, { timeout: 30000 });
    await page.waitForTimeout(1000);
    await act(page, lines);
    const player = moviePlayer(page);
    await player.focus();
    await page.keyboard.down('F12');
    await page.keyboard.up('F12');
    await page.waitForTimeout(1000);
    const saves = await page.evaluate(() => window.vimbrelCapture.dumps);
    return { lines, saves };
  } finally {
    await page.close();
  }
}

// Rolls over the button, presses, drags out and back, releases, rolls out.
async function useButton(page, lines) {
  let over = null;
  for (let y = 10; y < 450 && !over; y += 20) {
    for (let x = 10; x < 600 && !over; x += 20) {
      await page.mouse.move(x, y);
      await page.waitForTimeout(50);
      if (lines.includes('rollOver')) over = [x, y];
    }
  }
  assert.ok(over, 'the button was not found');
  const [x, y] = over;
  for (const step of [() => page.mouse.down(), () => page.mouse.move(1, 1), () => page.mouse.move(x, y),
                      () => page.mouse.up(), () => page.mouse.move(1, 1)]) {
    await step();
    await page.waitForTimeout(150);
  }
}

// Names may hold commas (`on a,b`): the dump is read as the viewer reads it.
function analyse(save) {
  const report = new DumpReport();
  report.push(save);
  const analysis = report.end();
  return { ...analysis, names: new Set(analysis.stats.map((row) => row.name)) };
}

for (const [movie, act, handlers] of [
  ['clip_events', undefined, ['clip 4 onClipEvent enterFrame', 'clip 3 onClipEvent unload', 'clip 3 frame 0']],
  ['button_goto', useButton, ['button 3 on idleToOverUp', 'button 3 on overDownToOutDown,overDownToIdle']],
]) {
  test(`${movie} prints the same lines traced as untraced, and its handlers' records pair up`,
       { skip: NO_FLASM }, async () => {
    const expected = (await readFile(fixture(`${movie}.output.txt`), 'utf8')).trimEnd().split('\n');
    const untraced = await play(`${movie}.swf`, act);
    assert.deepEqual(untraced.lines, expected);
    const traced = await play(`${movie}-traced.swf`, act);
    assert.deepEqual(traced.lines, expected);

    assert.equal(traced.saves.length, 1);
    const { anomalyCount, errorCount, names, frames } = analyse(traced.saves[0]);
    assert.equal(anomalyCount, 0);
    assert.equal(errorCount, 0);
    for (const name of ['frame 1', ...handlers]) assert.ok(names.has(name), `no record of ${name}`);
    // One mark a frame, numbered from 1 without a gap.
    const marks = traced.saves[0].split(',').filter((record) => / Frame /.test(record)).map((record) => Number(record.split(' ')[0]));
    assert.ok(marks.length > 20, `${marks.length} marks`);
    assert.deepEqual(marks, marks.map((_, i) => i + 1));
    assert.equal(frames.count, marks.length - 1);
  });
}

// Frame 0 defines slow(), which waits 150 ms, and quick(); frame 1 counts
// its runs and calls slow() on the 20th, quick() on each; frame 2 goes
// back to frame 1.
const SLOW = [`
    constants 'count', 'slow', 'quick', 't', 'Date', 'getTime'
    push 'count', 0
    setVariable
    function slow ()
      push 't', 0.0, 0.0, 'Date'
      new
      push 'getTime'
      callMethod
      varEquals
     slow_wait:
      push 0.0, 0.0, 'Date'
      new
      push 'getTime'
      callMethod
      push 't'
      getVariable
      subtract
      push 150
      lessThan
      branchIfTrue slow_wait
    end // of function slow
    function quick ()
    end // of function quick
`, `
    push 'count', 'count'
    getVariable
    increment
    setVariable
    push 'count'
    getVariable
    push 20
    equals
    not
    branchIfTrue not_slow
    push 0.0, 'slow'
    callFunction
    pop
   not_slow:
    push 0.0, 'quick'
    callFunction
    pop
`, `
    gotoFrame 1
    play
`];

test('a capture of a movie with one slow frame: the report names the frame and the function',
     { skip: NO_FLASM }, async () => {
  const movie = await buildMovie({ folder, name: 'slow', frames: SLOW, frameRate: 30 });
  const out = join(folder, 'slow-out');
  const capture = spawnSync(process.execPath, [CAPTURE, movie, '--seconds', '3', '--out', out], { encoding: 'utf8' });
  assert.equal(capture.status, 0, capture.stderr);
  // The capture knows the frame rate from the movie's header.
  assert.match(capture.stdout, /\n\d+ frames: median [\d.]+ ms, 95th percentile [\d.]+ ms, longest [\d.]+ ms\n[1-9]\d* over the budget of 33\.3 ms \(30 fps\), [1-9]\d* over twice that\nslowest frames:\n/);
  assert.match(capture.stderr, /vimbrel-report \S+dump\.txt --tree --frame-rate 30/);

  const dump = await readFile(join(out, 'dump.txt'), 'utf8');
  const records = dump.split(',');
  const slowAt = records.indexOf(records.find((record) => record.startsWith('slow Enter ')));
  const frame = records.slice(0, slowAt).reverse().find((record) => / Frame /.test(record)).split(' ')[0];
  const report = spawnSync(process.execPath, [REPORT, join(out, 'dump.txt'), '--frame-rate', '30'], { encoding: 'utf8' });
  assert.equal(report.status, 0, report.stderr);
  const slowest = report.stdout.split('slowest frames:\n')[1].split('\n')[0];
  const [, number, took, first, self] = /^ {2}frame (\d+) +at \d+ ms +(\d+) ms {2}(\S+) (\d+) ms/.exec(slowest);
  assert.equal(number, frame);
  assert.equal(first, 'slow');
  assert.ok(Number(self) >= 150 && Number(took) >= Number(self), slowest);
});

// A game's preloader: a clip that waits three of its runs, then sends the
// main timeline to 'loaded', where the clip is gone. Ruffle runs nothing
// more of a removed clip's script, so its exit block never runs.
const PRELOADER = [`
      push 'waited', 'waited'
      getVariable
      int
      increment
      setVariable
      push 'waited'
      getVariable
      push 3
      lessThan
      branchIfTrue label1
      push 'loaded', 1, '_root'
      getVariable
      push 'gotoAndPlay'
      callMethod
      pop
      push 'left the preloader'
      trace
     label1:
`, ''];
const GAME = ['    stop\n', `
    function work ()
      push 'worked'
      trace
    end // of function work

    push '_root'
    getVariable
    push 'onEnterFrame'
    function ()
      push 0, 'work'
      callFunction
      pop
    end // of function
    setMember
    stop
`];

test('a preloader that leaves by gotoAndPlay is cut short at the next frame, not stretched over the game',
     { skip: NO_FLASM }, async () => {
  const games = join(folder, 'preloader');
  await mkdir(games);
  const movie = await buildMovie({ folder: games, name: 'game', frames: GAME, preloader: PRELOADER });
  const out = join(games, 'out');
  const capture = spawnSync(process.execPath, [CAPTURE, movie, '--seconds', '3', '--out', out], { encoding: 'utf8' });
  assert.equal(capture.status, 0, capture.stderr);
  const output = await readFile(join(out, 'output.txt'), 'utf8');
  assert.match(output, /^worked\n/);
  assert.doesNotMatch(output, /left the preloader/);
  assert.match(capture.stdout, /\n1 call was cut short at a frame \(the clip that ran it removed, or an exception\): clip 1 frame 0 \(1\); each ends at its last record\.\n/);
  const [, calls, total] = /\nclip 1 frame 0 +(\d+) +(\d+) /.exec(capture.stdout);
  assert.equal(calls, '2');
  assert.ok(Number(total) < 100, capture.stdout);
  const slowest = capture.stdout.split('slowest frames:\n')[1];
  for (const [, self] of slowest.matchAll(/clip 1 frame 0 (\d+) ms/g)) assert.ok(Number(self) < 100, slowest);
});

// The button handlers' records of a dump, in order: what a player did to
// it. Their names hold commas: the dump is read as the viewer reads it.
const handlerRecords = (dump) => parseDump(dump).records.filter((record) => /^button \d+ on /.test(record.name))
  .map((record) => `${record.name} ${record.kind}`);

test('the capture plays input.json into button_goto: its handlers run, and output.txt is the suite\'s',
     { skip: NO_FLASM }, async () => {
  const games = join(folder, 'played');
  await mkdir(games);
  await copyFile(fixture('button_goto.swf'), join(games, 'button_goto.swf'));
  const out = join(games, 'out');
  const capture = spawnSync(process.execPath, [CAPTURE, join(games, 'button_goto.swf'), '--input',
                                               fixture('button_goto.input.json'), '--out', out], { encoding: 'utf8' });
  assert.equal(capture.status, 0, capture.stderr);
  assert.match(capture.stderr, /output\.txt \(4 lines the movie printed with trace\(\)\)/);
  assert.equal(await readFile(join(out, 'output.txt'), 'utf8'), await readFile(fixture('button_goto.output.txt'), 'utf8'));
  const dump = await readFile(join(out, 'dump.txt'), 'utf8');
  assert.deepEqual(handlerRecords(dump), [
    'button 3 on idleToOverUp Enter', 'button 3 on idleToOverUp Exit',
    'button 3 on overDownToOutDown,overDownToIdle Enter', 'button 3 on overDownToOutDown,overDownToIdle Exit',
    'button 3 on outDownToOverDown,idleToOverDown Enter', 'button 3 on outDownToOverDown,idleToOverDown Exit',
    'button 3 on overUpToIdle Enter', 'button 3 on overUpToIdle Exit']);
  // Each trace() line is a record too, in the handler that printed it.
  assert.match(dump, /button 3 on idleToOverUp Enter \d+,rollOver Trace \d+,button 3 on idleToOverUp Exit \d+/);

  // What the capture refuses, naming it.
  const refusing = join(games, 'refused.json');
  await writeFile(refusing, JSON.stringify([{ type: 'MouseMove', pos: [1, 2] }, { type: 'TextControl', code: 'Paste' }]));
  const refused = spawnSync(process.execPath, [CAPTURE, join(games, 'button_goto.swf'), '--input', refusing],
                            { encoding: 'utf8' });
  assert.equal(refused.status, 2);
  assert.match(refused.stderr, /^vimbrel-capture: --input \S+refused\.json: event 2, TextControl: the capture sends MouseMove, .* and Wait, not TextControl\n/);
});
