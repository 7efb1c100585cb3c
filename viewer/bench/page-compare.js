#!/usr/bin/env node
// The page comparing two dumps, in headless Chromium: two dumps in the
// shape of real ones (1,000,000 records each unless told), with the same
// calls (compared to the last record) and with other calls; prints the
// time from the base chosen to the comparison shown, and what the
// differential flame graph drew.
//
// usage: node bench/page-compare.js [RECORDS]   (from viewer/)

import { mkdtemp, rm } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';
import { serve } from '../src/server/http-server.js';
import { headlessOptions } from '../src/node/headless-chromium.js';
import { writeShapedDump } from './shaped-file.js';

const RECORDS = Number(process.argv[2] ?? 1000000);
const LIMIT_MS = 600000;

// Opens `base` and `dump` on a fresh page and compares them: { ms, drawn }.
async function compared(browser, server, base, dump) {
  const page = await browser.newPage({ viewport: { width: 1400, height: 900 } });
  try {
    await page.goto(`http://127.0.0.1:${server.address().port}/index.html`);
    for (const [at, path] of [base, dump].entries()) {
      await page.setInputFiles('#file', path);
      await page.locator(`article.dump[data-dump="${at + 1}"][data-state="ready"]`).waitFor({ timeout: LIMIT_MS });
    }
    const view = page.locator('article.dump[data-dump="2"]');
    const begun = Date.now();
    await view.locator('.compare-base').selectOption({ index: 1 });
    await page.locator('article.dump[data-dump="2"][data-compared-ms]').waitFor({ timeout: LIMIT_MS });
    const ms = Date.now() - begun;
    const drawn = await view.locator('canvas.diff-flame').evaluate((canvas) => ({ ...canvas.dataset }));
    const parting = await view.locator('.compare-parting').textContent();
    return { ms, drawn, parting };
  } finally {
    await page.close();
  }
}

const folder = await mkdtemp(join(tmpdir(), 'vimbrel-bench-compare-'));
const server = await serve(0, '127.0.0.1', {});
const browser = await chromium.launch(headlessOptions());
try {
  const [fresh, same, other] = ['new.txt', 'same.txt', 'other.txt'].map((name) => join(folder, name));
  await Promise.all([[fresh, 1], [same, 1], [other, 2]].map(([path, seed]) => writeShapedDump(path, { records: RECORDS, seed })));
  console.log(`the page comparing two dumps of ${RECORDS} records in the shape of real ones`);
  for (const [label, base] of [['the same calls throughout', same], ['other calls from the first', other]]) {
    const { ms, drawn, parting } = await compared(browser, server, base, fresh);
    console.log(`  ${label.padEnd(28)} ${String(ms).padStart(6)} ms from the base chosen to the comparison shown; ` +
                `the graph drew ${drawn.boxes} paths (${drawn.slower} slower, ${drawn.faster} faster, ` +
                `${drawn.new} new, ${drawn.same} unchanged)`);
    console.log(`  ${''.padEnd(28)} ${parting.slice(0, 110)}`);
  }
} finally {
  await browser.close();
  server.close();
  await rm(folder, { recursive: true, force: true });
}
