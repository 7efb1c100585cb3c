// Plays the traced demo movie in the viewer in Debian's Chromium, records
// with F12 and checks what the page shows.

import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { mkdtemp, mkdir, readFile, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { createServer } from 'node:http';
import { serve } from '../../../src/server/http-server.js';
import { headlessOptions } from '../../../src/node/headless-chromium.js';
import { MovieFolder } from '../../../src/server/movie-folder.js';
import { contentType } from '../../../src/server/content-type.js';
import { buildGame, callsInOrder, recordsInOrder } from '../../support/game.js';
import { buildMovie } from '../../support/build-movie.js';
import { minimalSwf } from '../../support/minimal-swf.js';
import { NO_FLASM } from '../../support/flasm.js';
import { moviePlayer } from '../../support/player.js';
import { parseDump } from '../../support/records.js';
import { spawnSync } from 'node:child_process';

const VIEWER = fileURLToPath(new URL('../../../', import.meta.url));
const CAPTURE = fileURLToPath(new URL('../../../bin/vimbrel-capture', import.meta.url));

const OUTPUT = fileURLToPath(new URL('../../output/', import.meta.url));
const EXPECTED = ['_root.onEnterFrame', 'foo', 'bar', 'obj.m', 'Cls', 'Cls.m', 'Cls.getV', 'baz', 'anon0'];
let server;
let context;
let profile;
// The viewer as plain files, as any web server serves them: no tracing.
let staticServer;
const staticRequests = [];

before(async () => {
  profile = await mkdtemp(join(tmpdir(), 'vimbrel-viewer-'));
  await writeFile(join(profile, 'old.swf'), minimalSwf({ version: 5 }));
  server = await serve(0, '127.0.0.1', { files: { '/generated/old.swf': join(profile, 'old.swf') } });
  staticServer = createServer(async (request, response) => {
    const path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    staticRequests.push(`${request.method} ${path}`);
    try {
      const body = await readFile(join(VIEWER, path));
      response.writeHead(200, { 'Content-Type': contentType(path) }).end(body);
    } catch {
      response.writeHead(404).end();
    }
  });
  await new Promise((done) => staticServer.listen(0, '127.0.0.1', done));
  await mkdir(OUTPUT, { recursive: true });
  context = await chromium.launchPersistentContext(profile, headlessOptions({
    acceptDownloads: true,
    viewport: { width: 1200, height: 1400 },
  }));
});

after(async () => {
  await context?.close();
  server?.close();
  staticServer?.close();
  if (profile) await rm(profile, { recursive: true, force: true });
});

// The text of what the button `selector` of `dump`'s Export menu downloads.
async function downloaded(page, dump, selector) {
  const menu = dump.locator('.exports');
  if (!(await menu.evaluate((element) => element.open))) await menu.locator('summary').click();
  const [download] = await Promise.all([page.waitForEvent('download'), dump.locator(selector).click()]);
  return readFile(await download.path(), 'utf8');
}

// The records of `dump`, as its Records tab shows them.
async function shownRecords(dump) {
  await dump.locator('.tab-button', { hasText: 'Records' }).click();
  await dump.locator('.records li').first().waitFor();
  return dump.locator('.records li').allTextContents();
}

// What the page says the tracer does, and what to do.
const collecting = (page) => page.textContent('#collecting');
// The button's F12 goes to the movie's frame and its release comes back
// from it: the line says so once it has.
// F12 pressed and let go, over what has the keyboard.
async function pressF12(page) {
  await page.keyboard.down('F12');
  await page.keyboard.up('F12');
}

const collectingSays = (page, text) => page.waitForFunction(
  (said) => document.querySelector('#collecting').textContent === said, text, { timeout: 5000 });

// Gives the movie the keyboard, releases F12, lets it play a second,
// releases F12 again: the first dump's view, once it is shown. The page
// says whether the tracer collects all along.
async function recordOnce(page) {
  const player = moviePlayer(page);
  await player.click();
  await player.focus();
  assert.equal(await collecting(page), 'Not collecting. F12 starts.');
  await pressF12(page);
  assert.equal(await collecting(page), 'Collecting. F12 stops and sends the records.');
  await page.waitForTimeout(1000);
  await pressF12(page);
  assert.equal(await collecting(page), 'Not collecting. F12 starts.');
  const dump = page.locator('article.dump[data-dump="1"][data-state="ready"]');
  await dump.waitFor({ timeout: 15000 });
  return dump;
}

test('records the demo movie with F12 and shows its calls, from plain files', async () => {
  const page = await context.newPage();
  const problems = [];
  page.on('pageerror', (error) => problems.push(error.message));
  // A movie that comes traced needs no server of ours.
  const base = `http://127.0.0.1:${staticServer.address().port}`;
  await page.goto(`${base}/index.html?movie=test/fixtures/demo-traced.swf`);
  await page.waitForSelector('body[data-movie="loaded"]', { timeout: 30000 });
  assert.match(await page.textContent('#status'), /^test\/fixtures\/demo-traced\.swf is playing\. Click it/);
  // Its tracer waits for F12; the movie plays in its pane, and no dump is open yet.
  assert.equal(await collecting(page), 'Not collecting. F12 starts.');
  assert.equal(await page.locator('#movie-pane').isVisible(), true);
  assert.equal(await page.locator('.welcome-movie').isVisible(), true);
  await page.waitForTimeout(500);

  const dump = await recordOnce(page);
  const functions = await dump.locator('.stats tbody td:first-child').allTextContents();
  for (const name of EXPECTED) assert.ok(functions.includes(name), `${name} in ${functions}`);
  assert.equal(await dump.getAttribute('data-balanced'), 'true');
  const boxes = Number(await dump.locator('.chart canvas').getAttribute('data-boxes'));
  assert.ok(boxes >= EXPECTED.length, `${boxes} calls drawn`);

  // Every enter in the raw records has its exit.
  const raw = (await downloaded(page, dump, '.download-text')).split(',');
  const enters = raw.filter((r) => / Enter \d+$/.test(r)).length;
  const exits = raw.filter((r) => / Exit \d+$/.test(r)).length;
  assert.ok(enters > 0);
  assert.equal(enters, exits);
  await shownRecords(dump);
  assert.match(await dump.locator('.pager-place').textContent(), new RegExp(`^records 1 to 100 of ${raw.length}$`));

  const trace = JSON.parse(await downloaded(page, dump, '.download-chrome'));
  assert.ok(Array.isArray(trace.traceEvents));
  assert.equal(trace.traceEvents.length, raw.length);
  assert.ok(trace.traceEvents.every((e) => (e.ph === 'B' || e.ph === 'E') && Number.isFinite(e.ts)));
  // Served as plain files, there is no speedscope beside the page.
  assert.equal(await dump.locator('.open-speedscope').isHidden(), true);

  await page.screenshot({ path: join(OUTPUT, 'viewer-after-dump.png'), fullPage: true });

  // A second recording, with the page's button this time: the tracer sends
  // its whole history again, and the page shows only what is new, in a
  // dump of its own, a tab beside the first.
  await page.click('#toggle');
  await collectingSays(page, 'Collecting. F12 stops and sends the records. (F12 sent to the movie.)');
  await page.waitForTimeout(500);
  await page.click('#toggle');
  const second = page.locator('article.dump[data-dump="2"][data-state="ready"]');
  await second.waitFor({ timeout: 15000 });
  const summary = await second.locator('.dump-summary').textContent();
  assert.match(summary, new RegExp(`the ${raw.length} records before them repeat dump 1`));
  assert.equal(await dump.isVisible(), false);
  assert.deepEqual(await page.locator('.dump-tab-title').allTextContents(), ['Dump 1', 'Dump 2']);
  // The records pager numbers the new records after the repeated ones.
  assert.ok((await shownRecords(second)).length > 0);
  assert.equal(await second.locator('.records').getAttribute('start'), String(raw.length + 1));
  // The first is a click away, as it was.
  await page.locator('.dump-tab-title', { hasText: 'Dump 1' }).click();
  assert.equal(await dump.isVisible(), true);
  assert.equal(await second.isVisible(), false);
  assert.equal(await second.getAttribute('data-balanced'), 'true');
  assert.deepEqual(problems, []);
  // Only reads: nothing is sent to be traced.
  assert.deepEqual(staticRequests.filter((request) => !/^(GET|HEAD) /.test(request)), []);
});

test('plays a movie of a folder by its path; what it loads is traced on request too',
     { skip: NO_FLASM }, async () => {
  const movies = join(profile, 'game');
  await mkdir(movies);
  await buildGame(movies);
  const traced = [];
  const folderServer = await serve(0, '127.0.0.1', {
    movies: new MovieFolder({ root: movies, work: join(profile, 'work'),
                              traceOptions: { clock: 'date', collectFromStart: true },
                              onEvent: (event) => traced.push(`${event.kind} ${event.path}`) }),
  });
  try {
    const page = await context.newPage();
    const problems = [];
    page.on('pageerror', (error) => problems.push(error.message));
    await page.goto(`http://127.0.0.1:${folderServer.address().port}/index.html?movie=/movies/main.swf`);
    await page.waitForSelector('body[data-movie="loaded"]', { timeout: 30000 });
    assert.equal(await page.getAttribute('body', 'data-traced'), 'now');
    assert.match(await page.textContent('#status'),
                 /^\/movies\/main\.swf is playing, traced by the server\. Its tracer collects from its start/);
    assert.equal(await collecting(page), 'Collecting. F12 stops and sends the records.');
    const player = moviePlayer(page);
    await player.click();
    await player.focus();
    await page.waitForTimeout(1000);
    // Collecting from the start, one release stops and sends.
    await pressF12(page);
    assert.equal(await collecting(page), 'Not collecting. F12 starts.');
    const dump = page.locator('article.dump[data-dump="1"][data-state="ready"]');
    await dump.waitFor({ timeout: 15000 });
    const raw = await shownRecords(dump);
    assert.match(raw[0], /^start Enter \d+$/);
    assert.ok(raw.some((record) => /^level Enter \d+$/.test(record)), raw.join(','));
    assert.deepEqual(traced, ['traced main.swf', 'traced level.swf']);
    await page.screenshot({ path: join(OUTPUT, 'viewer-folder-of-movies.png'), fullPage: true });
    assert.deepEqual(problems, []);
  } finally {
    folderServer.close();
  }
});

test('records handed over in pieces while the tracer collects join its save in one dump',
     { skip: NO_FLASM }, async () => {
  const movie = await buildMovie({ folder: profile, name: 'pieces', frames: [callsInOrder(16)], clock: 'date',
                                   options: ['--collect-from-start', '--flush-every=10'] });
  const pieces = await serve(0, '127.0.0.1', { files: { '/pieces.swf': movie } });
  try {
    const page = await context.newPage();
    const problems = [];
    page.on('pageerror', (error) => problems.push(error.message));
    await page.goto(`http://127.0.0.1:${pieces.address().port}/index.html?movie=/pieces.swf`);
    // Three pieces of ten records come while the first frame runs.
    const collecting = page.locator('article.dump[data-dump="1"][data-state="collecting"][data-pieces="3"]');
    await collecting.waitFor({ timeout: 30000 });
    assert.match(await collecting.locator('.dump-summary').textContent(), /^Collecting: 30 records handed over so far, in 3 piece\(s\)/);
    assert.equal(await page.textContent('#collecting'), 'Collecting: 30 records handed over so far. F12 stops and sends the records.');
    const player = moviePlayer(page);
    await player.click();
    await player.focus();
    await pressF12(page);
    const dump = page.locator('article.dump[data-dump="1"][data-state="ready"]');
    await dump.waitFor({ timeout: 15000 });
    assert.match(await dump.locator('.dump-summary').textContent(), /^32 new records from \d+ ms to \d+ ms\.$/);
    const records = await shownRecords(dump);
    assert.deepEqual(records.map((record) => record.replace(/ \d+$/, '')), recordsInOrder(16));
    assert.equal(await page.locator('article.dump').count(), 1);
    assert.deepEqual(problems, []);
  } finally {
    pieces.close();
  }
});

test('each movie its own dump: another loaded while the first collects keeps what the first handed over',
     { skip: NO_FLASM }, async () => {
  const movies = {};
  for (const [name, count] of [['a', 16], ['b', 12]]) {
    movies[`/${name}.swf`] = await buildMovie({ folder: profile, name, frames: [callsInOrder(count, name)], clock: 'date',
                                                 options: ['--collect-from-start', '--flush-every=10'] });
  }
  const two = await serve(0, '127.0.0.1', { files: movies });
  try {
    const page = await context.newPage();
    const problems = [];
    page.on('pageerror', (error) => problems.push(error.message));
    await page.goto(`http://127.0.0.1:${two.address().port}/index.html?movie=/a.swf`);
    await page.locator('article.dump[data-dump="1"][data-state="collecting"][data-pieces="3"]').waitFor({ timeout: 30000 });
    // The second movie, while the first still holds two records.
    await page.setInputFiles('#file', movies['/b.swf']);
    await page.locator('article.dump[data-dump="2"][data-state="collecting"][data-pieces="2"]').waitFor({ state: 'attached', timeout: 30000 });
    const player = moviePlayer(page);
    await player.click();
    await player.focus();
    await pressF12(page);
    const records = async (number) => {
      const dump = page.locator(`article.dump[data-dump="${number}"][data-state="ready"]`);
      await dump.waitFor({ state: 'attached', timeout: 15000 });
      await page.locator('.dump-tab-title', { hasText: `Dump ${number}` }).click();
      return { summary: await dump.locator('.dump-summary').textContent(),
               records: (await shownRecords(dump)).map((record) => record.replace(/ \d+$/, '')) };
    };
    const first = await records(1);
    assert.match(first.summary, /^30 new records from \d+ ms to \d+ ms\. Incomplete: another movie was loaded/);
    assert.deepEqual(first.records, recordsInOrder(16, 'a').slice(0, 30));
    const second = await records(2);
    assert.match(second.summary, /^24 new records from \d+ ms to \d+ ms\.$/);
    assert.deepEqual(second.records, recordsInOrder(12, 'b'));
    assert.equal(await page.locator('article.dump').count(), 2);
    assert.deepEqual(problems, []);
  } finally {
    two.close();
  }
});

test('traces an untraced movie that is opened, then records it', { skip: NO_FLASM }, async () => {
  const page = await context.newPage();
  const problems = [];
  page.on('pageerror', (error) => problems.push(error.message));
  await page.goto(`http://127.0.0.1:${server.address().port}/index.html`);
  await page.setInputFiles('#file', fileURLToPath(new URL('../../fixtures/demo.swf', import.meta.url)));
  await page.waitForSelector('body[data-movie="loaded"]', { timeout: 30000 });
  assert.equal(await page.getAttribute('body', 'data-traced'), 'now');
  assert.match(await page.textContent('#status'), /^demo\.swf is playing, traced by the server\./);
  await page.waitForTimeout(500);

  const dump = await recordOnce(page);
  const functions = await dump.locator('.stats tbody td:first-child').allTextContents();
  for (const name of EXPECTED) assert.ok(functions.includes(name), `${name} in ${functions}`);
  assert.ok(Number(await dump.locator('.chart canvas').getAttribute('data-boxes')) >= EXPECTED.length);
  await page.screenshot({ path: join(OUTPUT, 'viewer-untraced-demo.png'), fullPage: true });
  assert.deepEqual(problems, []);
});

test('says which step failed when a movie cannot be traced', async () => {
  const page = await context.newPage();
  await page.goto(`http://127.0.0.1:${server.address().port}/index.html?movie=/generated/old.swf`);
  await page.waitForSelector('body[data-movie="failed"]', { timeout: 30000 });
  assert.equal(await page.textContent('#problem .problem-title'),
               'Could not trace /generated/old.swf: reading the movie failed');
  assert.match(await page.textContent('#problem .problem-message'),
               /is a Flash 5 movie: the tracer needs Flash 6 or later/);
  assert.equal(await page.locator('#problem').isVisible(), true);
  assert.equal(await page.locator('iframe.movie-frame').count(), 0);
});

// The button handlers' records of a dump, read as the viewer reads it.
const handlerRecords = (dump) => parseDump(dump).records.filter((record) => /^button \d+ on /.test(record.name))
  .map((record) => `${record.name} ${record.kind}`);

test('what a person plays on the page is saved as input, and the capture plays it again to the same handlers',
     { skip: NO_FLASM }, async () => {
  const movies = join(profile, 'button');
  await mkdir(movies);
  await writeFile(join(movies, 'button_goto.swf'), await readFile(fileURLToPath(new URL('../../fixtures/events/button_goto.swf', import.meta.url))));
  const folderServer = await serve(0, '127.0.0.1', {
    movies: new MovieFolder({ root: movies, work: join(profile, 'button-work'),
                              traceOptions: { clock: 'date', collectFromStart: true, events: true, frames: true,
                                              traceOutput: true } }),
  });
  try {
    const page = await context.newPage();
    const problems = [];
    page.on('pageerror', (error) => problems.push(error.message));
    const printed = [];
    page.on('console', (message) => {
      const line = /^\[movie\] (.*)$/.exec(message.text());
      if (line) printed.push(line[1]);
    });
    await page.goto(`http://127.0.0.1:${folderServer.address().port}/index.html?movie=/movies/button_goto.swf`);
    await page.waitForSelector('body[data-movie="loaded"]', { timeout: 30000 });
    await page.waitForTimeout(500);
    // Over the button, press, out and back, release, out: as a person would.
    const box = await page.locator('iframe.movie-frame').boundingBox();
    let over = null;
    for (let y = box.y + 5; y < box.y + box.height && !over; y += 12) {
      for (let x = box.x + 5; x < box.x + box.width && !over; x += 12) {
        await page.mouse.move(x, y);
        await page.waitForTimeout(20);
        if (printed.includes('rollOver')) over = [x, y];
      }
    }
    assert.ok(over, 'the button was found');
    for (const step of [() => page.mouse.down(), () => page.mouse.move(box.x + 2, box.y + 2), () => page.mouse.move(...over),
                        () => page.mouse.up(), () => page.mouse.move(box.x + 2, box.y + 2)]) {
      await step();
      await page.waitForTimeout(150);
    }
    assert.deepEqual(printed, ['rollOver', 'dragOut', 'dragOver', 'rollOut']);
    await page.click('#toggle');
    const dump = page.locator('article.dump[data-dump="1"][data-state="ready"]');
    await dump.waitFor({ timeout: 15000 });
    const played = handlerRecords(await downloaded(page, dump, '.download-text'));
    // What it printed, each line with the handler that printed it; a line selects that call.
    await dump.locator('.tab-button', { hasText: 'Output' }).click();
    const lines = dump.locator('ol.output li');
    assert.deepEqual(await lines.locator('.output-text').allTextContents(), ['rollOver', 'dragOut', 'dragOver', 'rollOut']);
    assert.equal(await lines.nth(0).locator('.output-call').textContent(), 'button 3 on idleToOverUp');
    await lines.nth(3).click();
    assert.equal(await dump.locator('.call-details h4').textContent(), 'button 3 on overUpToIdle');
    const input = join(profile, 'played.json');
    await writeFile(input, await downloaded(page, dump, '.download-input'));
    assert.ok(JSON.parse(await readFile(input, 'utf8')).some((event) => event.type === 'MouseDown'));

    // Played again by the capture, from the movie's start.
    const out = join(profile, 'replayed');
    const replay = spawnSync(process.execPath, [CAPTURE, join(movies, 'button_goto.swf'), '--input', input, '--out', out],
                             { encoding: 'utf8' });
    assert.equal(replay.status, 0, replay.stderr);
    assert.deepEqual(handlerRecords(await readFile(join(out, 'dump.txt'), 'utf8')), played);
    assert.equal(await readFile(join(out, 'output.txt'), 'utf8'), 'rollOver\ndragOut\ndragOver\nrollOut\n');
    assert.deepEqual(problems, []);
  } finally {
    folderServer.close();
  }
});
