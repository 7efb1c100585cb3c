// The page: loads a movie into Ruffle, traced by the server first when it
// has no tracer, catches the tracer's "save" command and shows each dump.

import { parseDump, repeatedPrefix, buildCallTree, functionStats, toChromeTrace } from './trace.js';
import { drawCalls } from './chart.js';
import { movieSignature, tracerOf } from './swf.js';

const status = document.querySelector('#status');
const problem = document.querySelector('#problem');
const playerBox = document.querySelector('#player');
const toggle = document.querySelector('#toggle');
const dumps = [];
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

function download(filename, type, content) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([content], { type }));
  link.download = filename;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
}

function formatMs(value) {
  return Number.isInteger(value) ? String(value) : value.toFixed(1);
}

function problemList(title, items) {
  const box = document.createElement('div');
  const heading = document.createElement('p');
  heading.className = 'warning';
  heading.textContent = title;
  const list = document.createElement('ul');
  for (const text of items.slice(0, 20)) {
    const item = document.createElement('li');
    item.textContent = text;
    list.append(item);
  }
  if (items.length > 20) {
    const more = document.createElement('li');
    more.textContent = `and ${items.length - 20} more`;
    list.append(more);
  }
  box.append(heading, list);
  return box;
}

function showDump(text) {
  const number = dumps.length + 1;
  const { records, errors } = parseDump(text);
  const previous = dumps.at(-1);
  const repeated = previous ? repeatedPrefix(previous.records, records) : 0;
  const fresh = records.slice(repeated);
  const { roots, anomalies } = buildCallTree(fresh);
  dumps.push({ text, records });

  const view = document.querySelector('#dump-template').content.firstElementChild.cloneNode(true);
  view.dataset.dump = String(number);
  view.querySelector('.dump-title').textContent = `Dump ${number}`;
  const span = fresh.length ? ` from ${fresh[0].time} ms to ${fresh.at(-1).time} ms` : '';
  view.querySelector('.dump-summary').textContent =
    `${fresh.length} new records${span}` +
    (repeated ? `; the ${repeated} records before them repeat dump ${number - 1} (the tracer keeps its whole history) and are not shown again.` : '.');

  const problems = view.querySelector('.problems');
  if (errors.length) {
    problems.append(problemList(`${errors.length} piece(s) of the dump are no record:`,
      errors.map((e) => `after record ${e.position}: ${JSON.stringify(e.text)}`)));
  }
  if (anomalies.length) {
    problems.append(problemList(`${anomalies.length} enter/exit record(s) do not pair up:`,
      anomalies.map((a) => a.text)));
  }
  view.dataset.balanced = String(anomalies.length === 0 && errors.length === 0);

  const chart = view.querySelector('.chart');
  const axis = view.querySelector('.axis');
  const redraw = () => {
    chart.replaceChildren(drawCalls(roots, axis.value, Math.max(chart.clientWidth, 600)));
  };
  axis.addEventListener('change', redraw);

  const body = view.querySelector('.stats tbody');
  for (const row of functionStats(roots)) {
    const tr = document.createElement('tr');
    for (const value of [row.name, row.calls, formatMs(row.total), formatMs(row.self), formatMs(row.max)]) {
      const td = document.createElement('td');
      td.textContent = String(value);
      tr.append(td);
    }
    body.append(tr);
  }

  const list = view.querySelector('.records');
  list.start = repeated + 1;
  for (const record of fresh) {
    const item = document.createElement('li');
    item.className = record.kind === 'Enter' ? 'enter' : 'exit';
    item.textContent = `${record.name} ${record.kind} ${record.time}`;
    list.append(item);
  }
  view.querySelector('.raw summary').textContent = `Raw records (${fresh.length})`;

  view.querySelector('.download-text').addEventListener('click', () =>
    download(`trace-dump-${number}.txt`, 'text/plain', text));
  view.querySelector('.download-chrome').addEventListener('click', () =>
    download(`trace-dump-${number}.json`, 'application/json', JSON.stringify(toChromeTrace(roots))));

  document.querySelector('#dumps').prepend(view);
  redraw();
  say(`Dump ${number} received: ${fresh.length} new records.`);
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
      '(flasm -d, vimbrel --clock=date, flasm -a)...');
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
      if (command !== 'save') return false;
      showDump(String(args));
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

document.querySelector('#file').addEventListener('change', (event) => {
  const [file] = event.target.files;
  if (file) loadMovie(file, file.name);
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
  if (file) loadMovie(file, file.name);
});

const requested = new URLSearchParams(location.search).get('movie');
if (requested) loadMovie(requested, requested);
