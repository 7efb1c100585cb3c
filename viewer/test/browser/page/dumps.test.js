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
import { serve } from '../../../src/server/http-server.js';
import { headlessOptions } from '../../../src/node/headless-chromium.js';
import { buildCallTree, parseDump, walkCalls } from '../../support/records.js';
import { shapedDump } from '../../../bench/dump-shape.js';

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
  realDump = gunzipSync(await readFile(new URL('../../fixtures/vpmedia-json-applet.txt.gz', import.meta.url))).toString('utf8');
  files.big = join(folder, 'big.txt');
  await writeFile(files.big, shapedDump({ records: 200000 }));
  files.real = join(folder, 'vpmedia.txt');
  await writeFile(files.real, realDump);
  served['/dumps/real.txt'] = files.real;
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
async function openedDump(path, viewport) {
  const page = await newPage(viewport);
  await page.goto(`${base}/index.html?dump=${path}`);
  const dump = page.locator('article.dump[data-state="ready"]');
  await dump.waitFor({ timeout: 30000 });
  return { page, dump };
}

// The tab `name` of `dump`, shown.
async function showTab(dump, name) {
  await dump.locator('.tab-button', { hasText: name }).click();
}

// The export `selector` of `dump`'s Export menu, the menu open.
async function exportButton(dump, selector) {
  const menu = dump.locator('.exports');
  if (!(await menu.evaluate((element) => element.open))) await menu.locator('summary').click();
  return dump.locator(selector);
}

// The rows of a tree of `dump`'s tab `tab` as "name total self calls", indented by depth.
function treeRows(dump, tab) {
  return dump.locator(`.tab[data-tab="${tab}"] .tree .tree-row`).evaluateAll((rows) => rows.map((row) =>
    `${'  '.repeat(row.depth)}${row.querySelector('.tree-name').textContent.replace(/^[▸▾]/, '')} ` +
    [...row.querySelectorAll('.tree-number')].map((cell) => cell.textContent).join(' ')));
}

// The rows of the table of functions, each its cells joined by spaces.
function tableRows(dump) {
  return dump.locator('.stats tbody tr').evaluateAll((trs) =>
    trs.map((tr) => [...tr.children].map((td) => td.textContent).join(' ')));
}

async function newPage(viewport = { width: 1200, height: 1000 }) {
  const context = await browser.newContext({ viewport, acceptDownloads: true });
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

  // The whole trace, in record order, then down to one call by the wheel.
  await dump.locator('.axis').selectOption('sequence');
  const canvas = dump.locator('.chart canvas');
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
  await showTab(dump, 'Records');
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
  assert.equal(await dump.locator('.tab-button[data-tab="problems"]').getAttribute('data-count'), '2');
  await showTab(dump, 'Problems');
  const problems = await dump.locator('.tab[data-tab="problems"] li').allTextContents();
  assert.deepEqual(problems, ['after record 4: "junk"', 'b exits inside a without an enter; ignored',
                              'c has not exited by the end of the records']);
  assert.deepEqual(page.problems, []);
});

test('a stack deeper than the chart scrolls with the wheel, and says how deep it goes', async () => {
  const { page, dump } = await openedDump('/dumps/deep.txt');
  const canvas = dump.locator('.chart canvas');
  const shown = Math.ceil(((await canvas.boundingBox()).height - 18) / 18);
  assert.ok(shown < 100, `${shown} rows shown`);
  assert.equal(await dump.locator('.chart-depth').textContent(), `Depths 1 to ${shown} of 100: the wheel scrolls them.`);
  const box = await canvas.boundingBox();
  await page.mouse.move(box.x + box.width / 2, box.y + 100);
  await page.mouse.wheel(0, 100);
  await page.waitForFunction(() => document.querySelector('.chart-depth').textContent.startsWith('Depths 6 '));
  assert.match(await dump.locator('.chart-depth').textContent(), /^Depths 6 to \d+ of 100: the wheel scrolls them\.$/);
  // The view is as it was: scrolling does not zoom.
  assert.equal(await canvas.getAttribute('data-view'), '0,200');
  assert.deepEqual(page.problems, []);
});

test('find a function, step through its calls, sort the table; a recursive function counts its outermost call', async () => {
  const { page, dump } = await openedDump('/dumps/recursive.txt');
  const rows = () => tableRows(dump);
  // f's total is its outermost call's, 1 to 10 ms; its self time counts each call once.
  assert.deepEqual(await rows(), ['main 1 20 10 20', 'f 3 9 9 9', 'g 1 1 1 1']);
  await dump.locator('.axis').selectOption('sequence');

  await page.keyboard.press('/');
  await page.keyboard.type('F');
  assert.equal(await dump.locator('.search-count').textContent(), '3 calls of 1 function(s) found; Enter goes to the next.');
  assert.deepEqual(await dump.locator('.stats tbody tr.found td:first-child').allTextContents(), ['f']);
  await dump.locator('.search').press('Enter');
  const details = async () => dump.locator('.call-details dd').allTextContents();
  assert.deepEqual(await details(), ['1 ms', '9 ms', '4 ms', '2', '2 to 7', 'main']);
  await page.waitForFunction(() => document.querySelector('.records li.marked')?.textContent === 'f Enter 1');
  await dump.locator('.search').press('Enter');
  assert.deepEqual(await details(), ['2 ms', '5 ms', '3 ms', '3', '3 to 6', 'f ← main']);
  await page.waitForFunction(() => document.querySelector('.records li.marked')?.textContent === 'f Enter 2');

  // A heading sorts by its column, again the other way; a row selects its function.
  await dump.locator('.stats th', { hasText: 'Calls' }).click();
  assert.deepEqual((await rows()).map((row) => row.split(' ')[0]), ['f', 'g', 'main']);
  await dump.locator('.stats th', { hasText: 'Calls' }).click();
  assert.deepEqual((await rows()).map((row) => row.split(' ')[0]), ['g', 'main', 'f']);
  await dump.locator('.stats tbody tr', { hasText: 'g' }).click();
  assert.deepEqual(await dump.locator('.stats tbody tr.selected td:first-child').allTextContents(), ['g']);
  assert.equal(await dump.locator('.call-details h4').textContent(), 'g');

  // A stretch dragged on the ruler: records 7 to 10 hold the call of g alone.
  const canvas = dump.locator('.chart canvas');
  const box = await canvas.boundingBox();
  // Enter zoomed in on the calls found: 0 shows the whole trace again.
  await page.keyboard.press('Escape');
  await page.keyboard.press('0');
  await page.mouse.move(box.x + box.width * 0.65, box.y + 5);
  await page.mouse.down();
  await page.mouse.move(box.x + box.width * 0.8, box.y + 5);
  await page.mouse.move(box.x + box.width * 0.99, box.y + 5);
  await page.mouse.up();
  assert.equal(await dump.locator('.analysis-scope').textContent(), 'Of records 8 to 10: 1 calls');
  assert.deepEqual(await rows(), ['g 1 1 1 1']);
  await showTab(dump, 'Call tree');
  assert.deepEqual(await treeRows(dump, 'call-tree'), ['g 1 1 1']);
  // A click on the ruler lets it go: the whole dump again, still sorted by
  // calls, fewest first; its tree by path, the heaviest path open.
  await page.mouse.click(box.x + box.width * 0.5, box.y + 5);
  assert.equal(await dump.locator('.analysis-scope').textContent(), 'Of the whole dump: 5 calls');
  await showTab(dump, 'Functions');
  assert.deepEqual((await rows()).map((row) => row.split(' ')[0]), ['g', 'main', 'f']);
  await showTab(dump, 'Call tree');
  assert.deepEqual(await treeRows(dump, 'call-tree'), [
    'main 20 10 1', '  f 9 4 1', '    f 5 3 1', '      f 2 2 1', '  g 1 1 1']);
  assert.deepEqual(page.problems, []);
});

test('frame marks: a track above the chart, slow frames found by key, a frame selected by a click', async () => {
  const { page, dump } = await openedDump('/dumps/frames.txt');
  assert.equal(await dump.locator('.dump-summary').textContent(), '13 records from 0 ms to 196 ms.');
  // A dump file says no frame rate: 30 frames a second.
  assert.equal(await dump.locator('.frames-said').textContent(),
               '5 frames, 1 over the budget; ] and [ go to the next and the previous.');
  assert.equal(await dump.locator('.tracks canvas.frames').getAttribute('data-frames'), '5');
  const rows = () => tableRows(dump);
  // ] goes to the slow frame: what ran in it is b.
  await page.keyboard.press(']');
  assert.equal(await dump.locator('.analysis-scope').textContent(), 'Of 33 ms to 130 ms: 1 calls');
  assert.deepEqual(await rows(), ['b 1 86 86 86']);
  // A click on the track selects the frame there: the fourth, where c runs.
  await dump.locator('.axis').selectOption('sequence');
  const track = await dump.locator('.tracks canvas.frames').boundingBox();
  await page.mouse.click(track.x + track.width * (10.5 / 13), track.y + track.height / 2);
  assert.equal(await dump.locator('.analysis-scope').textContent(), 'Of records 10 to 12: 1 calls');
  assert.deepEqual(await rows(), ['c 1 1 1 1']);
  // A tighter budget finds more slow frames.
  await dump.locator('.budget').fill('30');
  await dump.locator('.budget').press('Enter');
  assert.equal(await dump.locator('.frames-said').textContent(),
               '5 frames, 4 over the budget; ] and [ go to the next and the previous.');
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
    const button = await exportButton(dump, selector);
    const [download] = await Promise.all([page.waitForEvent('download'), button.click()]);
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
  const open = await exportButton(dump, '.open-speedscope');
  const [tab] = await Promise.all([page.context().waitForEvent('page'), open.click()]);
  await tab.waitForURL(/\/speedscope\/index\.html#profileURL=blob/);
  const [download] = await Promise.all([tab.waitForEvent('download', { timeout: 60000 }),
                                        tab.locator('text=Export').click({ timeout: 60000 })]);
  const exported = JSON.parse(await readFile(await download.path(), 'utf8'));
  assert.equal(exported.name, 'Dump 1: odd.txt');
  assert.deepEqual(speedscopeTree(exported), ['0 a', '0 c']);
});

test('the trace fills the window: the page never scrolls, and the chart takes most of it', async () => {
  for (const viewport of [{ width: 1400, height: 900 }, { width: 1024, height: 700 }]) {
    const { page, dump } = await openedDump('/dumps/real.txt', viewport);
    const size = `${viewport.width}x${viewport.height}`;
    const { scrolls, chart, flame } = await page.evaluate(() => ({
      scrolls: [document.documentElement.scrollHeight - innerHeight, document.documentElement.scrollWidth - innerWidth],
      chart: document.querySelector('.chart-area').getBoundingClientRect().height / innerHeight,
      flame: document.querySelector('.chart canvas').getBoundingClientRect().height / innerHeight,
    }));
    assert.deepEqual(scrolls, [0, 0], `${size}: the page scrolls`);
    assert.ok(chart >= 0.55, `${size}: the chart is ${(chart * 100).toFixed(0)}% of the window`);
    assert.ok(flame >= 0.5, `${size}: the flame chart is ${(flame * 100).toFixed(0)}% of the window`);
    // A tab of many rows scrolls inside itself.
    await dump.locator('.all-functions').waitFor({ state: 'detached' }).catch(() => {});
    const tab = await dump.locator('.tab[data-tab="functions"]').evaluate((element) =>
      [element.scrollHeight > element.clientHeight, getComputedStyle(element).overflowY]);
    assert.deepEqual(tab, [true, 'auto'], size);
    assert.deepEqual(page.problems, []);
  }
});

test('one selection in every view: a function, a path of a tree, a call', async () => {
  const { page, dump } = await openedDump('/dumps/real.txt', { width: 1400, height: 900 });
  const canvas = dump.locator('.chart canvas');
  const lit = async () => Number(await canvas.getAttribute('data-lit'));
  // A row of the table: its function's calls lit on the chart, its rows
  // marked in the trees, its callers and callees in the sandwich.
  await dump.locator('.stats tbody tr', { hasText: 'JSON.value' }).first().click();
  assert.deepEqual(await dump.locator('.stats tbody tr.selected td:first-child').allTextContents(), ['JSON.value']);
  assert.ok(await lit() > 0, 'its calls are lit');
  assert.equal(await dump.locator('.call-details h4').textContent(), 'JSON.value');
  await showTab(dump, 'Call tree');
  assert.ok(await dump.locator('.tab[data-tab="call-tree"] .tree-row.of-function').count() > 0);
  await showTab(dump, 'Bottom-up');
  assert.match(await dump.locator('.tab[data-tab="bottom-up"] .tree-row.selected .tree-name').textContent(), /JSON\.value$/);
  await showTab(dump, 'Sandwich');
  assert.match(await dump.locator('.sandwich-heading').textContent(), /^JSON\.value: its callers above/);
  // Its outermost call and who made it, read upwards; what its calls called.
  const sandwich = await treeRows(dump, 'sandwich');
  assert.deepEqual(sandwich.slice(0, 2), ['JSON.value 695 1', '  JSON.parse 695 1']);
  assert.ok(sandwich.some((row) => /^JSON\.value 695 \d+ 1$/.test(row)), sandwich.join("\n"));
  assert.ok(sandwich.some((row) => /^ {2}JSON\.arr /.test(row)), sandwich.join('\n'));
  // Where the time of JSON.next came from: its callers, in the bottom-up.
  await showTab(dump, 'Bottom-up');
  // The function of most own time comes first, its heaviest path open.
  const nextRow = dump.locator('.tab[data-tab="bottom-up"] .tree-row', { hasText: 'JSON.next' }).first();
  assert.equal(await nextRow.getAttribute('aria-expanded'), 'true');
  const bottomUp = await treeRows(dump, 'bottom-up');
  const next = bottomUp.indexOf(bottomUp.find((row) => row.startsWith('JSON.next ')));
  assert.match(bottomUp[next], /^JSON\.next 347 37252$/);
  assert.match(bottomUp[next + 1], /^ {2}JSON\.\w+ \d+ \d+$/);

  // A path of the call tree selects its calls alone: fewer are lit.
  await showTab(dump, 'Call tree');
  const path = dump.locator('.tab[data-tab="call-tree"] .tree-row', { hasText: 'JSON.next' }).first();
  const before = await lit();
  await path.click();
  assert.equal(await path.getAttribute('aria-selected'), 'true');
  assert.ok(await lit() > 0 && await lit() <= before, `${await lit()} lit of ${before}`);
  assert.deepEqual(await dump.locator('.stats tbody tr.selected td:first-child').allTextContents(), ['JSON.next']);

  // A call clicked: its function in the table and the bottom-up, its path
  // in the call tree, its first record in the records.
  await page.keyboard.press('Escape');
  assert.equal(await canvas.getAttribute('data-lit'), '');
  const box = await canvas.boundingBox();
  await canvas.click({ position: { x: box.width * 0.5, y: 18 + 18 * 2.5 } });
  const name = await dump.locator('.call-details h4').textContent();
  assert.equal(name, 'JSON.parse');
  assert.deepEqual(await dump.locator('.stats tbody tr.selected td:first-child').allTextContents(), [name]);
  assert.match(await dump.locator('.tab[data-tab="call-tree"] .tree-row.selected .tree-name').textContent(), /JSON\.parse$/);
  await showTab(dump, 'Records');
  assert.match(await dump.locator('.records li.marked').textContent(), /^JSON\.parse Enter \d+$/);
  // How long the views took to follow, as the page counts it.
  assert.ok(Number(await dump.getAttribute('data-selected-ms')) < 1000);
  assert.deepEqual(page.problems, []);
});

test('a link reopens the view: the axis, the stretch, the function and the tab', async () => {
  const page = await newPage({ width: 1400, height: 900 });
  await page.goto(`${base}/index.html?dump=/dumps/real.txt#axis=time&range=100,300&function=JSON.value&tab=sandwich`);
  const dump = page.locator('article.dump[data-state="ready"]');
  await dump.waitFor({ timeout: 30000 });
  assert.equal(await dump.locator('.axis').inputValue(), 'time');
  assert.match(await dump.locator('.analysis-scope').textContent(), /^Of 323 ms to 523 ms: \d+ calls$/);
  assert.equal(await dump.locator('.tab-button[aria-selected="true"]').textContent(), 'Sandwich');
  assert.match(await dump.locator('.sandwich-heading').textContent(), /^JSON\.value: /);
  assert.deepEqual(await dump.locator('.stats tbody tr.selected td:first-child').allTextContents(), ['JSON.value']);
  // What one looks at next goes into the address, to be reopened.
  await dump.locator('.axis').selectOption('sequence');
  await showTab(dump, 'Functions');
  await dump.locator('.stats tbody tr', { hasText: 'JSON.str' }).first().click();
  const fragment = new URLSearchParams(new URL(page.url()).hash.slice(1));
  assert.deepEqual(Object.fromEntries(fragment), { axis: 'sequence', function: 'JSON.str', tab: 'functions' });
  const again = await newPage({ width: 1400, height: 900 });
  await again.goto(page.url());
  const reopened = again.locator('article.dump[data-state="ready"]');
  await reopened.waitFor({ timeout: 30000 });
  assert.equal(await reopened.locator('.axis').inputValue(), 'sequence');
  assert.deepEqual(await reopened.locator('.stats tbody tr.selected td:first-child').allTextContents(), ['JSON.str']);
  assert.deepEqual([...page.problems, ...again.problems], []);
});

test('a second dump is a tab of its own: each keeps its view, and the keys act on the one shown', async () => {
  const page = await newPage({ width: 1400, height: 900 });
  await page.goto(`${base}/index.html`);
  await page.setInputFiles('#file', files.recursive);
  const first = page.locator('article.dump[data-dump="1"][data-state="ready"]');
  await first.waitFor({ timeout: 30000 });
  await first.locator('.stats tbody tr', { hasText: 'g' }).click();
  await page.setInputFiles('#file', files.frames);
  const second = page.locator('article.dump[data-dump="2"][data-state="ready"]');
  await second.waitFor({ timeout: 30000 });
  assert.equal(await first.isVisible(), false);
  assert.deepEqual(await page.locator('.dump-tab-title').allTextContents(), ['Dump 1: recursive.txt', 'Dump 2: frames.txt']);
  assert.equal(await page.locator('.dump-tab-title[aria-selected="true"]').textContent(), 'Dump 2: frames.txt');
  // + zooms the dump shown, and no other.
  const view = (dump) => dump.locator('.chart canvas:not(.frames):not(.overview)').getAttribute('data-view');
  const firstView = await view(first);
  const secondView = await view(second);
  await page.keyboard.press('+');
  assert.notEqual(await view(second), secondView);
  assert.equal(await view(first), firstView);
  // Back to the first: its selection as it was left.
  await page.locator('.dump-tab-title', { hasText: 'Dump 1' }).click();
  assert.equal(await first.isVisible(), true);
  assert.deepEqual(await first.locator('.stats tbody tr.selected td:first-child').allTextContents(), ['g']);
  // Closed, a dump is gone, and the other shown.
  await page.locator('.dump-tab-close').first().click();
  assert.equal(await page.locator('article.dump').count(), 1);
  assert.equal(await second.isVisible(), true);
  assert.deepEqual(page.problems, []);
});

// Opens the dumps at `paths` in one page, one after the other: their views.
async function openedDumps(page, paths) {
  const views = [];
  for (const [at, path] of paths.entries()) {
    await page.setInputFiles('#file', path);
    const view = page.locator(`article.dump[data-dump="${at + 1}"][data-state="ready"]`);
    await view.waitFor({ timeout: 30000 });
    views.push(view);
  }
  return views;
}

test('compare with a base: the functions with both figures, the differential flame graph, where the runs part', async () => {
  // Before, main called a (20 ms) and b (10 ms); now a takes 60 ms, and c (5 ms) is called instead of b.
  const old = join(folder, 'old.txt');
  await writeFile(old, 'main Enter 0,a Enter 10,a Exit 30,b Enter 30,b Exit 40,main Exit 50');
  const fresh = join(folder, 'new.txt');
  await writeFile(fresh, 'main Enter 0,a Enter 10,a Exit 70,c Enter 70,c Exit 75,main Exit 80');
  const page = await newPage({ width: 1400, height: 900 });
  await page.goto(`${base}/index.html`);
  const [, dump] = await openedDumps(page, [old, fresh]);
  assert.equal(await dump.locator('.tab-button[data-tab="compare"]').isVisible(), false, 'nothing compared yet');
  await dump.locator('.compare-base').selectOption({ label: 'Dump 1: old.txt' });
  await page.locator('article.dump[data-dump="2"][data-compared-ms]').waitFor({ timeout: 10000 });
  assert.equal(await dump.locator('.tab-button[data-tab="compare"][aria-selected="true"]').count(), 1);
  assert.equal(await dump.locator('.compare-parting').textContent(),
               'The two runs part after 3 records of calls that agree, inside main: Dump 2: new.txt enters c ' +
               '(record 4), Dump 1: old.txt enters b (record 4).');
  // main, a and c are drawn: a slower (20 to 60), main slower (50 to 80), c new; b has no width now.
  const graph = dump.locator('canvas.diff-flame');
  assert.deepEqual(await graph.evaluate((canvas) => ({ ...canvas.dataset })),
                   { boxes: '3', same: '0', slower: '2', faster: '0', new: '1' });
  await showTab(dump, 'Functions');
  assert.deepEqual(await tableRows(dump), [
    'a 1 1 60 20 +40 60 20 +40',
    'main 1 1 80 50 +30 15 20 -5',
    'bgone - 1 - 10 -10 - 10 -10',
    'cnew 1 - 5 - +5 5 - +5',
  ]);
  // Compared with nothing again, the table is the dump's own.
  await dump.locator('.compare-base').selectOption('');
  assert.equal(await dump.locator('.tab-button[data-tab="compare"]').isVisible(), false);
  assert.deepEqual(await tableRows(dump), ['main 1 80 15 80', 'a 1 60 60 60', 'c 1 5 5 5']);
  assert.deepEqual(page.problems, []);
});

test('the real dump compared with itself shows no change anywhere', async () => {
  const page = await newPage({ width: 1400, height: 900 });
  await page.goto(`${base}/index.html`);
  const [, dump] = await openedDumps(page, [files.real, files.real]);
  await dump.locator('.compare-base').selectOption({ label: 'Dump 1: vpmedia.txt' });
  await page.locator('article.dump[data-dump="2"][data-compared-ms]').waitFor({ timeout: 30000 });
  const drawn = await dump.locator('canvas.diff-flame').evaluate((canvas) => ({ ...canvas.dataset }));
  assert.ok(Number(drawn.boxes) > 20, `${drawn.boxes} paths drawn`);
  assert.deepEqual(drawn, { boxes: drawn.boxes, same: drawn.boxes, slower: '0', faster: '0', new: '0' });
  assert.match(await dump.locator('.compare-parting').textContent(),
               /^The two runs make the same calls throughout: \d+ records of calls agree\.$/);
  await showTab(dump, 'Functions');
  const changes = await dump.locator('.stats tbody tr').evaluateAll((rows) =>
    rows.map((row) => [row.children[5].textContent, row.children[8].textContent, row.dataset.change]));
  assert.ok(changes.length > 10);
  assert.deepEqual(changes.filter((change) => change.join() !== '0,0,same'), []);
  assert.deepEqual(page.problems, []);
});
