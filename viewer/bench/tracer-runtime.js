#!/usr/bin/env node
// What the tracer costs, and how true its times are, in Ruffle in headless
// Chromium: builds a 30 fps movie with flasm, untraced and traced with each
// clock, and with the hosts' options (the wall clock, --frames --events,
// then --trace-output with input played into the movie as the capture
// plays --input), and plays each. The movie prints a line a frame. The movie asks the page for the true time through
// ExternalInterface, and tells it when a frame of its own runs: for the
// tracer that marks frames, the marks and the movie's own count are set side
// by side over FRAME_SECONDS (60; BENCH_FRAME_SECONDS). Needs flasm (FLASM or the PATH), vimbrel (built in
// this repository, or VIMBREL) and Chromium.
//
// usage: node bench/tracer-runtime.js      (from viewer/, or npm run bench)
//        BENCH_VARIANTS='untraced,date,date+frames' npm run bench   (some only)

import { mkdtemp, rm } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';
import { serve } from '../src/server/http-server.js';
import { headlessOptions } from '../src/node/headless-chromium.js';
import { buildMovie } from '../test/support/build-movie.js';
import { callPage, offerToPage, tellPage } from '../test/support/external-interface.js';
import { callsLoop } from '../test/support/calls-loop.js';
import { moviePlayer, playerFrame } from '../test/support/player.js';
import { playInput } from '../src/terminal/input-player.js';

const CALLS = 100000;
const REPEATS = 7;
const PER_FRAME = [10, 100, 1000];
const FPS_SECONDS = 3;
const ACCURACY_SECONDS = 2;
const BUSY_MS = 5;
const FRAME_SECONDS = Number(process.env.BENCH_FRAME_SECONDS ?? 60);

const ALL_VARIANTS = [
  { label: 'untraced', clock: null },
  { label: 'getTimer', clock: 'getTimer' },
  { label: 'date', clock: 'date' },
  // No version in its text: vimbrel writes the form every version runs.
  { label: 'date, plain', clock: 'date', sayVersion: false },
  // What vimbrel-capture and the viewer's server use.
  { label: 'date+frames', clock: 'date', options: ['--frames', '--events'] },
  { label: '+output+input', clock: 'date', options: ['--frames', '--events', '--trace-output'], input: true },
];
// The first is the untraced movie that the others are set against.
const chosen = process.env.BENCH_VARIANTS?.split(',');
const VARIANTS = chosen
  ? ALL_VARIANTS.filter((variant, i) => i === 0 || chosen.includes(variant.label)) : ALL_VARIANTS;

// The movie's function `name`, offered to the page under that name.
const offer = (name) => `
    push '${name}'
    getVariable${offerToPage(name)}`;
const setRoot = (member, value) => `
      push '_root'
      getVariable
      push '${member}', ${value}
      setMember`;

// leaf() is the traced call measured. Each frame calls runCalls(perFrame);
// while `accuracy` is set it also runs measure(): probe() between two marks
// of true time, ten times, then busy(), which calls leaf() until BUSY_MS
// have passed by the true clock: a function that writes records while it
// runs.
const FRAME = `
    function leaf ()
    end // of function leaf

    function probe ()
    end // of function probe

${callsLoop('runCalls')}
    function busy ('ms')${tellPage('vimbrelMark')}
      push 's'${callPage('vimbrelNow')}
      varEquals
     busy_loop:
      push 0.0, 'leaf'
      callFunction
      pop${callPage('vimbrelNow')}
      push 's'
      getVariable
      subtract
      push 'ms'
      getVariable
      lessThan
      branchIfTrue busy_loop${tellPage('vimbrelMark')}
    end // of function busy

    function measure ()
      push 'j', 0
      varEquals
     measure_loop:
      push 'j'
      getVariable
      push 10
      lessThan
      not
      branchIfTrue measure_done${tellPage('vimbrelMark')}
      push 0.0, 'probe'
      callFunction
      pop${tellPage('vimbrelMark')}
      push 10, 1, 'runCalls'
      callFunction
      pop
      push 'j', 'j'
      getVariable
      increment
      setVariable
      branch measure_loop
     measure_done:
      push ${BUSY_MS}, 1, 'busy'
      callFunction
      pop
    end // of function measure

    function setPerFrame ('n')${setRoot('perFrame', "'n'\n      getVariable")}
    end // of function setPerFrame

    function setAccuracy ('on')${setRoot('accuracy', "'on'\n      getVariable")}
    end // of function setAccuracy

    function clearTraces ()
      push '_global'
      getVariable
      push '_tracer_'
      getMember
      push 'traces', 0.0, 'Array'
      new
      setMember
    end // of function clearTraces
${offer('runCalls')}${offer('setPerFrame')}${offer('setAccuracy')}${offer('clearTraces')}${setRoot('perFrame', 0)}${setRoot('accuracy', 'FALSE')}
    push '_root'
    getVariable
    push 'onEnterFrame'
    function  ()${tellPage('vimbrelTick')}
      push 'a frame'
      trace
      push '_root'
      getVariable
      push 'perFrame'
      getMember
      push 1, 'runCalls'
      callFunction
      pop
      push '_root'
      getVariable
      push 'accuracy'
      getMember
      not
      branchIfTrue frame_done
      push 0.0, 'measure'
      callFunction
      pop
     frame_done:
    end // of function
    setMember
    stop
`;

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

async function pressF12(page) {
  await page.keyboard.down('F12');
  await page.keyboard.up('F12');
}

// Milliseconds that runCalls(n) takes, timed in the movie's frame around the call.
function timeCalls(frame, n) {
  return frame.evaluate((count) => {
    const start = performance.now();
    document.querySelector('ruffle-player').runCalls(count);
    return performance.now() - start;
  }, n);
}

async function framesPerSecond(page, frame, perFrame) {
  await frame.evaluate((n) => document.querySelector('ruffle-player').setPerFrame(n), perFrame);
  await sleep(700);
  const from = await page.evaluate(() => window.vimbrelCapture.ticks.length);
  await sleep(FPS_SECONDS * 1000);
  const ticks = await page.evaluate((first) => window.vimbrelCapture.ticks.slice(first), from);
  await frame.evaluate(() => document.querySelector('ruffle-player').clearTraces());
  if (ticks.length < 2) return 0;
  return (ticks.length - 1) / ((ticks.at(-1) - ticks[0]) / 1000);
}

// Pairs probe() and busy() records with the marks of true time around them.
function accuracy(dump, marks) {
  const records = dump.split(',').filter((text) => / (Enter|Exit) -?\d+$/.test(text)).map((text) => {
    const [, name, kind, time] = /^(.*) (Enter|Exit) (-?\d+)$/.exec(text);
    return { name, kind, time: Number(time) };
  });
  let stepBack = 0;
  for (let i = 1; i < records.length; i++) stepBack = Math.max(stepBack, records[i - 1].time - records[i].time);
  const probes = [];
  const busy = [];
  let mark = 0;
  for (let i = 0; i < records.length; i++) {
    const record = records[i];
    if (record.name === 'probe' && record.kind === 'Enter') {
      probes.push({ stamp: record.time, truth: (marks[mark] + marks[mark + 1]) / 2 });
      mark += 2;
    } else if (record.name === 'busy' && record.kind === 'Enter') {
      const exit = records.slice(i).find((r) => r.name === 'busy' && r.kind === 'Exit');
      busy.push({ reported: exit.time - record.time, truth: marks[mark + 1] - marks[mark] });
      mark += 2;
    }
  }
  const offset = median(probes.map((p) => p.stamp - p.truth));
  const within = probes.filter((p) => Math.abs(p.stamp - offset - p.truth) <= 1).length;
  const durationError = busy.reduce((sum, b) => sum + Math.abs(b.reported - b.truth), 0) / busy.length;
  return { within: within / probes.length, durationError, stepBack, probes: probes.length, busy: busy.length };
}

// Collects for FRAME_SECONDS at 100 calls a frame: the frames the movie
// counted in that time, and the marks the tracer made, with the gaps in
// their numbers.
async function frameMarks(page, frame) {
  // The tracer keeps what it saved before: its list starts empty here.
  await frame.evaluate(() => {
    document.querySelector('ruffle-player').setPerFrame(100);
    document.querySelector('ruffle-player').clearTraces();
  });
  await page.evaluate(() => { window.vimbrelCapture.dumps.length = 0; });
  await sleep(300);
  const first = await page.evaluate(() => window.vimbrelCapture.ticks.length);
  await pressF12(page);
  await sleep(FRAME_SECONDS * 1000);
  await pressF12(page);
  const last = await page.evaluate(() => window.vimbrelCapture.ticks.length);
  await page.waitForFunction(() => window.vimbrelCapture.dumps.length > 0, null, { timeout: 60000 });
  const dump = await page.evaluate(() => window.vimbrelCapture.dumps[0]);
  await frame.evaluate(() => {
    document.querySelector('ruffle-player').setPerFrame(0);
    document.querySelector('ruffle-player').clearTraces();
  });
  const marks = dump.split(',').filter((text) => / Frame \d+$/.test(text)).map((text) => Number(text.split(' ')[0]));
  const gaps = marks.filter((number, i) => i > 0 && number !== marks[i - 1] + 1).length;
  return { movieFrames: last - first, marks: marks.length, gaps };
}

// A mouse that moves every frame, round the stage, as --input plays it.
const movingMouse = (seconds) => Array.from({ length: seconds * 30 }, (_, i) =>
  [{ type: 'MouseMove', pos: [275 + 200 * Math.cos(i / 10), 200 + 150 * Math.sin(i / 10)] }]);

async function measure(browser, server, movieUrl, { traced, marksFrames, input }) {
  const page = await browser.newPage();
  try {
    const base = `http://127.0.0.1:${server.address().port}`;
    await page.goto(`${base}/capture.html?movie=${movieUrl}`);
    await page.waitForFunction(() => window.vimbrelCapture.state !== 'loading' &&
                                     window.vimbrelCapture.ticks.length > 10, null, { timeout: 30000 });
    const player = moviePlayer(page);
    await player.click();
    await player.focus();
    const frame = await playerFrame(page);
    let playing = true;
    const played = input
      ? playInput(page, player, movingMouse(3600), { frameRate: 30, stage: { width: 550, height: 400 },
                                                     stopped: () => !playing })
      : null;

    const result = {};
    // Ruffle's code runs faster once the browser has compiled it fully.
    for (let i = 0; i < 3; i++) await timeCalls(frame, CALLS);
    const off = [];
    for (let i = 0; i < REPEATS; i++) off.push(await timeCalls(frame, CALLS));
    result.off = off;

    // Collecting from here on. The timed runs come last: Ruffle may delay
    // the frames after them by the time it fakes for their getTimer calls.
    if (traced) await pressF12(page);
    await sleep(200);
    result.fps = [];
    for (const perFrame of PER_FRAME) result.fps.push(await framesPerSecond(page, frame, perFrame));

    if (traced) {
      await frame.evaluate(() => {
        document.querySelector('ruffle-player').setPerFrame(100);
        document.querySelector('ruffle-player').clearTraces();
      });
      await page.evaluate(() => { window.vimbrelCapture.marks.length = 0; });
      await frame.evaluate(() => document.querySelector('ruffle-player').setAccuracy(true));
      await sleep(ACCURACY_SECONDS * 1000);
      await frame.evaluate(() => document.querySelector('ruffle-player').setAccuracy(false));
      await sleep(300);
      await pressF12(page);
      await page.waitForFunction(() => window.vimbrelCapture.dumps.length > 0, null, { timeout: 60000 });
      const [dump, marks] = await page.evaluate(() => [window.vimbrelCapture.dumps[0], window.vimbrelCapture.marks]);
      result.accuracy = accuracy(dump, marks);
      await frame.evaluate(() => document.querySelector('ruffle-player').setPerFrame(0));
      if (marksFrames) result.frames = await frameMarks(page, frame);
      await pressF12(page);
      await sleep(200);
    }

    const on = [];
    for (let i = 0; i < REPEATS; i++) {
      on.push(await timeCalls(frame, CALLS));
      await frame.evaluate(() => document.querySelector('ruffle-player').clearTraces());
    }
    result.on = on;
    // Untraced, both are the same work.
    if (!traced) result.on = result.off = [...off, ...on];
    playing = false;
    await played;
    return result;
  } finally {
    await page.close();
  }
}

function table(rows, results) {
  const labels = VARIANTS.map((v) => v.label);
  const width = Math.max(...rows.map(([title]) => title.length));
  const lines = [[''.padEnd(width), ...labels.map((l) => l.padStart(12))].join('  ')];
  for (const [title, cell] of rows) {
    lines.push([title.padEnd(width), ...results.map((r) => cell(r).padStart(12))].join('  '));
  }
  return lines.join('\n');
}

const folder = await mkdtemp(join(tmpdir(), 'vimbrel-bench-'));
// The movies are served as they are built.
const movies = {};
const server = await serve(0, '127.0.0.1', { files: movies });
const browser = await chromium.launch(headlessOptions());
try {
  const results = [];
  for (const [index, variant] of VARIANTS.entries()) {
    const name = `movie${index}`;
    let path;
    try {
      path = await buildMovie({ folder, name, frames: [FRAME], version: 8, frameRate: 30,
                                clock: variant.clock, options: variant.options ?? [],
                                sayVersion: variant.sayVersion ?? true });
    } catch (error) {
      process.stderr.write(`tracer-runtime: cannot build the movie: ${error.message}\n`);
      process.exitCode = 1;
      break;
    }
    movies[`/bench/${name}.swf`] = path;
    process.stderr.write(`playing ${variant.label}...\n`);
    results.push(await measure(browser, server, `/bench/${name}.swf`, {
      traced: variant.clock !== null, marksFrames: (variant.options ?? []).includes('--frames'),
      input: variant.input ?? false }));
  }
  // The quickest of the runs: what the code costs with the least of the
  // machine's other work in it.
  if (results.length === VARIANTS.length) {
    for (const result of results) {
      result.on = Math.min(...result.on);
      result.off = Math.min(...result.off);
    }
    const [untraced] = results;
    const perCall = (r, total) => `${(((total - untraced.off) / CALLS) * 1000).toFixed(2)}`;
    const rows = [
      ...PER_FRAME.map((n, i) => [`fps while collecting, ${n} calls a frame`,
                                  (r) => `${r.fps[i].toFixed(1)} (${Math.round((100 * r.fps[i]) / untraced.fps[i])}%)`]),
      ['stamps within 1 ms of true time', (r) => r.accuracy ? `${(100 * r.accuracy.within).toFixed(1)}%` : '-'],
      [`mean error of a ${BUSY_MS} ms duration, ms`, (r) => r.accuracy ? r.accuracy.durationError.toFixed(2) : '-'],
      ['largest step back, ms', (r) => r.accuracy ? String(r.accuracy.stepBack) : '-'],
      [`${CALLS} calls collecting, ms (quickest of ${REPEATS})`, (r) => r.on.toFixed(0)],
      [`${CALLS} calls not collecting, ms`, (r) => r.off.toFixed(0)],
      ['cost per record, us', (r) => (r === untraced ? '-' : `${(perCall(r, r.on) / 2).toFixed(2)}`)],
      ['cost per call not collecting, us', (r) => (r === untraced ? '-' : perCall(r, r.off))],
      [`frame marks in ${FRAME_SECONDS} s / the movie's frames`,
       (r) => (r.frames ? `${r.frames.marks}/${r.frames.movieFrames}` : '-')],
      ['gaps in the marks\' numbers', (r) => (r.frames ? String(r.frames.gaps) : '-')],
    ];
    process.stdout.write(`Tracer in Ruffle, headless Chromium: a 30 fps movie (frames per second\n` +
                         `against the untraced movie)\n\n${table(rows, results)}\n`);
  }
} finally {
  await browser.close();
  server.close();
  await rm(folder, { recursive: true, force: true });
}
