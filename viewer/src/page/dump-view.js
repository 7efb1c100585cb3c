// One dump on the page, from a movie or a file: what the worker says of it
// while it reads, then its chart (with the frames and the overview above
// it) and the panel of tabs below, all showing one selection: a call, a
// function, a path, a stretch or a frame chosen anywhere is shown in every
// view. The views are modules of their own; this is the dump's life and
// the wiring between them.

import { analyseRange, callOrder } from '../model/call-analysis.js';
import { formatMs } from '../model/format.js';
import { writeInput } from '../model/input-format.js';
import { bottomUpView } from './bottom-up-view.js';
import { CallDetails } from './call-details.js';
import { CompareView } from './compare-view.js';
import { callTreeView } from './call-tree-view.js';
import { showProblems } from './dump-problems.js';
import { dumpTabs } from './dump-tabs.js';
import { listen, request, tell } from './dump-worker-client.js';
import { OutputView } from './output-view.js';
import { download, offerExports } from './downloads.js';
import { Find } from './find.js';
import { FlameChart } from './flame-chart.js';
import { FunctionTableView } from './function-table-view.js';
import { say } from './page-status.js';
import { PanelTabs } from './panel-tabs.js';
import { RecordsPager } from './records-pager.js';
import { SandwichView } from './sandwich-view.js';
import { Selection } from './selection.js';
import { writeViewLink } from './view-link.js';

// A frame's budget when the movie's frame rate is not known: 30 a second.
const DEFAULT_BUDGET = 1000 / 30;

let dumpCount = 0;

export class DumpView {
  /**
   * `fromMovie`: a movie's dump, else a file's, named `title`. `started`:
   * when it was chosen or began to arrive, for data-drawn-ms.
   * `onCollecting(records)` hears how many a movie has handed over so far.
   * `budget`: a frame's budget in ms, the movie's when it is known.
   * `link`: the view a link asks for (view-link.js's), shown once ready.
   */
  constructor({ fromMovie, title, started = performance.now(), onCollecting = () => {}, budget = DEFAULT_BUDGET,
                link = null }) {
    this.onCollecting = onCollecting;
    this.budget = budget;
    this.link = link;
    this.number = ++dumpCount;
    this.fromMovie = fromMovie;
    this.title = fromMovie ? `Dump ${this.number}` : `Dump ${this.number}: ${title}`;
    this.started = started;
    this.selection = new Selection();
    listen(this.number, this);
    const view = document.querySelector('#dump-template').content.firstElementChild.cloneNode(true);
    this.view = view;
    view.dataset.dump = String(this.number);
    view.dataset.state = 'reading';
    view.querySelector('.dump-title').textContent = this.title;
    view.querySelector('.dump-body').hidden = true;
    document.querySelector('#dumps').append(view);
    dumpTabs.add(this);
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
    this.model = model;
    this.summary(this.described(model));
    if (model.incomplete) view.dataset.incomplete = 'true';
    view.dataset.balanced = String(model.anomalyCount === 0 && model.errorCount === 0);
    view.querySelector('.dump-body').hidden = false;
    this.order = callOrder(model.calls);

    const problems = showProblems(view.querySelector('.tab[data-tab="problems"]'), model);
    this.pager = new RecordsPager(view.querySelector('.tab[data-tab="records"]'), records, model.repeated,
      (from, count) => request(number, 'records', { from, count }).then((answer) => answer.records));
    this.details = new CallDetails(view.querySelector('.call-details'));
    const select = (partial) => this.selection.set(partial);
    this.table = new FunctionTableView(view.querySelector('.tab[data-tab="functions"]'), { on: {
      select: (name) => select({ function: name, call: -1, path: null }),
    } });
    this.table.setCutShort(model.cutShort.byName);
    this.callTree = callTreeView(view.querySelector('.tab[data-tab="call-tree"]'), { on: {
      select: (names) => select({ path: { kind: 'top-down', names }, function: names.at(-1), call: -1 }),
    } });
    this.bottomUp = bottomUpView(view.querySelector('.tab[data-tab="bottom-up"]'), { on: {
      select: (names) => select({ path: { kind: 'bottom-up', names }, function: names[0], call: -1 }),
    } });
    this.sandwich = new SandwichView(view.querySelector('.tab[data-tab="sandwich"]'), { on: {
      select: (path) => select({ path, call: -1 }),
    } });
    new OutputView(view.querySelector('.tab[data-tab="output"]'), model, { on: {
      select: (id) => {
        this.chart.zoomTo(id);
        select({ call: id, function: model.names[model.calls.name[id]], path: null });
      },
    } });
    if (model.traces.count) view.querySelector('.tab-button[data-tab="output"]').dataset.lines = String(model.traces.count);
    // Records carry times when they are not all of one millisecond.
    const axis = this.link?.axis ?? (model.lastTime > model.firstTime ? 'time' : 'sequence');
    view.querySelector('.axis').value = axis;
    this.chart = new FlameChart(view.querySelector('.chart'), view.querySelector('.tracks'), model.calls, model.names, {
      frames: model.frames, traces: model.traces, records, end: records ? model.lastTime - model.firstTime : 0,
      budget: this.budget, axis,
      on: {
        call: (id) => select({ call: id, function: model.names[model.calls.name[id]], path: null }),
        range: (range) => select({ range, frame: -1 }),
        frame: (frame) => this.selectFrame(frame),
      },
    });
    this.tabs = new PanelTabs(view.querySelector('.panel'), view.querySelector('.splitter'),
                              view.querySelector('.dump-body'), { on: {
      show: (tab) => this.shown(tab),
      resize: () => {
        this.chart.draw();
        if (this.tabs?.current === 'compare') this.compareView.draw();
      },
    } });
    this.tabs.mark('problems', problems);
    this.compareView = new CompareView(view.querySelector('.tab[data-tab="compare"]'), { on: {
      select: (name) => select({ function: name, call: -1, path: null }),
    } });
    view.querySelector('.compare-base').addEventListener('change', (event) => {
      this.compareWith(event.target.value === '' ? null : dumpTabs.byNumber(Number(event.target.value)));
    });
    this.find = new Find(view.querySelector('.search'), view.querySelector('.search-count'), model, { on: {
      found: () => this.light(),
      next: () => this.nextFound(),
    } });
    this.offerFrames();
    view.querySelector('.axis').addEventListener('change', (event) => {
      this.selection.set({ range: null, frame: -1 });
      this.chart.setAxis(event.target.value);
      this.writeLink();
    });
    new ResizeObserver(() => this.chart.draw()).observe(view.querySelector('.chart'));
    offerExports(view, number, this.title);
    this.selection.listen((state, changed) => this.apply(state, changed));
    this.analyse();
    // A comparison is not in a link: its base is another dump.
    this.tabs.show(this.link?.tab && this.link.tab !== 'compare' ? this.link.tab : 'functions');
    if (this.link) this.follow(this.link);
    view.dataset.state = 'ready';
    view.dataset.drawnMs = (performance.now() - this.started).toFixed(0);
    dumpTabs.offerBases();
    say(this.fromMovie ? `Dump ${number} received: ${records} new records.` : `Dump ${number} opened: ${records} records.`);
  }

  // The view that a link asks for: its stretch and its function.
  follow({ range, function: name }) {
    if (range) {
      this.chart.fit(range[0], range[1]);
      this.selection.set({ range });
    }
    if (name !== undefined && this.model.names.includes(name)) this.selection.set({ function: name });
  }

  /** What the selection changed, shown in every view. */
  apply(state, changed) {
    const started = performance.now();
    const { chart } = this;
    if (changed.has('range')) {
      chart.selectRange(state.range, { tell: false });
      this.analyse();
    }
    if (changed.has('call')) {
      chart.select(state.call);
      if (state.call >= 0) {
        const { first } = this.model.calls;
        this.pager.showRecord(first[state.call], { mark: true });
      }
    }
    this.light();
    this.table.setSelected(state.function);
    this.revealInTrees(state);
    if (changed.has('function') || changed.has('range')) this.sandwich.show(this.analysis, state.function);
    if (state.path && state.path.kind !== 'top-down' && this.sandwich.name === state.function) {
      this.sandwich.reveal(state.path);
    }
    this.describe(state);
    this.writeLink();
    this.view.dataset.selectedMs = (performance.now() - started).toFixed(1);
  }

  // The trees' rows of what is selected, in the trees made: the path, else
  // the call's path, else the function.
  revealInTrees({ call, function: name, path }) {
    if (this.callTree.shown === this.analysis) {
      this.callTree.markFunction(name);
      if (path?.kind === 'top-down') this.callTree.reveal(path.names);
      else if (call >= 0) this.callTree.reveal(this.pathOf(call));
    }
    if (this.bottomUp.shown === this.analysis) {
      if (path?.kind === 'bottom-up') this.bottomUp.reveal(path.names);
      else if (name !== null) this.bottomUp.reveal([name]);
    }
  }

  // The names from the top of the stretch down to call `id`.
  pathOf(id) {
    const { calls, names } = this.model;
    const depth = this.chart.rows.depthOf(id);
    const { range } = this.selection.state;
    const begin = this.chart.axis === 'time' ? calls.start : calls.first;
    const held = this.chart.rows.callersOf(id, depth).reverse()
      .filter((caller) => !range || (begin[caller] >= range[0] && begin[caller] < range[1]));
    return [...held, id].map((call) => names[calls.name[call]]);
  }

  // Which calls the chart lights: a path's, else a function's, else those
  // found.
  light() {
    const { calls, names } = this.model;
    const { path, function: name } = this.selection.state;
    let lit = null;
    if (path) {
      const mask = this.analysis.callsOn(path);
      lit = (id) => mask[id] === 1;
    } else if (name !== null) {
      const key = names.indexOf(name);
      lit = (id) => calls.name[id] === key;
    } else if (this.find.found) {
      const { byName } = this.find.found;
      lit = (id) => byName[calls.name[id]] === 1;
    }
    this.table.setFound(this.find.found?.names ?? null);
    this.chart.setLit(lit);
  }

  describe({ call, function: name }) {
    if (call >= 0) {
      const depth = this.chart.selected.depth;
      this.details.showCall(this.model, call, depth, this.chart.rows.callersOf(call, depth));
    } else if (name !== null) {
      const row = this.stats.find((candidate) => candidate.name === name);
      if (row) this.details.showFunction(row, this.scope);
      else this.details.hint();
    } else {
      this.details.hint();
    }
  }

  // What ran in the stretch selected, or in the whole dump: the table is
  // made for it, and the trees when their tabs are shown.
  analyse() {
    const { calls, names } = this.model;
    const { range } = this.selection.state;
    const { axis } = this.chart;
    const started = performance.now();
    this.analysis = analyseRange(calls, names, this.order, range ? { axis, from: range[0], to: range[1] } : {});
    // The whole dump's table is the worker's.
    this.stats = range ? this.analysis.stats : this.model.stats;
    const [from, to] = range ?? [];
    this.scope = !range ? 'the whole dump'
      : axis === 'time' ? `${formatMs(+(from + calls.origin).toFixed(1))} ms to ${formatMs(+(to + calls.origin).toFixed(1))} ms`
        : `records ${Math.ceil(from) + 1} to ${Math.ceil(to)}`;
    const count = range ? this.analysis.calls : calls.count;
    this.view.querySelector('.analysis-scope').textContent = `Of ${this.scope}: ${count} calls`;
    // A comparison is of the whole dumps: a stretch shows its own table.
    if (this.comparison && !range) this.table.showComparison(this.comparison.functions);
    else this.table.show(this.stats);
    if (this.tabs) this.makeTab(this.tabs.current);
    this.view.dataset.analysedMs = (performance.now() - started).toFixed(0);
  }

  // The tree a tab shows, made for the stretch if it was not yet.
  makeTab(tab) {
    const made = { 'call-tree': this.callTree, 'bottom-up': this.bottomUp }[tab];
    if (!made || made.shown === this.analysis) return;
    made.show(this.analysis);
    this.revealInTrees(this.selection.state);
  }

  // A tab shown: what it shows is made now if it was not.
  shown(tab) {
    this.makeTab(tab);
    if (tab === 'compare') this.compareView.draw();
    this.writeLink();
  }

  /** Offers the dumps of `others` (ready DumpViews) to compare with; ends a comparison with one gone. */
  offerBases(others) {
    if (!this.model) return;
    const select = this.view.querySelector('.compare-base');
    const chosen = select.value;
    select.replaceChildren(select.options[0], ...others.map((other) =>
      Object.assign(document.createElement('option'), { value: String(other.number), textContent: other.title })));
    this.view.querySelector('.compare-with').hidden = others.length === 0;
    if (others.some((other) => String(other.number) === chosen)) select.value = chosen;
    else if (chosen !== '') this.compareWith(null);
  }

  /** Compares the dump with `base` (a DumpView), or with nothing. */
  async compareWith(base) {
    const { view } = this;
    const button = view.querySelector('.tab-button[data-tab="compare"]');
    delete view.dataset.comparedMs;
    this.comparison = null;
    if (!base) {
      this.base = null;
      button.hidden = true;
      if (this.tabs.current === 'compare') this.tabs.show('functions');
      view.querySelector('.compare-base').value = '';
      this.analyse();
      return;
    }
    this.base = base;
    const started = performance.now();
    say(`Comparing ${this.title} with ${base.title}...`);
    let answer;
    try {
      answer = await request(this.number, 'compare', { base: base.number });
    } catch (error) {
      say(`${this.title} cannot be compared with ${base.title}: ${error.message}.`);
      return;
    }
    // Another base chosen meanwhile takes its place.
    if (this.base !== base) return;
    this.comparison = answer.comparison;
    button.hidden = false;
    this.compareView.show(this.comparison, this.title, base.title);
    this.analyse();
    this.tabs.show('compare');
    view.dataset.comparedMs = (performance.now() - started).toFixed(0);
    say(`${this.title} compared with ${base.title}.`);
  }

  // Frame `frame` selected: its stretch, shown across the chart.
  selectFrame(frame) {
    const [from, to] = this.chart.frameTrack.span(frame);
    this.chart.fit(from, to);
    this.selection.set({ frame, range: [from, to] });
  }

  // Selects the first call found after the one selected, in record order.
  nextFound() {
    const { calls, names } = this.model;
    const found = this.find.found;
    if (!found || !calls.count) return;
    const from = this.selection.state.call;
    for (let step = 1; step <= calls.count; step++) {
      const id = (from + step + calls.count) % calls.count;
      if (found.byName[calls.name[id]]) {
        this.chart.zoomTo(id);
        this.selection.set({ call: id, function: names[calls.name[id]], path: null });
        return;
      }
    }
  }

  // What the frame track says, and the budget it marks frames by.
  offerFrames() {
    const track = this.chart.frameTrack;
    const box = this.view.querySelector('.frames-note');
    if (!track) return;
    const input = box.querySelector('.budget');
    input.value = String(+this.budget.toFixed(1));
    const said = () => {
      box.querySelector('.frames-said').textContent =
        `${track.frames.count} frames, ${track.slowCount} over the budget; ] and [ go to the next and the previous.`;
    };
    input.addEventListener('change', () => {
      const budget = Number(input.value);
      if (!(budget > 0)) return;
      track.setBudget(budget);
      said();
    });
    said();
    box.hidden = false;
  }

  /** Offers for download the input played into the movie until this dump (`frames`: input-format.js's). */
  offerInput(frames) {
    const button = this.view.querySelector('.download-input');
    button.hidden = false;
    button.onclick = () => download(`input-dump-${this.number}.json`, new Blob([writeInput(frames)],
                                                                              { type: 'application/json' }));
  }

  /** Puts the keyboard in Find. */
  focusFind() {
    this.view.querySelector('.search')?.focus();
  }

  /** Esc: the selection let go, a step at a time; then what Find found. */
  clear() {
    const { call, function: name, path, range } = this.selection.state;
    if (call < 0 && name === null && path === null && range === null && this.find?.found) this.find.clear();
    else this.selection.clear();
  }

  /** Does what a key asks of the chart; false for one it has no use for. */
  key(key) {
    return this.chart?.key(key) ?? false;
  }

  writeLink() {
    if (!this.model || dumpTabs.current !== this) return;
    writeViewLink({ axis: this.chart.axis, range: this.selection.state.range, function: this.selection.state.function,
                    tab: this.tabs.current });
  }

  /** Shown, or hidden behind another dump. */
  setShown(shown) {
    this.view.hidden = !shown;
    if (shown && this.chart) {
      this.chart.draw();
      this.writeLink();
    }
  }

  /** Ends the dump: its view, and its tables in the worker. */
  remove() {
    this.view.remove();
    tell({ type: 'drop', dump: this.number });
  }
}
