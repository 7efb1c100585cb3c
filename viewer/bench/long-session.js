#!/usr/bin/env node
// A long session through vimbrel-capture: a 30 fps movie whose every frame
// calls work(), which calls leaf() 1,000 times (2,004 records a frame, the
// frame's own function traced too),
// played for 10 minutes and traced by the capture with --flush-every
// (50,000, its default) or without (--flush-every 0). Prints, per minute,
// the frames per second, the player's JavaScript heap and Ruffle's
// WebAssembly memory, and the capture's own memory; then the records the
// movie made and those delivered, and the time from the last F12 to the
// complete dump. The untraced movie's frames per second come first.
//
// usage: node bench/long-session.js [--minutes N] [--flush-every N] [--no-frames] [--no-events]
//        (from viewer/; the last two are passed on to the capture, which
//        otherwise marks frames and traces frame scripts)
//
// It watches the capture's Chromium through a debugging port, which a
// wrapper named in CHROMIUM opens: the capture itself runs as any user's.
// Needs flasm (FLASM or the PATH), vimbrel and Chromium.

import { spawn } from 'node:child_process';
import { mkdtemp, readFile, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { serve } from '../src/server/http-server.js';
import { chromiumPath, headlessOptions } from '../src/node/headless-chromium.js';
import { buildMovie } from '../test/support/build-movie.js';
import { callsLoop } from '../test/support/calls-loop.js';
import { tellPageOf } from '../test/support/external-interface.js';
import { playerFrame } from '../test/support/player.js';

const CAPTURE = fileURLToPath(new URL('../bin/vimbrel-capture', import.meta.url));
const argv = process.argv.slice(2);
const option = (name, fallback) => {
  const at = argv.indexOf(name);
  return at < 0 ? fallback : Number(argv[at + 1]);
};
const MINUTES = option('--minutes', 10);
const FLUSH_EVERY = option('--flush-every', 50000);
const CALLS = 1000;
// leaf(), work() and the frame's function, each an enter and an exit.
const RECORDS_A_FRAME = 2 * CALLS + 4;
const BASELINE_SECONDS = 60;
// A movie whose frames have not run for this long has stopped.
const STOPPED_SECONDS = 30;

// Each frame: count the frame in _global.made while the tracer collects,
// call work(1000), and tell the page with vimbrelTick(made). The tracer's
// name is made as the movie runs, so that the capture sees a movie without
// one, and traces it.
const FRAME = `
    constants 'leaf', 'work', 'n', 'i', '_global', 'made', 'collect'
    function leaf ()
    end // of function leaf

${callsLoop('work')}
    push '_global'
    getVariable
    push 'made', 0
    setMember
    push '_root'
    getVariable
    push 'onEnterFrame'
    function  ()
      push '_global'
      getVariable
      push '_trac', 'er_'
      add
      getMember
      push 'collect'
      getMember
      not
      branchIfTrue counted
      push '_global'
      getVariable
      push 'made', '_global'
      getVariable
      push 'made'
      getMember
      increment
      setMember
     counted:
      push ${CALLS}, 1, 'work'
      callFunction
      pop${tellPageOf('vimbrelTick', `
      push '_global'
      getVariable
      push 'made'
      getMember`)}
    end // of function
    setMember
    stop
`;

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));
const megabytes = (bytes) => (bytes / 2 ** 20).toFixed(0);

// What the capture page says of the movie: frames, its count, memory (the
// JavaScript heap of the movie's frame, where Ruffle runs).
async function sample(page, frame) {
  const heap = await frame.evaluate(() => performance.memory.usedJSHeapSize);
  const now = await page.evaluate(() => {
    const { ticks, count } = window.vimbrelCapture;
    return { frames: ticks.length, last: ticks.at(-1), count, wasm: window.vimbrelWasmBytes(), at: performance.now() };
  });
  return { ...now, heap };
}

async function hostKilobytes(pid) {
  try {
    return Number(/VmRSS:\s+(\d+)/.exec(await readFile(`/proc/${pid}/status`, 'utf8'))[1]);
  } catch {
    return NaN;
  }
}

// The untraced movie's frames per second, on the capture's page.
async function baseline(movie) {
  const server = await serve(0, '127.0.0.1', { files: { '/bench/movie.swf': movie } });
  const browser = await chromium.launch(headlessOptions());
  try {
    const page = await browser.newPage();
    await page.goto(`http://127.0.0.1:${server.address().port}/capture.html?movie=/bench/movie.swf`);
    await page.waitForFunction(() => window.vimbrelCapture.ticks.length > 30, null, { timeout: 30000 });
    const frame = await playerFrame(page);
    const first = await sample(page, frame);
    await sleep(BASELINE_SECONDS * 1000);
    const last = await sample(page, frame);
    return (last.frames - first.frames) / ((last.last - first.last) / 1000);
  } finally {
    await browser.close();
    server.close();
  }
}

// Runs the capture on `movie` for MINUTES, watching its page.
async function session(folder, movie, flushEvery) {
  const port = 9300 + Math.floor(Math.random() * 600);
  const wrapper = join(folder, 'chromium');
  await writeFile(wrapper, `#!/bin/sh\nexec "${chromiumPath()}" --remote-debugging-port=${port} ` +
                           '--enable-precise-memory-info "$@"\n', { mode: 0o755 });
  const out = join(folder, `out-${flushEvery}`);
  const child = spawn(process.execPath, [CAPTURE, movie, '--seconds', String(MINUTES * 60), '--out', out,
                                         '--flush-every', String(flushEvery),
                                         ...argv.filter((word) => ['--no-frames', '--no-events'].includes(word))],
                      { env: { ...process.env, CHROMIUM: wrapper } });
  let stdout = '';
  let stderr = '';
  child.stdout.on('data', (chunk) => { stdout += chunk; });
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  const ended = new Promise((done) => child.on('close', (status) => done(status)));
  let exited = false;
  ended.then(() => { exited = true; });

  let browser = null;
  for (let tries = 0; !browser && !exited && tries < 300; tries++) {
    browser = await chromium.connectOverCDP(`http://127.0.0.1:${port}`).catch(() => null);
    if (!browser) await sleep(200);
  }
  const minutes = [];
  let made;
  let stoppedAt = null;
  let last = null;
  let started = null;
  try {
    let page = null;
    while (!page && !exited) {
      page = browser?.contexts().flatMap((context) => context.pages())
        .find((candidate) => candidate.url().includes('/capture.html')) ?? null;
      if (!page) await sleep(200);
    }
    // The movie's count when it saves: the F12 that ends collecting.
    await page?.exposeFunction('vimbrelWatch', (count) => { made = count; }).catch(() => {});
    const frame = page && await playerFrame(page).catch(() => null);
    let minuteStart = null;
    while (!exited && frame) {
      const now = await sample(page, frame).catch(() => null);
      if (!now) break;
      if (!now.frames) {
        await sleep(500);
        continue;
      }
      started ??= now;
      minuteStart ??= now;
      last = now;
      if (now.at - minuteStart.at >= 60000) {
        minutes.push({ fps: (now.frames - minuteStart.frames) / ((now.last - minuteStart.last) / 1000),
                       heap: now.heap, wasm: now.wasm, host: await hostKilobytes(child.pid) });
        minuteStart = now;
      }
      if (now.at - now.last > STOPPED_SECONDS * 1000 && stoppedAt === null) {
        stoppedAt = (now.last - started.last) / 1000;
        child.kill('SIGTERM');
      }
      await sleep(1000);
    }
  } finally {
    await ended;
    await browser?.close().catch(() => {});
  }
  const delivered = /^(\d+) records(?:, handed over in (\d+) pieces and the save)?, which came (\d+\.\d+) s after the last F12$/m
    .exec(stderr);
  const calls = (name) => Number(new RegExp(`^${name} +(\\d+) `, 'm').exec(stdout)?.[1] ?? NaN);
  return { minutes, stoppedAt, made: made ?? last?.count, delivered, works: calls('work'), leaves: calls('leaf'),
           problem: delivered ? null : stderr.trim().split('\n').at(-1) };
}

function report(label, result, untraced) {
  console.log(`\n${label}`);
  console.log('minute | frames a second | of untraced | page JS heap (MB) | Ruffle wasm (MB) | capture (MB)');
  result.minutes.forEach((minute, i) => {
    console.log(`${String(i + 1).padStart(6)} | ${minute.fps.toFixed(1).padStart(15)} | ` +
                `${`${Math.round((100 * minute.fps) / untraced)}%`.padStart(11)} | ${megabytes(minute.heap).padStart(17)} | ` +
                `${megabytes(minute.wasm).padStart(16)} | ${(minute.host / 1024).toFixed(0).padStart(12)}`);
  });
  if (result.stoppedAt !== null) console.log(`the movie stopped ${result.stoppedAt.toFixed(0)} s into the session`);
  const made = result.made === undefined ? NaN : result.made * RECORDS_A_FRAME;
  console.log(`records the movie made: ${made} (${result.made} frames of work() while collecting)`);
  if (result.delivered) {
    const [, records, pieces, seconds] = result.delivered;
    console.log(`records delivered: ${records}, in ${pieces ?? 0} pieces and the save; ` +
                `work() ${result.works} calls, leaf() ${result.leaves} calls`);
    console.log(`from the last F12 to the complete dump: ${seconds} s`);
  } else if (result.stoppedAt !== null) {
    console.log('records delivered: none (the movie stopped before the last F12; the capture was ended)');
  } else {
    console.log(`records delivered: none (${result.problem})`);
  }
}

const folder = await mkdtemp(join(tmpdir(), 'vimbrel-bench-session-'));
try {
  const movie = await buildMovie({ folder, name: 'movie', frames: [FRAME], version: 8, frameRate: 30 });
  const untraced = await baseline(movie);
  console.log(`untraced: ${untraced.toFixed(1)} frames a second, ${CALLS} leaf() calls a frame`);
  report(`traced by vimbrel-capture, --flush-every ${FLUSH_EVERY}, ${MINUTES} minutes`,
         await session(folder, movie, FLUSH_EVERY), untraced);
} finally {
  await rm(folder, { recursive: true, force: true });
}
