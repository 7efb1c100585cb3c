// One dump on the page, from a movie or a file: what the worker says of it
// while it reads, then its chart, its table of functions, its records and
// its downloads, all read from the worker's tables.

import { FlameChart } from './flame-chart.js';
import { RecordsPager } from './records-pager.js';
import { formatMs } from './report.js';
import { listen, request } from './dump-worker-client.js';
import { say } from './page-status.js';

// Shows this many rows of the table per function, then a button for the rest.
const TABLE_ROWS = 500;
// A blob handed to another tab or a download is let go after this long.
const BLOB_MS = 60000;

function download(filename, blob) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = filename;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), BLOB_MS);
}

// A line that says what went wrong, and the list of each, folded under it.
function problemList(title, items, count) {
  const box = document.createElement('details');
  const heading = document.createElement('summary');
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

// speedscope, when the server serves it: each dump opens there too.
const speedscope = fetch('speedscope/index.html', { method: 'HEAD' })
  .then((response) => response.ok).catch(() => false);

let dumpCount = 0;

export class DumpView {
  /**
   * `fromMovie`: a movie's dump, else a file's, named `title`. `started`:
   * when it was chosen or began to arrive, for data-drawn-ms.
   */
  constructor({ fromMovie, title, started = performance.now() }) {
    this.number = ++dumpCount;
    this.fromMovie = fromMovie;
    this.title = fromMovie ? `Dump ${this.number}` : `Dump ${this.number}: ${title}`;
    this.started = started;
    listen(this.number, this);
    const view = document.querySelector('#dump-template').content.firstElementChild.cloneNode(true);
    this.view = view;
    view.dataset.dump = String(this.number);
    view.dataset.state = 'reading';
    view.querySelector('.dump-title').textContent = this.title;
    view.querySelector('.dump-body').hidden = true;
    document.querySelector('#dumps').prepend(view);
  }

  summary(text) {
    this.view.querySelector('.dump-summary').textContent = text;
  }

  collecting({ records, pieces }) {
    this.view.dataset.state = 'collecting';
    this.view.dataset.pieces = String(pieces);
    this.view.dataset.records = String(records);
    this.summary(`Collecting: ${records} records handed over so far, in ${pieces} piece(s); ` +
                 'the rest come when F12 stops the tracer.');
    say(`Dump ${this.number}: ${records} records handed over so far.`);
  }

  progress({ records, fraction }) {
    const text = `Reading the dump: ${records} records read (${Math.round(fraction * 100)}%)...`;
    this.summary(text);
    say(`Dump ${this.number}: ${text}`);
  }

  failed({ records, message }) {
    this.view.dataset.state = 'failed';
    const text = `This dump could not be read${records ? ` after ${records} records` : ''}: ${message}`;
    this.summary(text);
    say(`Dump ${this.number}: ${text}`);
  }

  // What the dump holds, in a sentence.
  described(model) {
    const { records, repeated, incomplete, errorCount } = model;
    const span = records ? ` from ${model.firstTime} ms to ${model.lastTime} ms` : '';
    if (!records) {
      return errorCount ? `No records: the dump holds ${errorCount} piece(s) of text, none of them a record.`
        : 'No records: the dump is empty.';
    }
    if (!this.fromMovie) return `${records} records${span}.`;
    return `${records} new records${span}` +
      (repeated ? `; the ${repeated} records before them repeat dump ${this.number - 1} (the tracer keeps its ` +
                  'whole history) and are not shown again.' : '.') +
      (incomplete ? ' Incomplete: another movie was loaded before this one saved; these are the records it ' +
                    'had handed over.' : '');
  }

  async ready(model) {
    const { view, number } = this;
    const { records } = model;
    this.summary(`Drawing ${records} records...`);
    say(`Dump ${number}: drawing ${records} records...`);
    // Shown before the drawing starts (a hidden page has no frames).
    await new Promise((done) => {
      requestAnimationFrame(() => setTimeout(done, 0));
      setTimeout(done, 100);
    });
    this.summary(this.described(model));
    if (model.incomplete) view.dataset.incomplete = 'true';

    const problems = view.querySelector('.problems');
    if (model.errorCount) {
      problems.append(problemList(`${model.errorCount} piece(s) of the dump are no record:`,
        model.errors.map((e) => `after record ${e.position}: ${JSON.stringify(e.text)}`), model.errorCount));
    }
    if (model.anomalyCount) {
      problems.append(problemList(`${model.anomalyCount} enter/exit record(s) do not pair up: most likely ` +
        'functions left by an exception (throw), which records no exit; their calls are closed where the ' +
        'records go on.',
        model.anomalies.map((a) => a.text), model.anomalyCount));
    }
    view.dataset.balanced = String(model.anomalyCount === 0 && model.errorCount === 0);
    view.querySelector('.dump-body').hidden = false;

    const pager = new RecordsPager(view.querySelector('.raw-records'), records, model.repeated,
      (from, count) => request(number, 'records', { from, count }).then((answer) => answer.records));
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

    this.showStats(model.stats);
    this.offerExports();
    view.dataset.state = 'ready';
    view.dataset.drawnMs = (performance.now() - this.started).toFixed(0);
    say(this.fromMovie ? `Dump ${number} received: ${records} new records.` : `Dump ${number} opened: ${records} records.`);
  }

  showStats(stats) {
    const body = this.view.querySelector('.stats tbody');
    fillStats(body, stats, TABLE_ROWS);
    const all = this.view.querySelector('.all-functions');
    all.hidden = stats.length <= TABLE_ROWS;
    all.textContent = `Show all ${stats.length} functions`;
    all.addEventListener('click', () => {
      fillStats(body, stats, stats.length);
      all.hidden = true;
    });
  }

  offerExports() {
    const { view, number } = this;
    const said = view.querySelector('.export-problem');
    // An export made, or what kept it from being made, said on the page.
    const exported = async (format) => {
      said.hidden = true;
      try {
        return (await request(number, 'export', { format })).blob;
      } catch (error) {
        said.textContent = `No ${format} export: ${error.message}.`;
        said.hidden = false;
        return null;
      }
    };
    const offer = (selector, format, filename) => view.querySelector(selector).addEventListener('click', async () => {
      const blob = await exported(format);
      if (blob) download(filename, blob);
    });
    offer('.download-text', 'text', `trace-dump-${number}.txt`);
    offer('.download-chrome', 'chrome', `trace-dump-${number}.json`);
    offer('.download-speedscope', 'speedscope', `trace-dump-${number}.speedscope.json`);
    const open = view.querySelector('.open-speedscope');
    speedscope.then((served) => { open.hidden = !served; });
    open.addEventListener('click', async () => {
      // The tab is opened now, while the click still counts as the user's.
      const tab = window.open('', '_blank');
      const blob = await exported('speedscope');
      if (!blob) {
        tab.close();
        return;
      }
      const url = URL.createObjectURL(blob);
      setTimeout(() => URL.revokeObjectURL(url), BLOB_MS);
      tab.location.href = `speedscope/index.html#profileURL=${encodeURIComponent(url)}&title=${encodeURIComponent(this.title)}`;
    });
  }
}
