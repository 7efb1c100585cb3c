// The page: loads a movie into Ruffle, traced by the server first when it
// has no tracer, catches the records its tracer hands over, and shows
// each dump; opens dump files too. Dumps are read by a worker, so that one
// of millions of records leaves the page responsive.

import { FlameChart } from './flame-chart.js';
import { RecordsPager } from './records-pager.js';
import { formatMs } from './report.js';
import { movieSignature, tracerOf } from './swf.js';

const status = document.querySelector('#status');
const problem = document.querySelector('#problem');
const playerBox = document.querySelector('#player');
const toggle = document.querySelector('#toggle');
let player = null;

function say(text) {
  status.textContent = text;
  problem.hidden = true;
}

// A step of loading that failed: what, why, and what its tool said.
function sayProblem(title, message, output = '') {
  status.textContent = '';
  problem.querySelector('.problem-title').textContent = title;
  problem.querySelector('.problem-message').textContent = message.charAt(0).toUpperCase() + message.slice(1);
  const said = problem.querySelector('.problem-output');
  said.textContent = output;
  said.hidden = !output;
  problem.hidden = false;
  document.body.dataset.movie = 'failed';
}

function download(filename, blob) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = filename;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

function problemList(title, items, count) {
  const box = document.createElement('div');
  const heading = document.createElement('p');
  heading.className = 'warning';
  heading.textContent = title;
  const list = document.createElement('ul');
  for (const text of items) {
    const item = document.createElement('li');
    item.textContent = text;
    list.append(item);
  }
  if (count > items.length) {
    const more = document.createElement('li');
    more.textContent = `and ${count - items.length} more`;
    list.append(more);
  }
  box.append(heading, list);
  return box;
}

// The worker that reads the dumps, and what waits for its answers.
const worker = new Worker(new URL('./dump-worker.js', import.meta.url), { type: 'module' });
const views = new Map();
const answers = new Map();
worker.onmessage = ({ data }) => {
  const key = `${data.type} ${data.id} ${data.from ?? data.format ?? ''}`;
  if (answers.has(key)) {
    answers.get(key)(data);
    answers.delete(key);
    return;
  }
  views.get(data.id)?.[data.type]?.(data);
};

function ask(message, answerType, detail = '') {
  return new Promise((done) => {
    answers.set(`${answerType} ${message.id} ${detail}`, done);
    worker.postMessage(message);
  });
}

// speedscope, when the server serves it: each dump opens there too.
const speedscope = fetch('speedscope/index.html', { method: 'HEAD' })
  .then((response) => response.ok).catch(() => false);

// Shows `count` rows of the table per function, then a button for the rest.
const TABLE_ROWS = 500;

function fillStats(body, stats, count) {
  body.replaceChildren(...stats.slice(0, count).map((row) => {
    const tr = document.createElement('tr');
    for (const value of [row.name, row.calls, formatMs(row.total), formatMs(row.self), formatMs(row.max)]) {
      const td = document.createElement('td');
      td.textContent = String(value);
      tr.append(td);
    }
    return tr;
  }));
}

let dumpCount = 0;
// The dump a movie is handing over in pieces, until its save.
let collecting = null;

/** One dump on the page, from a movie or a file. */
class DumpView {
  // `started`: when the dump was chosen or arrived, for data-drawn-ms.
  constructor({ fromMovie, title, started = performance.now() }) {
    this.number = ++dumpCount;
    this.id = this.number;
    this.fromMovie = fromMovie;
    this.title = title;
    this.started = started;
    views.set(this.id, this);
    const view = document.querySelector('#dump-template').content.firstElementChild.cloneNode(true);
    this.view = view;
    view.dataset.dump = String(this.number);
    view.dataset.state = 'reading';
    view.querySelector('.dump-title').textContent = fromMovie ? `Dump ${this.number}` : `Dump ${this.number}: ${title}`;
    view.querySelector('.dump-body').hidden = true;
    document.querySelector('#dumps').prepend(view);
  }

  summary(text) {
    this.view.querySelector('.dump-summary').textContent = text;
  }

  collecting({ records, pieces }) {
    this.view.dataset.state = 'collecting';
    this.view.dataset.pieces = String(pieces);
    this.summary(`Collecting: ${records} records handed over so far, in ${pieces} piece(s); ` +
                 'the rest come when F12 stops the tracer.');
    say(`Dump ${this.number}: ${records} records handed over so far.`);
  }

  progress({ records, fraction }) {
    const text = `Reading the dump: ${records} records read (${Math.round(fraction * 100)}%)...`;
    this.summary(text);
    say(`Dump ${this.number}: ${text}`);
  }

  failed({ message }) {
    this.view.dataset.state = 'failed';
    this.summary(`This dump could not be read: ${message}`);
  }

  async ready(model) {
    const { view, number } = this;
    const records = model.records;
    this.summary(`Drawing ${records} records...`);
    say(`Dump ${number}: drawing ${records} records...`);
    // Shown before the drawing starts (a hidden page has no frames).
    await new Promise((done) => {
      requestAnimationFrame(() => setTimeout(done, 0));
      setTimeout(done, 100);
    });
    const span = records ? ` from ${model.firstTime} ms to ${model.lastTime} ms` : '';
    const repeated = model.repeated;
    view.querySelector('.dump-summary').textContent = this.fromMovie
      ? `${records} new records${span}` +
        (repeated ? `; the ${repeated} records before them repeat dump ${number - 1} (the tracer keeps its whole history) and are not shown again.` : '.')
      : `${records} records${span}.`;

    const problems = view.querySelector('.problems');
    if (model.errorCount) {
      problems.append(problemList(`${model.errorCount} piece(s) of the dump are no record:`,
        model.errors.map((e) => `after record ${e.position}: ${JSON.stringify(e.text)}`), model.errorCount));
    }
    if (model.anomalyCount) {
      problems.append(problemList(`${model.anomalyCount} enter/exit record(s) do not pair up:`,
        model.anomalies.map((a) => a.text), model.anomalyCount));
    }
    view.dataset.balanced = String(model.anomalyCount === 0 && model.errorCount === 0);
    view.querySelector('.dump-body').hidden = false;

    const pager = new RecordsPager(view.querySelector('.raw-records'), records, repeated,
      (from, count) => ask({ type: 'records', id: this.id, from, count }, 'records', from)
        .then((answer) => answer.records));
    view.querySelector('.raw summary').textContent = `Raw records (${records})`;

    const chart = new FlameChart(view.querySelector('.chart'), model.calls, model.names, {
      onSelect: (call) => {
        view.querySelector('.raw').open = true;
        pager.showRecord(model.calls.first[call]);
      },
    });
    const axis = view.querySelector('.axis');
    axis.addEventListener('change', () => chart.setAxis(axis.value));
    new ResizeObserver(() => chart.draw()).observe(view.querySelector('.chart'));

    const body = view.querySelector('.stats tbody');
    fillStats(body, model.stats, TABLE_ROWS);
    const all = view.querySelector('.all-functions');
    all.hidden = model.stats.length <= TABLE_ROWS;
    all.textContent = `Show all ${model.stats.length} functions`;
    all.addEventListener('click', () => {
      fillStats(body, model.stats, model.stats.length);
      all.hidden = true;
    });

    const exported = (format) => ask({ type: 'export', id: this.id, format }, 'export', format)
      .then((answer) => answer.blob);
    view.querySelector('.download-text').addEventListener('click', async () =>
      download(`trace-dump-${number}.txt`, await exported('text')));
    view.querySelector('.download-chrome').addEventListener('click', async () =>
      download(`trace-dump-${number}.json`, await exported('chrome')));
    view.querySelector('.download-speedscope').addEventListener('click', async () =>
      download(`trace-dump-${number}.speedscope.json`, await exported('speedscope')));
    const open = view.querySelector('.open-speedscope');
    speedscope.then((served) => { open.hidden = !served; });
    open.addEventListener('click', async () => {
      // The tab is opened now, while the click still counts as the user's.
      const tab = window.open('', '_blank');
      const url = URL.createObjectURL(await exported('speedscope'));
      const title = encodeURIComponent(view.querySelector('.dump-title').textContent);
      tab.location.href = `speedscope/index.html#profileURL=${encodeURIComponent(url)}&title=${title}`;
    });

    view.dataset.state = 'ready';
    view.dataset.drawnMs = (performance.now() - this.started).toFixed(0);
    say(this.fromMovie ? `Dump ${number} received: ${records} new records.` : `Dump ${number} opened: ${records} records.`);
  }
}

// A movie hands its records over in pieces while it collects, when its
// tracer was made to, and the rest with its save.
function recordsFromMovie(command, text) {
  const started = performance.now();
  if (command === 'records') {
    collecting ??= new DumpView({ fromMovie: true, started });
    worker.postMessage({ type: 'piece', id: collecting.id, text });
    return;
  }
  const dump = collecting ?? new DumpView({ fromMovie: true, started });
  collecting = null;
  worker.postMessage({ type: 'dump', id: dump.id, text, fromMovie: true, title: `Dump ${dump.number}` });
}

/** Shows the dump in `file` (a File or a Blob), read by the worker. */
function openDump(file, title, started) {
  const dump = new DumpView({ fromMovie: false, title, started });
  say(`Reading ${title}...`);
  worker.postMessage({ type: 'dump', id: dump.id, file, fromMovie: false, title });
}

// What vimbrel put into a movie's bytes, read here, so that a traced movie
// plays without the server.
async function tracerInBytes(buffer) {
  const bytes = new Uint8Array(buffer);
  const signature = movieSignature(bytes);
  if (!signature || signature === 'ZWS') return { traced: false, collectsFromStart: false };
  let body = bytes.subarray(8);
  if (signature === 'CWS') {
    try {
      const inflated = new Blob([body]).stream().pipeThrough(new DecompressionStream('deflate'));
      body = new Uint8Array(await new Response(inflated).arrayBuffer());
    } catch {
      // A movie cut short: what inflated before the break is all we read.
      return { traced: false, collectsFromStart: false };
    }
  }
  return tracerOf(body);
}

// A movie without a tracer, sent to the server, which traces a copy.
// Resolves to a URL of it, or to null when that failed.
async function tracedCopy(bytes, label) {
  say(`Tracing ${label}: the server looks for a tracer and, without one, adds it ` +
      '(flasm -d, vimbrel --clock=date --flush-every=50000, flasm -a)...');
  let response;
  try {
    response = await fetch('trace?clock=date', {
      method: 'POST', body: bytes, headers: { 'Content-Type': 'application/x-shockwave-flash' },
    });
  } catch (error) {
    sayProblem(`Could not trace ${label}`, `The viewer's server does not answer: ${error.message}`);
    return null;
  }
  if (!response.ok) {
    const failed = await response.json().catch(() => ({ step: 'tracing', message: response.statusText }));
    sayProblem(`Could not trace ${label}: ${failed.step} failed`, failed.message, failed.output);
    return null;
  }
  const how = response.headers.get('X-Vimbrel-Traced');
  const blob = await response.blob();
  const { collectsFromStart } = await tracerInBytes(await blob.arrayBuffer());
  return { url: URL.createObjectURL(blob), traced: how, collectsFromStart };
}

// A movie the page opens by its URL plays from that URL, so that what it
// loads by relative paths is found beside it. A folder of movies that the
// server serves (npm start -- --movies DIR) traces it, and what it loads,
// on request.
async function movieFromUrl(url, label) {
  say(`Fetching ${label}...`);
  let response;
  let bytes;
  try {
    response = await fetch(url);
    if (!response.ok) throw new Error(`${response.status} ${response.statusText}`);
    bytes = await response.arrayBuffer();
  } catch (error) {
    sayProblem(`Could not fetch ${label}`, error.message);
    return null;
  }
  const how = response.headers.get('X-Vimbrel-Traced');
  if (how === 'failed') {
    const failed = JSON.parse(decodeURIComponent(response.headers.get('X-Vimbrel-Problem') ?? '%7B%7D'));
    sayProblem(`Could not trace ${label}: ${failed.step} failed`, failed.message ?? '', failed.output);
    return null;
  }
  const tracer = await tracerInBytes(bytes);
  if (!tracer.traced) return tracedCopy(bytes, label);
  // What it loads by a relative path is beside it; Ruffle resolves
  // against the page unless told.
  const base = new URL('.', new URL(url, location.href)).href;
  return { url, base, traced: how === 'now' ? 'now' : 'already', collectsFromStart: tracer.collectsFromStart };
}

async function movieFromFile(file, label) {
  const bytes = await file.arrayBuffer();
  const tracer = await tracerInBytes(bytes);
  if (!tracer.traced) return tracedCopy(bytes, label);
  return { url: URL.createObjectURL(file), traced: 'already', collectsFromStart: tracer.collectsFromStart };
}

async function loadMovie(source, label) {
  if (!window.RufflePlayer) {
    say('The Ruffle player is missing: run "npm install" in viewer/.');
    return;
  }
  document.body.dataset.movie = 'loading';
  const movie = source instanceof Blob ? await movieFromFile(source, label)
    : await movieFromUrl(source, label);
  if (!movie) return;
  const url = movie.url;
  if (player) player.remove();
  player = window.RufflePlayer.newest().createPlayer();
  playerBox.replaceChildren(player);
  const api = player.ruffle();
  say(`Loading ${label}...`);
  try {
    await api.load({ url, base: movie.base ?? null, autoplay: 'on', splashScreen: false,
                     unmuteOverlay: 'hidden', openUrlMode: 'deny', preferredRenderer: 'canvas',
                     allowScriptAccess: true });
    api.traceObserver = (message) => console.log(`[movie] ${message}`);
    api.addFSCommandHandler((command, args) => {
      console.log(`[fscommand] ${command}`);
      if (command !== 'save' && command !== 'records') return false;
      recordsFromMovie(command, String(args));
      return true;
    });
    toggle.disabled = false;
    document.body.dataset.movie = 'loaded';
    document.body.dataset.traced = movie.traced;
    say(`${label} is playing${movie.traced === 'now' ? ', traced by the server' : ''}. ` +
        (movie.collectsFromStart
          ? 'Its tracer collects from its start: click it, then press F12 to see the records.'
          : 'Click it, then press F12 to start collecting.'));
  } catch (error) {
    sayProblem(`Could not play ${label}`, String(error.message ?? error));
  }
}

// Some browsers keep F12 for their developer tools: send the key ourselves.
toggle.addEventListener('click', () => {
  if (!player) return;
  player.focus();
  for (const type of ['keydown', 'keyup']) {
    player.dispatchEvent(new KeyboardEvent(type, { key: 'F12', code: 'F12', keyCode: 123, which: 123, bubbles: true }));
  }
});

// A file chosen or dropped: a movie, or a dump (records joined by commas).
async function openFile(file) {
  const started = performance.now();
  const head = new Uint8Array(await file.slice(0, 8).arrayBuffer());
  if (movieSignature(head) || /\.swf$/i.test(file.name)) loadMovie(file, file.name);
  else openDump(file, file.name, started);
}

document.querySelector('#file').addEventListener('change', (event) => {
  const [file] = event.target.files;
  if (file) openFile(file);
});

const drop = document.querySelector('#drop');
drop.addEventListener('dragover', (event) => {
  event.preventDefault();
  drop.classList.add('over');
});
drop.addEventListener('dragleave', () => drop.classList.remove('over'));
drop.addEventListener('drop', (event) => {
  event.preventDefault();
  drop.classList.remove('over');
  const [file] = event.dataTransfer.files;
  if (file) openFile(file);
});

async function openDumpUrl(url) {
  say(`Fetching ${url}...`);
  try {
    const response = await fetch(url);
    if (!response.ok) throw new Error(`${response.status} ${response.statusText}`);
    openDump(await response.blob(), url);
  } catch (error) {
    sayProblem(`Could not fetch ${url}`, error.message);
  }
}

const query = new URLSearchParams(location.search);
if (query.get('movie')) loadMovie(query.get('movie'), query.get('movie'));
if (query.get('dump')) openDumpUrl(query.get('dump'));
