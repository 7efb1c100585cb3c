// The tracer as vimbrel writes it, played in Ruffle in Debian's Chromium:
// created once, however often the frame that holds it runs, and shared by
// every traced movie loaded into the player. Needs flasm (FLASM).

import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { mkdtemp, rm } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';
import { serve } from '../../../src/server/http-server.js';
import { headlessOptions } from '../../../src/node/headless-chromium.js';
import { buildMovie } from '../../support/build-movie.js';
import { callOnce } from '../../support/game.js';
import { offerToPage } from '../../support/external-interface.js';
import { NO_FLASM } from '../../support/flasm.js';
import { moviePlayer, playerFrame } from '../../support/player.js';

// Frame 0 defines step() and a callback that tells the page _global.collected;
// frame 1 counts in _global.collected the calls of step() made while the
// tracer collects, then calls it. No stop: the timeline loops, and frame 0,
// which holds the tracer, runs again and again.
const LOOP = [`
    constants 'step', '_global', 'collected', 'flash', 'external', 'ExternalInterface'  
    function step ()
    end // of function step

    push '_global'
    getVariable
    push 'collected'
    getMember
    branchIfTrue counted
    push '_global'
    getVariable
    push 'collected', 0
    setMember
   counted:
    function  ()
      push '_global'
      getVariable
      push 'collected'
      getMember
      return
    end // of function${offerToPage('collected')}
`, `
    push '_global'
    getVariable
    push '_tracer_'
    getMember
    push 'collect'
    getMember
    not
    branchIfTrue not_collecting
    push '_global'
    getVariable
    push 'collected', '_global'
    getVariable
    push 'collected'
    getMember
    increment
    setMember
   not_collecting:
    push 0.0, 'step'
    callFunction
    pop
`];

// An untraced movie that loads the looping one into levels 1 and 2.
const HOST = [`
    push '/capture/loop.swf', '_level1'
    loadMovieNum
    push '/capture/loop.swf', '_level2'
    loadMovieNum
    stop
`];

// Calls setup() once, in its first frame, and stops.
const START = [callOnce('setup')];

let folder;
let movies;
let server;
let browser;

before(async () => {
  if (NO_FLASM) return;
  folder = await mkdtemp(join(tmpdir(), 'vimbrel-tracer-'));
  movies = {
    '/capture/loop.swf': await buildMovie({ folder, name: 'loop', frames: LOOP, clock: 'getTimer' }),
    '/capture/host.swf': await buildMovie({ folder, name: 'host', frames: HOST }),
    '/capture/start.swf': await buildMovie({ folder, name: 'start', frames: START, clock: 'date',
                                             options: ['--collect-from-start'] }),
  };
  server = await serve(0, '127.0.0.1', { files: movies });
  browser = await chromium.launch(headlessOptions());
});

after(async () => {
  await browser?.close();
  server?.close();
  if (folder) await rm(folder, { recursive: true, force: true });
});

// Plays `movie`, releases F12 `releases` times a second apart, waits for
// saves.
async function record(movie, releases = 2) {
  const page = await browser.newPage();
  try {
    await page.goto(`http://127.0.0.1:${server.address().port}/capture.html?movie=${movie}`);
    await page.waitForFunction(() => window.vimbrelCapture.state !== 'loading', null, { timeout: 30000 });
    const player = moviePlayer(page);
    await player.click();
    await player.focus();
    await page.waitForTimeout(1000);
    for (let i = 0; i < releases; i++) {
      await page.keyboard.down('F12');
      await page.keyboard.up('F12');
      await page.waitForTimeout(1000);
    }
    await page.waitForTimeout(1000);
    const saves = await page.evaluate(() => window.vimbrelCapture.dumps);
    const collected = await (await playerFrame(page)).evaluate(() => document.querySelector('ruffle-player').collected?.());
    return { saves, collected };
  } finally {
    await page.close();
  }
}

function count(dump, record) {
  return dump.split(',').filter((text) => new RegExp(`^${record} \\d+$`).test(text)).length;
}

// One save, holding an enter and an exit of step() for each of the
// `collected` calls, of which there are more than `least`.
function assertOneSaveOfEveryCall({ saves, collected }, least) {
  assert.equal(saves.length, 1, `${saves.length} saves`);
  assert.ok(collected > least, `${collected} calls while collecting`);
  assert.equal(count(saves[0], 'step Enter'), collected);
  assert.equal(count(saves[0], 'step Exit'), collected);
}

test('a looping movie keeps one tracer: one save, with every call made while collecting',
     { skip: NO_FLASM }, async () => {
  assertOneSaveOfEveryCall(await record('/capture/loop.swf'), 5);
});

test('two traced movies in one player share the tracer: one save with the calls of both',
     { skip: NO_FLASM }, async () => {
  // Each level calls step() every other frame: both together call it about
  // once a frame.
  assertOneSaveOfEveryCall(await record('/capture/host.swf'), 20);
});

test('a tracer made to collect from the start holds the first frame\'s call at the first release',
     { skip: NO_FLASM }, async () => {
  const { saves } = await record('/capture/start.swf', 1);
  assert.equal(saves.length, 1, `${saves.length} saves`);
  assert.match(saves[0], /^setup Enter \d+,setup Exit \d+$/);
});
