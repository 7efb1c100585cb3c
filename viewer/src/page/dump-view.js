// One dump on the page, from a movie or a file: what the worker says of it
// while it reads, then its chart, its table of functions, its records and
// its downloads, all read from the worker's tables.

import { analyseRange, callOrder } from '../model/call-analysis.js';
import { FlameChart } from './flame-chart.js';
import { RecordsPager } from './records-pager.js';
import { clockBackSaid, formatMs } from '../model/format.js';
import { listen, request } from './dump-worker-client.js';
import { say } from './page-status.js';

// A frame's budget when the movie's frame rate is not known: 30 a second.
const DEFAULT_BUDGET = 1000 / 30;
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

// The first `count` rows of `stats`, those of the functions `found` marked.
function fillStats(body, stats, count, found = null) {
  body.replaceChildren(...stats.slice(0, count).map((row) => {
    const tr = document.createElement('tr');
    if (found?.has(row.name)) tr.className = 'found';
    for (const value of [row.name, row.calls, formatMs(row.total), formatMs(row.self), formatMs(row.max)]) {
      const td = document.createElement('td');
      td.textContent = String(value);
      tr.append(td);
    }
    return tr;
  }));
}

// The call tree as nested lists, each path with its calls, total and self
// time; the first levels open. A node shows its TREE_CHILDREN longest.
const TREE_CHILDREN = 40;
const TREE_OPEN = 2;

function treeList(nodes, depth = 0) {
  const list = document.createElement('ul');
  list.className = 'tree';
  for (const node of nodes.slice(0, TREE_CHILDREN)) {
    const item = document.createElement('li');
    const said = `${node.name}: ${node.calls} calls, ${formatMs(node.total)} ms, ${formatMs(node.self)} ms self`;
    if (node.children.length) {
      const fold = document.createElement('details');
      fold.open = depth < TREE_OPEN;
      const summary = document.createElement('summary');
      summary.textContent = said;
      fold.append(summary);
      // Folded levels are made when opened.
      const fill = () => {
        if (fold.childElementCount === 1) fold.append(treeList(node.children, depth + 1));
      };
      if (fold.open) fill();
      else fold.addEventListener('toggle', fill);
      item.append(fold);
    } else {
      item.textContent = said;
    }
    list.append(item);
  }
  if (nodes.length > TREE_CHILDREN) {
    const more = document.createElement('li');
    more.textContent = `and ${nodes.length - TREE_CHILDREN} more`;
    list.append(more);
  }
  return list;
}

// speedscope, when the server serves it: each dump opens there too.
const speedscope = fetch('speedscope/index.html', { method: 'HEAD' })
  .then((response) => response.ok).catch(() => false);

let dumpCount = 0;

export class DumpView {
  /**
   * `fromMovie`: a movie's dump, else a file's, named `title`. `started`:
   * when it was chosen or began to arrive, for data-drawn-ms.
   * `onCollecting(records)` hears how many a movie has handed over so far.
   * `budget`: a frame's budget in ms, the movie's when it is known.
   */
  constructor({ fromMovie, title, started = performance.now(), onCollecting = () => {}, budget = DEFAULT_BUDGET }) {
    this.onCollecting = onCollecting;
    this.budget = budget;
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
    this.onCollecting(records);
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
    if (model.clockBack.count) {
      const note = document.createElement('p');
      note.className = 'warning clock-back';
      note.textContent = clockBackSaid(model.clockBack);
      problems.append(note);
    }
    view.dataset.balanced = String(model.anomalyCount === 0 && model.errorCount === 0);
    view.querySelector('.dump-body').hidden = false;

    const pager = new RecordsPager(view.querySelector('.raw-records'), records, model.repeated,
      (from, count) => request(number, 'records', { from, count }).then((answer) => answer.records));
    view.querySelector('.raw summary').textContent = `Raw records (${records})`;

    this.model = model;
    this.pager = pager;
    this.chart = new FlameChart(view.querySelector('.chart'), model.calls, model.names, {
      onSelect: (call) => this.selectCall(call),
      onRange: (range) => this.selectRange(range),
      frames: model.frames, records, budget: this.budget,
    });
    this.offerFrames();
    // The tree of the whole dump is made when first asked for.
    view.querySelector('.analysis').addEventListener('toggle', (event) => {
      if (event.target.open && !this.analysis) this.analyse();
    });
    const axis = view.querySelector('.axis');
    axis.addEventListener('change', () => this.chart.setAxis(axis.value));
    new ResizeObserver(() => this.chart.draw()).observe(view.querySelector('.chart'));

    this.offerSearch();
    this.showStats(model.stats);
    this.offerExports();
    view.dataset.state = 'ready';
    view.dataset.drawnMs = (performance.now() - this.started).toFixed(0);
    say(this.fromMovie ? `Dump ${number} received: ${records} new records.` : `Dump ${number} opened: ${records} records.`);
  }

  // The table of functions: the longest first, any column sorts it, a row
  // finds its function on the chart.
  showStats(stats) {
    const body = this.view.querySelector('.stats tbody');
    const all = this.view.querySelector('.all-functions');
    this.table = { stats, rows: null, sortedBy: 'total', descending: true, shown: TABLE_ROWS };
    all.addEventListener('click', () => {
      this.table.shown = Infinity;
      this.fillTable();
    });
    for (const heading of this.view.querySelectorAll('.stats th[data-sort]')) {
      heading.addEventListener('click', () => {
        const { table } = this;
        const key = heading.dataset.sort;
        table.descending = key === table.sortedBy ? !table.descending : key !== 'name';
        table.sortedBy = key;
        table.rows = null;
        for (const other of this.view.querySelectorAll('.stats th')) other.removeAttribute('aria-sort');
        heading.setAttribute('aria-sort', table.descending ? 'descending' : 'ascending');
        this.fillTable();
      });
    }
    body.addEventListener('click', (event) => {
      const row = event.target.closest('tr');
      if (!row) return;
      const search = this.view.querySelector('.search');
      search.value = row.firstElementChild.textContent;
      this.selectedFunction = search.value;
      this.find(search.value, { exact: true });
      this.fillTable();
      this.showCallers();
    });
    this.fillTable();
  }

  // The table's rows in their order, sorted again only when the order or
  // the rows change (rows null), not for each letter typed in Find.
  fillTable() {
    const { stats, sortedBy, descending, shown } = this.table;
    const order = sortedBy === 'name' ? (a, b) => a.name.localeCompare(b.name) : (a, b) => a[sortedBy] - b[sortedBy];
    this.table.rows ??= [...stats].sort((a, b) => (descending ? -1 : 1) * order(a, b) || a.name.localeCompare(b.name));
    const { rows } = this.table;
    fillStats(this.view.querySelector('.stats tbody'), rows, shown, this.found);
    const all = this.view.querySelector('.all-functions');
    all.hidden = rows.length <= shown;
    all.textContent = `Show all ${rows.length} functions`;
  }

  // The stretch selected on the ruler, or none: the table, the call tree
  // and the callers are made for it.
  selectRange(range) {
    this.range = range;
    this.analysis = null;
    const details = this.view.querySelector('.analysis');
    if (range) details.open = true;
    this.analyse();
  }

  // What ran in the range, or in the whole dump.
  analyse() {
    const { calls, names } = this.model;
    const axis = this.chart.axis;
    const started = performance.now();
    this.order ??= callOrder(calls);
    this.analysis = analyseRange(calls, names, this.order,
                                 this.range ? { axis, from: this.range[0], to: this.range[1] } : {});
    const [from, to] = this.range ?? [];
    const scope = !this.range ? 'of the whole dump'
      : axis === 'time' ? `of ${formatMs(+(from + calls.origin).toFixed(1))} ms to ${formatMs(+(to + calls.origin).toFixed(1))} ms`
        : `of records ${Math.ceil(from) + 1} to ${Math.ceil(to)}`;
    this.view.querySelector('.analysis-scope').textContent = `${scope}: ${this.analysis.calls} calls`;
    this.view.querySelector('.functions-title').textContent = this.range ? `Functions ${scope}` : 'Functions';
    this.table.stats = this.range ? this.analysis.stats : this.model.stats;
    this.table.rows = null;
    this.fillTable();
    this.view.querySelector('.call-tree').replaceChildren(treeList(this.analysis.tree.children));
    this.showCallers();
    this.view.dataset.analysedMs = (performance.now() - started).toFixed(0);
  }

  // Who called the function selected last: by a call, or by its row.
  showCallers() {
    const box = this.view.querySelector('.callers');
    const wanted = this.selectedFunction;
    if (!wanted || !this.analysis) {
      box.replaceChildren();
      return;
    }
    const heading = document.createElement('h4');
    heading.textContent = `Callers of ${wanted}`;
    const list = document.createElement('ul');
    const [called] = this.analysis.around(wanted).callers.children;
    for (const row of called?.children ?? []) {
      const item = document.createElement('li');
      item.textContent = `${row.name}: ${row.calls} calls, ${formatMs(row.total)} ms`;
      list.append(item);
    }
    box.replaceChildren(heading, list);
  }

  // What the frame track says, and the budget it marks frames by.
  offerFrames() {
    const track = this.chart.frameTrack;
    const box = this.view.querySelector('.frames-note');
    if (!track) return;
    const input = box.querySelector('.budget');
    input.value = String(+this.budget.toFixed(1));
    const say = () => {
      box.querySelector('.frames-said').textContent =
        `${track.frames.count} frames, ${track.slowCount} over the budget; ] and [ on the chart go to the next and the previous.`;
    };
    input.addEventListener('change', () => {
      const budget = Number(input.value);
      if (!(budget > 0)) return;
      track.setBudget(budget);
      say();
    });
    say();
    box.hidden = false;
  }

  // The Find box: matching calls shown, the others dimmed; Enter goes to
  // the next call found.
  offerSearch() {
    const search = this.view.querySelector('.search');
    search.addEventListener('input', () => {
      this.find(search.value);
      this.fillTable();
    });
    search.addEventListener('keydown', (event) => {
      if (event.key !== 'Enter') return;
      event.preventDefault();
      this.nextFound();
    });
  }

  /** Finds the functions whose names hold `text` (any case), or are it (`exact`). */
  find(text, { exact = false } = {}) {
    const { names, stats } = this.model;
    const said = this.view.querySelector('.search-count');
    if (text === '') {
      this.found = null;
      this.chart.setMatches(null);
      said.textContent = '';
      return;
    }
    const wanted = text.toLowerCase();
    const matches = new Uint8Array(names.length);
    this.found = new Set();
    for (let i = 0; i < names.length; i++) {
      if (exact ? names[i] === text : names[i].toLowerCase().includes(wanted)) {
        matches[i] = 1;
        this.found.add(names[i]);
      }
    }
    let calls = 0;
    for (const row of stats) if (this.found.has(row.name)) calls += row.calls;
    this.matches = matches;
    this.chart.setMatches(matches);
    said.textContent = `${calls} calls of ${this.found.size} function(s) found` +
                       (calls ? '; Enter goes to the next.' : '.');
    this.view.dataset.found = String(calls);
  }

  // Selects the first call found after the one selected, in record order.
  nextFound() {
    const { calls } = this.model;
    if (!this.matches || !calls.count) return;
    const from = this.chart.selected;
    for (let step = 1; step <= calls.count; step++) {
      const id = (from + step + calls.count) % calls.count;
      if (this.matches[calls.name[id]]) {
        this.chart.zoomTo(id);
        this.selectCall(id);
        return;
      }
    }
  }

  /** Outlines call `id`, says what it is beside the chart, and marks its first record. */
  selectCall(id) {
    const { calls, names } = this.model;
    this.chart.select(id);
    const depth = this.chart.selectedDepth;
    const callers = this.chart.callersOf(id, depth).map((caller) => names[calls.name[caller]]);
    const details = this.view.querySelector('.call-details');
    const heading = document.createElement('h4');
    heading.textContent = names[calls.name[id]];
    const list = document.createElement('dl');
    const flags = calls.flags[id];
    for (const [term, value] of [
      ['start', `${formatMs(calls.start[id] + calls.origin)} ms`],
      ['duration', `${formatMs(calls.duration[id])} ms`],
      ['self', `${formatMs(calls.self[id])} ms`],
      ['depth', String(depth + 1)],
      ['records', `${this.model.repeated + calls.first[id] + 1} to ${this.model.repeated + calls.last[id] + 1}` +
                  (flags ? ' (not all recorded)' : '')],
      ['callers', callers.length ? callers.join(' ← ') : 'none: it is at the top'],
    ]) {
      const dt = document.createElement('dt');
      dt.textContent = term;
      const dd = document.createElement('dd');
      dd.textContent = value;
      list.append(dt, dd);
    }
    details.replaceChildren(heading, list);
    details.dataset.call = String(id);
    this.selectedFunction = names[calls.name[id]];
    this.showCallers();
    this.view.querySelector('.raw').open = true;
    this.pager.showRecord(calls.first[id], { mark: true });
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
