// The page's worker: reads dumps into compact tables off the page's
// thread, as their text comes (a file as a stream, a movie's records piece
// by piece), so that a session of any length is shown and the page stays
// responsive; writes records back from the tables for the records pager
// and the downloads.
//
// Messages in, each for a dump by its number:
//   { type: 'open', dump, file, title }       a dump file, read as a stream
//   { type: 'piece', dump, movie, text }      records a movie handed over while collecting
//   { type: 'save', dump, movie, text, incomplete }  the rest of them
//   { type: 'request', request, dump, what: 'records', from, count }
//   { type: 'request', request, dump, what: 'export', format: 'text'|'chrome'|'speedscope'|'folded' }
//   { type: 'request', request, dump, what: 'compare', base }  the dump against dump `base`
//   { type: 'drop', dump }                    the dump closed: its tables go
// Out: { type: 'collecting'|'progress'|'ready'|'failed', dump, ... }, and
// { type: 'answer', request, ... } or { type: 'answer', request, error }.

import { DumpTables, EXPORT_RECORDS, EarlierSaves } from '../model/dump-tables.js';
import { compareTables } from '../model/dump-comparison.js';
import { DumpReport } from '../model/dump-report.js';
import { foldedLines } from '../model/comparison.js';

// The tables of each dump, by its number.
const dumps = new Map();
const earlierSaves = new EarlierSaves();

function tablesOf(dump) {
  if (!dumps.has(dump)) dumps.set(dump, { tables: new DumpTables(), pieces: 0 });
  return dumps.get(dump);
}

const PROGRESS_MS = 250;

async function open({ dump, file }) {
  const { tables } = tablesOf(dump);
  let bytes = 0;
  let said = 0;
  const counted = new TransformStream({
    transform(chunk, controller) {
      bytes += chunk.byteLength;
      controller.enqueue(chunk);
    },
  });
  const reader = file.stream().pipeThrough(counted).pipeThrough(new TextDecoderStream()).getReader();
  for (;;) {
    const { done, value } = await reader.read();
    if (done) break;
    tables.push(value);
    if (Date.now() - said > PROGRESS_MS) {
      said = Date.now();
      postMessage({ type: 'progress', dump, records: tables.records, fraction: file.size ? bytes / file.size : 1 });
    }
  }
  ready(dump, { repeated: 0 });
}

function piece({ dump, text }) {
  const entry = tablesOf(dump);
  entry.pieces += 1;
  entry.tables.add(text);
  postMessage({ type: 'collecting', dump, records: entry.tables.records, pieces: entry.pieces });
}

function save({ dump, movie, text, incomplete }) {
  const entry = tablesOf(dump);
  let repeated = 0;
  if (entry.pieces === 0 && !incomplete) {
    const repeats = earlierSaves.repeated(movie, text);
    repeated = repeats?.records ?? 0;
    entry.tables.add(repeats ? text.slice(repeats.skip) : text);
    earlierSaves.remember(movie, text, repeated + entry.tables.records);
  } else {
    entry.tables.add(text);
  }
  ready(dump, { repeated, incomplete });
}

function ready(dump, { repeated, incomplete = false }) {
  const { tables, pieces } = dumps.get(dump);
  const model = tables.end();
  const { calls, frames, traces } = model;
  const transfer = [...Object.values(calls), ...Object.values(frames), ...Object.values(traces)]
    .filter(ArrayBuffer.isView).map((array) => array.buffer);
  postMessage({ type: 'ready', dump, repeated, incomplete, pieces, ...model }, transfer);
}

// What a request of the page asks of a dump's tables.
function answer({ dump, what, from, count, format, base }) {
  const { tables } = dumps.get(dump);
  if (what === 'records') return { records: tables.recordsText(from, count) };
  if (what === 'compare') {
    const other = dumps.get(base)?.tables;
    if (!other) throw new Error('the dump to compare with is not open any more');
    return { comparison: compareTables(tables, other) };
  }
  if (format !== 'text' && format !== 'folded' && tables.records > EXPORT_RECORDS) {
    throw new Error(`the dump holds ${tables.records} records, and exports for Perfetto and speedscope are ` +
                    `made of at most ${EXPORT_RECORDS}: their JSON would be larger than those tools open. ` +
                    'Download the dump as text and report it with vimbrel-report --tree, or trace less ' +
                    '(vimbrel --only, --skip)');
  }
  return { blob: exported(tables, format) };
}

// Text handed over in pieces, kept as a Blob without one string of it all.
class BlobWriter {
  constructor() {
    this.parts = [];
    this.pending = [];
    this.size = 0;
    this.write = (text) => {
      this.pending.push(text);
      this.size += text.length;
      if (this.size > 8 << 20) this.flush();
    };
  }

  flush() {
    this.parts.push(new Blob(this.pending));
    this.pending = [];
    this.size = 0;
  }

  blob(type, before = '', after = '') {
    this.flush();
    return new Blob([before, ...this.parts, after], { type });
  }
}

function exported(tables, format) {
  const writer = new BlobWriter();
  if (format === 'text') {
    tables.writeText(writer.write);
    return writer.blob('text/plain');
  }
  if (format === 'folded') {
    const report = new DumpReport([], { traceLines: 0 });
    tables.eachRecord(0, tables.records, (name, kind, time) => report.add(name, kind, time));
    for (const line of foldedLines(report.end().tree)) writer.write(line);
    return writer.blob('text/plain');
  }
  if (format === 'chrome') {
    tables.writeChromeTrace(writer.write);
    return writer.blob('application/json');
  }
  const { head, tail } = tables.writeSpeedscope(tables.title, writer.write);
  return writer.blob('application/json', head, tail);
}

// The typed columns of an answer, handed over rather than copied.
const transferable = (answer) => (answer.comparison ? Object.values(answer.comparison.tree)
  .filter(ArrayBuffer.isView).map((array) => array.buffer) : []);

onmessage = async ({ data }) => {
  if (data.type === 'request') {
    try {
      const answered = answer(data);
      postMessage({ type: 'answer', request: data.request, ...answered }, transferable(answered));
    } catch (error) {
      postMessage({ type: 'answer', request: data.request, error: String(error?.message ?? error) });
    }
    return;
  }
  const { dump } = data;
  if (data.type === 'drop') {
    dumps.delete(dump);
    return;
  }
  try {
    if (data.title) tablesOf(dump).tables.title = data.title;
    if (data.type === 'open') await open(data);
    else if (data.type === 'piece') piece(data);
    else if (data.type === 'save') save(data);
  } catch (error) {
    const records = dumps.get(dump)?.tables.records ?? 0;
    dumps.delete(dump);
    postMessage({ type: 'failed', dump, records, message: String(error?.message ?? error) });
  }
};
