#!/usr/bin/env node
// The page with a big dump, in headless Chromium: dumps of 100,000,
// 1,000,000 and 3,000,000 records in the shape of real ones, each opened
// from a file on a fresh page. Prints the time from the file chosen to
// the chart drawn, the time of a zoom step (from the whole trace down to
// one call), the page's JavaScript heap and the private memory of the
// renderer process that holds the page and its worker.
//
// usage: node bench/dump-page.js [RECORDS ...]   (from viewer/, or npm run bench:page)
//        node bench/dump-page.js --viewer DIR --as-save [RECORDS ...]
//
// --as-save hands the dump to the page as a movie's save, through a
// stand-in for Ruffle, which a page that cannot open files takes too;
// --viewer serves another copy of the viewer, to compare versions.

import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { mkdtemp, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';
import { headlessOptions } from '../src/headless-chromium.js';
import { shapedDump } from './dump-shape.js';

const argv = process.argv.slice(2);
const option = (name) => {
  const at = argv.indexOf(name);
  return at < 0 ? null : argv.splice(at, name.startsWith('--as') ? 1 : 2).at(-1);
};
const viewer = option('--viewer');
const asSave = option('--as-save') !== null;
const SIZES = argv.length ? argv.map(Number) : [100000, 1000000, 3000000];
const LIMIT_MS = 180000;

const { serve } = await import(pathToFileURL(join(resolve(viewer ?? '.'), 'serve.js')).href);

// A stand-in for Ruffle: a player that loads nothing and hands the page
// what window.vimbrelSave(text) gives it, as a movie's "save".
const FAKE_RUFFLE = () => {
  let handler = null;
  window.vimbrelSave = (text) => handler('save', text);
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

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

async function measure(size, file, server) {
  const browser = await chromium.launch(headlessOptions({ args: [...headlessOptions().args, '--enable-precise-memory-info'] }));
  try {
    const page = await browser.newPage({ viewport: { width: 1200, height: 1000 } });
    if (asSave) await page.addInitScript(FAKE_RUFFLE);
    const problems = [];
    page.on('pageerror', (error) => problems.push(error.message));
    page.on('crash', () => problems.push('the page crashed'));
    await page.goto(`http://127.0.0.1:${server.address().port}/index.html${asSave ? '?movie=test/fixtures/demo-traced.swf' : ''}`);
    const started = Date.now();
    let chartMs;
    if (asSave) {
      await page.waitForFunction(() => document.body.dataset.movie === 'loaded');
      await page.evaluate(async (url) => { window.vimbrelDump = await (await fetch(url)).text(); }, '/bench/dump.txt');
      chartMs = await page.evaluate(() => new Promise((done) => {
        const begun = performance.now();
        window.vimbrelSave(window.vimbrelDump);
        window.vimbrelDump = null;
        // Drawn: the new page says when; the old one drew as it returned.
        const check = () => {
          const view = document.querySelector('article.dump');
          if (view && (view.dataset.state === undefined || view.dataset.state === 'ready')) {
            requestAnimationFrame(() => done(performance.now() - begun));
          } else {
            setTimeout(check, 10);
          }
        };
        check();
      }));
    } else {
      await page.setInputFiles('#file', file);
      await page.waitForSelector('article.dump[data-state="ready"]', { timeout: LIMIT_MS });
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
        canvas.dispatchEvent(new WheelEvent('wheel', { deltaY: -100, clientX: box.left + box.width / 2,
                                                       clientY: box.top + 30, bubbles: true, cancelable: true }));
        times.push(performance.now() - begun);
        if (canvas.dataset.view === before) break;
      }
      return times;
    });
    const heap = await page.evaluate(() => performance.memory.usedJSHeapSize / 2 ** 20);
    return { size, chartMs, wallMs, steps, heap, renderer: rendererMegabytes(), problems };
  } finally {
    await browser.close();
  }
}

const folder = await mkdtemp(join(tmpdir(), 'vimbrel-bench-page-'));
const file = join(folder, 'dump.txt');
const server = await serve(0, '127.0.0.1', { files: { '/bench/dump.txt': file } });
try {
  console.log(`${viewer ? `viewer at ${viewer}, ` : ''}${asSave ? 'the dump handed over as a movie\'s save' : 'the dump opened from a file'}`);
  console.log('records    | to chart (ms) | zoom steps | zoom step median / max (ms) | page JS heap (MB) | renderer (MB)');
  for (const size of SIZES) {
    await writeFile(file, shapedDump({ records: size }));
    let result;
    try {
      result = await measure(size, file, server);
    } catch (error) {
      console.log(`${String(size).padEnd(10)} | ${String(error.message).split('\n')[0]}`);
      continue;
    }
    const { chartMs, steps, heap, renderer, problems } = result;
    const zoom = steps.length ? `${median(steps).toFixed(1)} / ${Math.max(...steps).toFixed(1)}` : '-';
    console.log(`${String(size).padEnd(10)} | ${chartMs.toFixed(0).padStart(13)} | ${String(steps.length).padStart(10)} | ` +
                `${zoom.padStart(27)} | ${heap.toFixed(0).padStart(17)} | ${renderer.toFixed(0).padStart(13)}` +
                (problems.length ? `  (${problems.join('; ')})` : ''));
  }
} finally {
  server.close();
  await rm(folder, { recursive: true, force: true });
}
