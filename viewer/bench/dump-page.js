#!/usr/bin/env node
// The page with a big dump, in headless Chromium, in a window of 1400 by
// 900: the real application's dump of the tests, then dumps of 1,000,000,
// 10,000,000 and 34,000,000 records in the shape of real ones (34 million
// is a 10-minute session), each opened from a file on a fresh page, then a
// live session of 34,000,000 records handed over as a movie hands them:
// pieces of 50,000 while it collects, then its save. Prints the time to
// the chart drawn (from the file chosen; from the save), the time of a
// zoom step (from the whole trace down to one call), the page's
// JavaScript heap and the private memory of the renderer process that
// holds the page and its worker, at its peak until the zoom steps are
// done; then how long a search and a stretch selected on the ruler (its
// table and trees) take to answer, and a click on a row of the table, on
// a row of the call tree and on a call until every tab shows it; the
// share of the window the chart takes; and the renderer's memory after
// them.
//
// usage: node bench/dump-page.js [RECORDS ...] [--live RECORDS]   (from viewer/, or npm run bench:page)
//        node bench/dump-page.js --viewer DIR --as-save [RECORDS ...]
//
// --live 0 leaves the live session out. --as-save hands each dump to the
// page as one save of a movie, through a stand-in for Ruffle, which a page
// that cannot open files takes too; --viewer serves another copy of the
// viewer, to compare versions.

import { execFileSync } from 'node:child_process';
import { existsSync, readFileSync } from 'node:fs';
import { mkdtemp, rm, writeFile } from 'node:fs/promises';
import { gunzipSync } from 'node:zlib';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';
import { headlessOptions } from '../src/node/headless-chromium.js';
import { writeShapedDump } from './shaped-file.js';

const argv = process.argv.slice(2);
const option = (name) => {
  const at = argv.indexOf(name);
  return at < 0 ? null : argv.splice(at, name.startsWith('--as') ? 1 : 2).at(-1);
};
const viewer = option('--viewer');
const asSave = option('--as-save') !== null;
const LIVE = Number(option('--live') ?? 34000000);
const SIZES = argv.length ? argv.map(Number) : [1000000, 10000000, 34000000];
const PIECE = 50000;
// The window the page is measured in.
const WINDOW = { width: 1400, height: 900 };
const LIMIT_MS = 600000;

// The viewer's server: of this viewer, or of another version, whose
// server may be serve.js itself.
const viewerRoot = resolve(viewer ?? '.');
const serverModule = ['src/server/http-server.js', 'serve.js'].find((path) => existsSync(join(viewerRoot, path)));
const { serve } = await import(pathToFileURL(join(viewerRoot, serverModule)).href);

// A stand-in for Ruffle, in whichever window plays the movie (the movie's
// frame; the page itself, for a viewer of an earlier version): a player
// that loads nothing and hands over, as a movie's, a dump it fetched as
// its save (vimbrelFetch, vimbrelSaveFetched), or a live session of shaped records a piece
// at a time (vimbrelStartPieces, vimbrelHandNext, vimbrelHandSave). The
// window fetches what it needs as the movie's would.
const FAKE_RUFFLE = () => {
  let handler = null;
  let pieces = null;
  let upcoming = null;
  let fetched = null;
  window.vimbrelFetch = async (url) => { fetched = await (await fetch(url)).text(); };
  window.vimbrelSaveFetched = () => {
    const text = fetched;
    fetched = null;
    handler('save', text);
  };
  window.vimbrelStartPieces = async (records, size) => {
    const source = await (await fetch('/bench/dump-shape.js')).text();
    const shaped = (0, eval)(`(() => { ${source.replace(/^export /gm, '')}; return shapedPieces; })()`);
    pieces = shaped({ records }, size);
    upcoming = pieces.next();
  };
  // Hands over the next piece, unless it is the last: the save.
  window.vimbrelHandNext = () => {
    const piece = upcoming;
    upcoming = pieces.next();
    if (upcoming.done) {
      upcoming = piece;
      return false;
    }
    handler('records', piece.value);
    return true;
  };
  window.vimbrelHandSave = () => handler('save', upcoming.done ? '' : upcoming.value);
  const player = {
    newest: () => ({
      createPlayer: () => Object.assign(document.createElement('div'), {
        ruffle: () => ({ load: async () => {}, addFSCommandHandler: (f) => { handler = f; } }),
      }),
    }),
  };
  // Ruffle's own script, which the page loads, does not replace it.
  Object.defineProperty(window, 'RufflePlayer', { get: () => player, set: () => {} });
};

// The window that plays the movie: its frame, or the page itself.
const movieWindow = (page) => page.frames().find((frame) => frame.url().endsWith('/player.html')) ?? page.mainFrame();

// Resolves once the page has drawn a dump that was given to it, or said
// it could not.
async function drawn(page) {
  await page.waitForFunction(() => document.querySelector('article.dump[data-state="ready"], article.dump[data-state="failed"]'),
                             null, { timeout: LIMIT_MS, polling: 10 });
  await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => done())));
}

// The memory of the renderer that holds the page (the largest of those of
// the browsers we started): what it does not share, in MB. Linux only.
function rendererMegabytes() {
  const rows = execFileSync('ps', ['-e', '-o', 'pid=,ppid=,args='], { encoding: 'utf8' }).trim().split('\n')
    .map((row) => /^\s*(\d+)\s+(\d+)\s+(.*)$/.exec(row)).filter(Boolean)
    .map(([, pid, ppid, args]) => ({ pid: Number(pid), ppid: Number(ppid), args }));
  const family = new Set([process.pid]);
  for (let grew = true; grew;) {
    grew = false;
    for (const row of rows) {
      if (!family.has(row.pid) && family.has(row.ppid)) {
        family.add(row.pid);
        grew = true;
      }
    }
  }
  const privateKb = (pid) => {
    try {
      const rollup = readFileSync(`/proc/${pid}/smaps_rollup`, 'utf8');
      return [...rollup.matchAll(/^Private_(?:Clean|Dirty):\s+(\d+) kB/gm)].reduce((sum, [, kb]) => sum + Number(kb), 0);
    } catch {
      return NaN;
    }
  };
  return Math.max(...rows.filter((row) => family.has(row.pid) && row.args.includes('--type=renderer'))
    .map((row) => privateKb(row.pid))) / 1024;
}

// The renderer's memory, read every half second until stop(): its peak.
function watchRenderer() {
  let peak = 0;
  const timer = setInterval(() => { peak = Math.max(peak, rendererMegabytes()); }, 500);
  return { stop: () => { clearInterval(timer); return Math.max(peak, rendererMegabytes()); } };
}

// Hands the page a live session of `records` records, a piece at a time,
// each once the page has read the last; resolves to the time from the
// save to the chart drawn.
async function handOver(page, records) {
  const movie = movieWindow(page);
  await movie.evaluate(({ records, size }) => window.vimbrelStartPieces(records, size), { records, size: PIECE });
  for (let handed = 1; await movie.evaluate(() => window.vimbrelHandNext()); handed++) {
    await page.waitForFunction((count) => Number(document.querySelector('article.dump[data-state="collecting"]')
      ?.dataset.pieces) >= count, handed, { timeout: LIMIT_MS, polling: 5 });
  }
  const begun = Date.now();
  await movie.evaluate(() => window.vimbrelHandSave());
  await drawn(page);
  return Date.now() - begun;
}

// How long the page takes, as a person uses it, from the action to its
// answer on the page: a search; a stretch dragged on the ruler (its table
// and trees); then a row of the table, a row of the call tree and a call
// of the chart clicked, each until every tab shows the selection. Null on
// a page without them.
async function readingTimes(page) {
  const view = page.locator('article.dump').first();
  if (await view.locator('.tab-button').count() === 0) return null;
  const timed = async (act, done, argument = null) => {
    const begun = Date.now();
    await act();
    await page.waitForFunction(done, argument, { timeout: LIMIT_MS, polling: 'raf' });
    return Date.now() - begun;
  };
  const search = await timed(() => view.locator('.search').fill('update'),
                             () => /found/.test(document.querySelector('.search-count').textContent));
  await view.locator('.search').fill('');
  const canvas = view.locator('.chart canvas');
  await canvas.focus();
  await page.keyboard.press('0');
  const box = await canvas.boundingBox();
  await page.mouse.move(box.x + box.width * 0.4, box.y + 5);
  await page.mouse.down();
  await page.mouse.move(box.x + box.width * 0.5, box.y + 5);
  const range = await timed(() => page.mouse.up(),
                            () => /^Of (records|\d)/.test(document.querySelector('.analysis-scope').textContent));
  // Every tab shows the function: its row, its tree rows, its sandwich, its details.
  const everyTab = (name) => document.querySelector('.stats tr.selected')?.dataset.name === name &&
    document.querySelector('.call-details h4')?.textContent === name &&
    document.querySelector('.sandwich-heading').textContent.startsWith(`${name}:`);
  const row = view.locator('.stats tbody tr').nth(2);
  const rowName = await row.getAttribute('data-name');
  const table = await timed(() => row.click(), everyTab, rowName);
  await view.locator('.tab-button', { hasText: 'Call tree' }).click();
  const node = view.locator('.tab[data-tab="call-tree"] .tree-row:not(.tree-head)').nth(1);
  const nodeName = (await node.locator('.tree-name').textContent()).replace(/^[▸▾]/, '');
  const tree = await timed(() => node.click(), everyTab, nodeName);
  await page.keyboard.press('Escape');
  await page.keyboard.press('Escape');
  // A point of the second row where a call is drawn, as the pointer finds it.
  const y = box.y + 18 + 18 * 1.5;
  let x = box.x + box.width * 0.45;
  for (let tried = 1; tried < 40; tried++) {
    await page.mouse.move(x, y);
    if (Number(await canvas.getAttribute('data-hovered')) >= 0) break;
    x = box.x + box.width * ((0.45 + tried * 0.0237) % 1);
  }
  const call = await timed(() => page.mouse.click(x, y), () => {
    const name = document.querySelector('.call-details').dataset.call !== undefined &&
      document.querySelector('.call-details h4').textContent;
    return name && document.querySelector('.stats tr.selected')?.dataset.name === name &&
      document.querySelector('.sandwich-heading').textContent.startsWith(`${name}:`);
  });
  return { search, range, table, tree, call };
}

// The window as the page fills it: whether it scrolls, and the share of
// its height that the chart (with its tracks) and the flame chart take.
function layout(page) {
  return page.evaluate(() => {
    const share = (selector) => document.querySelector(selector)?.getBoundingClientRect().height / innerHeight;
    return { scrolls: document.documentElement.scrollHeight > innerHeight, chart: share('.chart-area'),
             flame: share('.chart canvas') };
  });
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

async function measure(size, file, server, live = false) {
  const browser = await chromium.launch(headlessOptions({ args: [...headlessOptions().args, '--enable-precise-memory-info'] }));
  try {
    const page = await browser.newPage({ viewport: WINDOW });
    if (asSave || live) await page.addInitScript(FAKE_RUFFLE);
    const problems = [];
    page.on('pageerror', (error) => problems.push(error.message));
    page.on('crash', () => problems.push('the page crashed'));
    await page.goto(`http://127.0.0.1:${server.address().port}/index.html${asSave || live ? '?movie=/bench/movie.swf' : ''}`);
    const started = Date.now();
    const renderer = watchRenderer();
    let chartMs;
    if (live) {
      await page.waitForFunction(() => document.body.dataset.movie === 'loaded');
      chartMs = await handOver(page, size);
    } else if (asSave) {
      await page.waitForFunction(() => document.body.dataset.movie === 'loaded');
      await movieWindow(page).evaluate((url) => window.vimbrelFetch(url), '/bench/dump.txt');
      const begun = Date.now();
      await movieWindow(page).evaluate(() => window.vimbrelSaveFetched());
      await drawn(page);
      chartMs = Date.now() - begun;
    } else {
      await page.setInputFiles('#file', file);
      await page.waitForSelector('article.dump[data-state="ready"], article.dump[data-state="failed"]', { timeout: LIMIT_MS });
      chartMs = Number(await page.getAttribute('article.dump', 'data-drawn-ms'));
    }
    const wallMs = Date.now() - started;
    // Zoom in on the middle of the chart, a step at a time, down to a call.
    const steps = await page.evaluate(() => {
      const canvas = document.querySelector('.chart canvas, .chart svg');
      if (!canvas || canvas.tagName !== 'CANVAS') return [];
      canvas.scrollIntoView();
      const box = canvas.getBoundingClientRect();
      const times = [];
      for (let i = 0; i < 200; i++) {
        const before = canvas.dataset.view;
        const begun = performance.now();
        canvas.dispatchEvent(new WheelEvent('wheel', { deltaY: -100, ctrlKey: true, clientX: box.left + box.width / 2,
                                                       clientY: box.top + 30, bubbles: true, cancelable: true }));
        times.push(performance.now() - begun);
        if (canvas.dataset.view === before) break;
      }
      return times;
    });
    const heap = await page.evaluate(() => performance.memory.usedJSHeapSize / 2 ** 20);
    const peak = renderer.stop();
    const summary = await page.textContent('article.dump .dump-summary');
    const shape = await layout(page);
    const reading = await readingTimes(page);
    if (process.env.STEPS) console.log(steps.map((t, i) => `${i}:${t.toFixed(0)}`).filter((x) => Number(x.split(":")[1]) > 10).join(" "));
    return { size, chartMs, wallMs, steps, heap, peak, renderer: rendererMegabytes(), problems, summary, reading, shape };
  } finally {
    await browser.close();
  }
}

const folder = await mkdtemp(join(tmpdir(), 'vimbrel-bench-page-'));
const file = join(folder, 'dump.txt');
// The dump, and the shapes of the live session, also for a viewer of another version.
const server = await serve(0, '127.0.0.1', { files: {
  '/bench/dump.txt': file, '/bench/dump-shape.js': fileURLToPath(new URL('./dump-shape.js', import.meta.url)),
  '/bench/movie.swf': fileURLToPath(new URL('../test/fixtures/demo-traced.swf', import.meta.url)),
} });

// A dump of `records` records written to `file`.
const writeDump = (records) => writeShapedDump(file, { records });

function row(label, result) {
  const { chartMs, steps, heap, peak, renderer, problems, summary, reading, shape } = result;
  const zoom = steps.length ? `${median(steps).toFixed(1)} / ${Math.max(...steps).toFixed(1)}` : '-';
  console.log(`${label.padEnd(18)} | ${chartMs.toFixed(0).padStart(13)} | ${String(steps.length).padStart(10)} | ` +
              `${zoom.padStart(27)} | ${heap.toFixed(0).padStart(17)} | ${`${peak.toFixed(0)} / ${renderer.toFixed(0)}`.padStart(23)}` +
              `  ${summary.split(';')[0]}` + (problems.length ? `  (${problems.join('; ')})` : ''));
  if (reading) {
    console.log(`${''.padEnd(18)} | search ${reading.search} ms, a stretch selected with its table and trees ` +
                `${reading.range} ms; every tab updated after a click on a row of the table ${reading.table} ms, ` +
                `on a row of the call tree ${reading.tree} ms, on a call ${reading.call} ms`);
  }
  if (shape?.chart) {
    console.log(`${''.padEnd(18)} | at ${WINDOW.width}x${WINDOW.height}: the chart ${(shape.chart * 100).toFixed(0)}% ` +
                `of the window's height, the flame chart ${(shape.flame * 100).toFixed(0)}%; ` +
                `the page ${shape.scrolls ? 'scrolls' : 'does not scroll'}`);
  }
}

try {
  console.log(`${viewer ? `viewer at ${viewer}, ` : ''}${asSave ? 'each dump handed over as a movie\'s save' : 'each dump opened from a file'}`);
  console.log('records            | to chart (ms) | zoom steps | zoom step median / max (ms) | page JS heap (MB) | renderer peak / after reading (MB)');
  // The real application's dump first, as the page's tests open it.
  const real = join(folder, 'real.txt');
  await writeFile(real, gunzipSync(readFileSync(fileURLToPath(new URL('../test/fixtures/vpmedia-json-applet.txt.gz',
                                                                      import.meta.url)))));
  row('real (94368)', await measure(94368, real, server));
  for (const size of SIZES) {
    await writeDump(size);
    try {
      row(String(size), await measure(size, file, server));
    } catch (error) {
      console.log(`${String(size).padEnd(18)} | ${String(error.message).split('\n')[0]}`);
    }
  }
  if (LIVE && !asSave) {
    try {
      row(`${LIVE} live`, await measure(LIVE, null, server, true));
    } catch (error) {
      console.log(`${`${LIVE} live`.padEnd(18)} | ${String(error.message).split('\n')[0]}`);
    }
  }
} finally {
  server.close();
  await rm(folder, { recursive: true, force: true });
}
