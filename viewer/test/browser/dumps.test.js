// Dumps of the size real applications make, on the page in Debian's
// Chromium: opened from a file or a URL, drawn on a canvas that zooms to a
// single call, their records a page at a time, and exported so that
// speedscope's own importer nests them as the records do.

import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { mkdtemp, readFile, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { gunzipSync } from 'node:zlib';
import { chromium } from 'playwright-core';
import { serve } from '../../src/server/http-server.js';
import { headlessOptions } from '../../src/node/headless-chromium.js';
import { buildCallTree, parseDump, walkCalls } from '../support/records.js';
import { shapedDump } from '../../bench/dump-shape.js';

let folder;
let server;
let browser;
let base;
const files = {};
// What the server serves beside the viewer, by path: tests add to it.
const served = {};

// A real application's dump: many records share each millisecond.
let realDump;

before(async () => {
  folder = await mkdtemp(join(tmpdir(), 'vimbrel-dumps-'));
  realDump = gunzipSync(await readFile(new URL('../fixtures/vpmedia-json-applet.txt.gz', import.meta.url))).toString('utf8');
  files.big = join(folder, 'big.txt');
  await writeFile(files.big, shapedDump({ records: 200000 }));
  files.real = join(folder, 'vpmedia.txt');
  await writeFile(files.real, realDump);
  // b exits inside a without an enter; c never exits.
  // f0 holds f1, which holds f2, ... a hundred deep, as recursion nests.
  files.deep = join(folder, 'deep.txt');
  const depths = Array.from({ length: 100 }, (_, i) => i);
  await writeFile(files.deep, [...depths.map((i) => `f${i} Enter ${i}`), ...depths.reverse().map((i) => `f${i} Exit ${200 - i}`)].join(','));
  served['/dumps/deep.txt'] = files.deep;
  // main calls f, which calls f, which calls f; then g.
  files.recursive = join(folder, 'recursive.txt');
  await writeFile(files.recursive, 'main Enter 0,f Enter 1,f Enter 2,f Enter 3,f Exit 5,f Exit 7,f Exit 10,' +
                                   'g Enter 11,g Exit 12,main Exit 20');
  served['/dumps/recursive.txt'] = files.recursive;
  // Five frames marked by the tracer; the second, where b runs, is slow.
  files.frames = join(folder, 'frames.txt');
  await writeFile(files.frames, '1 Frame 0,a Enter 1,a Exit 3,2 Frame 33,b Enter 34,b Exit 120,3 Frame 130,' +
                                'a Enter 131,a Exit 133,4 Frame 163,c Enter 164,c Exit 165,5 Frame 196');
  served['/dumps/frames.txt'] = files.frames;
  files.odd = join(folder, 'odd.txt');
  await writeFile(files.odd, 'a Enter 0,b Exit 1,a Exit 4,c Enter 5,junk');
  served['/dumps/odd.txt'] = files.odd;
  server = await serve(0, '127.0.0.1', { files: served });
  base = `http://127.0.0.1:${server.address().port}`;
  browser = await chromium.launch(headlessOptions());
});

after(async () => {
  await browser?.close();
  server?.close();
  if (folder) await rm(folder, { recursive: true, force: true });
});

// Waits until the records pager of `dump` says `text`: it fetches pages
// from the worker.
function pagerSays(dump, text) {
  return dump.locator('.pager-place').filter({ hasText: new RegExp(`^${text}$`) }).waitFor({ timeout: 10000 });
}

// A new page with the dump the server serves at `path`, once it is shown.
async function openedDump(path) {
  const page = await newPage();
  await page.goto(`${base}/index.html?dump=${path}`);
  const dump = page.locator('article.dump[data-state="ready"]');
  await dump.waitFor({ timeout: 30000 });
  return { page, dump };
}

// The rows of the table of functions, each its cells joined by spaces.
function tableRows(dump) {
  return dump.locator('.stats tbody tr').evaluateAll((trs) =>
    trs.map((tr) => [...tr.children].map((td) => td.textContent).join(' ')));
}

async function newPage() {
  const context = await browser.newContext({ viewport: { width: 1200, height: 1000 }, acceptDownloads: true });
  const page = await context.newPage();
  page.problems = [];
  page.on('pageerror', (error) => page.problems.push(error.message));
  return page;
}

test('a dump of 200,000 records opened from a file: drawn, zoomed to one call, paged', async () => {
  const page = await newPage();
  await page.goto(`${base}/index.html`);
  await page.setInputFiles('#file', files.big);
  const dump = page.locator('article.dump[data-state="ready"]');
  await dump.waitFor({ timeout: 60000 });
  const records = parseDump(await readFile(files.big, 'utf8')).records;
  assert.equal(await dump.locator('.dump-title').textContent(), 'Dump 1: big.txt');
  assert.equal(await dump.locator('.dump-summary').textContent(),
               `${records.length} records from ${records[0].time} ms to ${records.at(-1).time} ms.`);
  assert.equal(await dump.getAttribute('data-balanced'), 'true');
  // The table, a few hundred rows of the thousands of functions at first.
  assert.equal(await dump.locator('.stats tbody tr').count(), 500);
  await dump.locator('.all-functions').click();
  assert.equal(await dump.locator('.stats tbody tr').count(), new Set(records.map((r) => r.name)).size);

  // The whole trace, then down to one call by the wheel.
  const canvas = dump.locator('.chart canvas');
  await canvas.scrollIntoViewIfNeeded();
  const [whole0, whole1] = (await canvas.getAttribute('data-view')).split(',').map(Number);
  assert.deepEqual([whole0, whole1], [0, records.length]);
  const box = await canvas.boundingBox();
  await page.mouse.move(box.x + box.width / 2, box.y + 30);
  // Thirty rows fit, and the wheel alone scrolls none; with Ctrl it zooms.
  await page.mouse.wheel(0, 100);
  assert.equal(await dump.locator('.chart-depth').textContent(), 'The calls nest 30 deep.');
  await page.keyboard.down('Control');
  for (let i = 0; i < 80; i++) await page.mouse.wheel(0, -100);
  await page.keyboard.up('Control');
  const [v0, v1] = (await canvas.getAttribute('data-view')).split(',').map(Number);
  assert.ok(v1 - v0 <= 1.0001, `the view spans ${v1 - v0} records`);
  // The top row is one call across the whole width: its name, start,
  // duration and self time under the pointer.
  await page.mouse.move(box.x + box.width / 2, box.y + 27);
  const tip = await dump.locator('.flame-tip').textContent();
  assert.match(tip, /^_root\.onEnterFrame: starts at \d+ ms, lasts \d+ ms, \d+ ms of it its own; records \d+ to \d+$/);
  // 0 shows the whole trace again; double-clicking a call fits it;
  // clicking it pages to its first record.
  await canvas.focus();
  await page.keyboard.press('0');
  assert.equal(await canvas.getAttribute('data-view'), `0,${records.length}`);
  await canvas.dblclick({ position: { x: box.width / 2, y: 45 } });
  const [, first, last] = /records (\d+) to (\d+)$/.exec(await dump.locator('.flame-tip').textContent()).map(Number);
  const [c0, c1] = (await canvas.getAttribute('data-view')).split(',').map(Number);
  assert.ok(c0 <= first - 1 && c1 >= last && c1 - c0 <= (last - first + 1) * 1.05, `view ${c0} to ${c1} fits ${first} to ${last}`);
  await canvas.click({ position: { x: (box.width * 0.5), y: 45 } });
  const page0 = Math.floor((first - 1) / 100) * 100;
  await pagerSays(dump, `records ${page0 + 1} to ${page0 + 100} of ${records.length}`);

  // The records, a hundred at a time, never all at once.
  await dump.locator('.pager button', { hasText: 'First' }).click();
  await pagerSays(dump, `records 1 to 100 of ${records.length}`);
  assert.equal(await dump.locator('.records li').count(), 100);
  assert.equal(await dump.locator('.records li').first().textContent(), `${records[0].name} Enter ${records[0].time}`);
  await dump.locator('.pager button', { hasText: 'Next' }).click();
  const total = records.length;
  await pagerSays(dump, `records 101 to 200 of ${total}`);
  await dump.locator('.pager button', { hasText: 'Last' }).click();
  const lastPage = Math.floor((total - 1) / 100) * 100;
  await pagerSays(dump, `records ${lastPage + 1} to ${total} of ${total}`);
  assert.equal(await dump.locator('.records li').count(), total - lastPage);
  await dump.locator('.pager input').fill('123456');
  await dump.locator('.pager input').press('Enter');
  await pagerSays(dump, `records 123401 to 123500 of ${total}`);
  const r = records[123455];
  assert.equal(await dump.locator('.records li').nth(55).textContent(), `${r.name} ${r.kind} ${r.time}`);
  assert.deepEqual(page.problems, []);
});

test('?dump=URL opens a dump; records that do not pair up are listed', async () => {
  const { page, dump } = await openedDump('/dumps/odd.txt');
  assert.equal(await dump.locator('.dump-summary').textContent(), '4 records from 0 ms to 5 ms.');
  assert.equal(await dump.getAttribute('data-balanced'), 'false');
  const problems = await dump.locator('.problems li').allTextContents();
  assert.deepEqual(problems, ['after record 4: "junk"', 'b exits inside a without an enter; ignored',
                              'c has not exited by the end of the records']);
  assert.deepEqual(page.problems, []);
});

test('a stack deeper than the chart scrolls with the wheel, and says how deep it goes', async () => {
  const { page, dump } = await openedDump('/dumps/deep.txt');
  const canvas = dump.locator('.chart canvas');
  await canvas.scrollIntoViewIfNeeded();
  assert.equal(await dump.locator('.chart-depth').textContent(), 'Depths 1 to 30 of 100: the wheel scrolls them.');
  const box = await canvas.boundingBox();
  await page.mouse.move(box.x + box.width / 2, box.y + 100);
  await page.mouse.wheel(0, 100);
  await page.waitForFunction(() => document.querySelector('.chart-depth').textContent.startsWith('Depths 6 '));
  assert.equal(await dump.locator('.chart-depth').textContent(), 'Depths 6 to 36 of 100: the wheel scrolls them.');
  // The view in records is as it was: scrolling does not zoom.
  assert.equal(await canvas.getAttribute('data-view'), '0,200');
  assert.deepEqual(page.problems, []);
});

test('find a function, step through its calls, sort the table; a recursive function counts its outermost call', async () => {
  const { page, dump } = await openedDump('/dumps/recursive.txt');
  const rows = () => tableRows(dump);
  // f's total is its outermost call's, 1 to 10 ms; its self time counts each call once.
  assert.deepEqual(await rows(), ['main 1 20 10 20', 'f 3 9 9 9', 'g 1 1 1 1']);

  await dump.locator('.search').fill('F');
  assert.equal(await dump.locator('.search-count').textContent(), '3 calls of 1 function(s) found; Enter goes to the next.');
  assert.deepEqual(await dump.locator('.stats tbody tr.found td:first-child').allTextContents(), ['f']);
  await dump.locator('.search').press('Enter');
  const details = async () => dump.locator('.call-details dd').allTextContents();
  assert.deepEqual(await details(), ['1 ms', '9 ms', '4 ms', '2', '2 to 7', 'main']);
  await page.waitForFunction(() => document.querySelector('.records li.marked')?.textContent === 'f Enter 1');
  await dump.locator('.search').press('Enter');
  assert.deepEqual(await details(), ['2 ms', '5 ms', '3 ms', '3', '3 to 6', 'f ← main']);
  await page.waitForFunction(() => document.querySelector('.records li.marked')?.textContent === 'f Enter 2');

  // A heading sorts by its column, again the other way; a row finds its function.
  await dump.locator('.stats th', { hasText: 'Calls' }).click();
  assert.deepEqual((await rows()).map((row) => row.split(' ')[0]), ['f', 'g', 'main']);
  await dump.locator('.stats th', { hasText: 'Calls' }).click();
  assert.deepEqual((await rows()).map((row) => row.split(' ')[0]), ['g', 'main', 'f']);
  await dump.locator('.stats tbody tr', { hasText: 'g' }).click();
  assert.equal(await dump.locator('.search').inputValue(), 'g');
  assert.equal(await dump.locator('.search-count').textContent(), '1 calls of 1 function(s) found; Enter goes to the next.');

  // A stretch dragged on the ruler: records 7 to 10 hold the call of g alone.
  const canvas = dump.locator('.chart canvas');
  await canvas.scrollIntoViewIfNeeded();
  const box = await canvas.boundingBox();
  // Enter zoomed in on the calls found: 0 shows the whole trace again.
  await canvas.focus();
  await page.keyboard.press('0');
  await page.mouse.move(box.x + box.width * 0.65, box.y + 5);
  await page.mouse.down();
  await page.mouse.move(box.x + box.width * 0.8, box.y + 5);
  await page.mouse.move(box.x + box.width * 0.99, box.y + 5);
  await page.mouse.up();
  assert.equal(await dump.locator('.functions-title').textContent(), 'Functions of records 8 to 10');
  assert.deepEqual(await rows(), ['g 1 1 1 1']);
  assert.equal(await dump.locator('.analysis-scope').textContent(), 'of records 8 to 10: 1 calls');
  assert.deepEqual(await dump.locator('.call-tree li').allTextContents(), ['g: 1 calls, 1 ms, 1 ms self']);
  assert.deepEqual(await dump.locator('.callers li').allTextContents(), ['main: 1 calls, 1 ms']);
  // A click on the ruler lets it go: the whole dump again, still sorted by
  // calls, fewest first; its tree by path.
  await page.mouse.click(box.x + box.width * 0.5, box.y + 5);
  assert.equal(await dump.locator('.functions-title').textContent(), 'Functions');
  assert.deepEqual((await rows()).map((row) => row.split(' ')[0]), ['g', 'main', 'f']);
  // Deeper paths open when asked for.
  await dump.locator('.call-tree summary', { hasText: 'f: 1 calls, 5 ms, 3 ms self' }).click();
  await dump.getByText('f: 1 calls, 2 ms, 2 ms self', { exact: true }).waitFor();
  assert.deepEqual(await dump.locator('.call-tree summary, .call-tree li:not(:has(details))').allTextContents(), [
    'main: 1 calls, 20 ms, 10 ms self', 'f: 1 calls, 9 ms, 4 ms self', 'f: 1 calls, 5 ms, 3 ms self',
    'f: 1 calls, 2 ms, 2 ms self', 'g: 1 calls, 1 ms, 1 ms self']);
  assert.deepEqual(page.problems, []);
});

test('frame marks: a track above the chart, slow frames found by key, a frame selected by a click', async () => {
  const { page, dump } = await openedDump('/dumps/frames.txt');
  assert.equal(await dump.locator('.dump-summary').textContent(), '13 records from 0 ms to 196 ms.');
  // A dump file says no frame rate: 30 frames a second.
  assert.equal(await dump.locator('.frames-said').textContent(),
               '5 frames, 1 over the budget; ] and [ on the chart go to the next and the previous.');
  assert.equal(await dump.locator('.chart canvas.frames').getAttribute('data-frames'), '5');
  const rows = () => tableRows(dump);
  // ] goes to the slow frame: what ran in it is b.
  const canvas = dump.locator('.chart canvas:not(.frames)');
  await canvas.focus();
  await page.keyboard.press(']');
  assert.equal(await dump.locator('.analysis-scope').textContent(), 'of records 4 to 6: 1 calls');
  assert.deepEqual(await rows(), ['b 1 86 86 86']);
  // A click on the track selects the frame there: the fourth, where c runs.
  await page.keyboard.press('0');
  const track = await dump.locator('.chart canvas.frames').boundingBox();
  await page.mouse.click(track.x + track.width * (10.5 / 13), track.y + track.height / 2);
  assert.equal(await dump.locator('.analysis-scope').textContent(), 'of records 10 to 12: 1 calls');
  assert.deepEqual(await rows(), ['c 1 1 1 1']);
  // A tighter budget finds more slow frames.
  await dump.locator('.budget').fill('30');
  await dump.locator('.budget').press('Enter');
  assert.equal(await dump.locator('.frames-said').textContent(),
               '5 frames, 4 over the budget; ] and [ on the chart go to the next and the previous.');
  assert.deepEqual(page.problems, []);
});

// The calls as "depth name", depth first, from speedscope's own export of
// what it imported: its evented profile, opens and closes in order.
function speedscopeTree(exported) {
  const frames = exported.shared.frames.map((frame) => frame.name);
  const [profile] = exported.profiles;
  const open = [];
  const calls = [];
  for (const event of profile.events) {
    if (event.type === 'O') {
      calls.push(`${open.length} ${frames[event.frame]}`);
      open.push(event.frame);
    } else {
      assert.equal(open.pop(), event.frame);
    }
  }
  return calls;
}

// Loads `url` into speedscope as its profileURL and downloads speedscope's
// own export of what it read.
async function throughSpeedscope(page, url) {
  await page.goto(`${base}/speedscope/index.html#profileURL=${encodeURIComponent(url)}`);
  const [download] = await Promise.all([page.waitForEvent('download', { timeout: 60000 }),
                                        page.locator('text=Export').click({ timeout: 60000 })]);
  return JSON.parse(await readFile(await download.path(), 'utf8'));
}

test('speedscope\'s own importer nests both exports of a real dump as its records do', async () => {
  const ours = [];
  walkCalls(buildCallTree(parseDump(realDump).records).roots, (call, depth) => ours.push(`${depth} ${call.name}`));
  assert.equal(ours.length, 94368 / 2);

  const page = await newPage();
  await page.goto(`${base}/index.html`);
  await page.setInputFiles('#file', files.real);
  const dump = page.locator('article.dump[data-state="ready"]');
  await dump.waitFor({ timeout: 60000 });
  const exports = {};
  for (const [format, selector] of [['chrome', '.download-chrome'], ['speedscope', '.download-speedscope']]) {
    const [download] = await Promise.all([page.waitForEvent('download'), dump.locator(selector).click()]);
    exports[format] = join(folder, `${format}.json`);
    await writeFile(exports[format], await readFile(await download.path()));
  }
  served['/exports/chrome.json'] = exports.chrome;
  served['/exports/speedscope.json'] = exports.speedscope;
  const speedscope = await newPage();
  for (const format of ['chrome', 'speedscope']) {
    const tree = speedscopeTree(await throughSpeedscope(speedscope, `/exports/${format}.json`));
    assert.equal(tree.length, ours.length, format);
    const first = tree.findIndex((call, i) => call !== ours[i]);
    assert.equal(first, -1, `${format}: call ${first} is ${tree[first]}, not ${ours[first]}`);
  }
  assert.deepEqual(speedscope.problems, []);
});

test('"Open in speedscope" shows the dump there, served by the viewer\'s server', async () => {
  const page = await newPage();
  await page.goto(`${base}/index.html`);
  await page.setInputFiles('#file', files.odd);
  const dump = page.locator('article.dump[data-state="ready"]');
  await dump.waitFor({ timeout: 30000 });
  const [tab] = await Promise.all([page.context().waitForEvent('page'), dump.locator('.open-speedscope').click()]);
  await tab.waitForURL(/\/speedscope\/index\.html#profileURL=blob/);
  const [download] = await Promise.all([tab.waitForEvent('download', { timeout: 60000 }),
                                        tab.locator('text=Export').click({ timeout: 60000 })]);
  const exported = JSON.parse(await readFile(await download.path(), 'utf8'));
  assert.equal(exported.name, 'Dump 1: odd.txt');
  assert.deepEqual(speedscopeTree(exported), ['0 a', '0 c']);
});
