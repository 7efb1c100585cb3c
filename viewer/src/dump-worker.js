// The page's worker: reads dumps off the page's thread, so that a dump of
// millions of records leaves the page responsive, and keeps their text for
// the records pager and the downloads.
//
// Messages in: { type: 'piece', id, text } (records a movie handed over
// while collecting), { type: 'dump', id, text | file, fromMovie, title }
// (the rest of a movie's records, or a dump file), { type: 'records', id,
// from, count } and { type: 'export', id, format: 'text' | 'chrome' |
// 'speedscope' }. Out: 'collecting', 'progress', 'ready', 'records',
// 'export' and 'failed', each with its id.

import { analyseText, recordsText, writeChromeTrace, writeSpeedscope } from './dump-model.js';
import { forEachRecord, repeatsEarlierDump } from './trace.js';

// What each dump shown keeps: its records' text and where each record is.
const dumps = new Map();
// The records a movie handed over before its save, by dump.
const pieces = new Map();
// The last whole dump a movie sent, and how many records it held: its
// tracer never empties its list, so the next one may repeat it.
let earlier = '';
let earlierRecords = 0;

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
  blob(before = '', after = '') {
    this.flush();
    return new Blob([before, ...this.parts, after], { type: 'application/json' });
  }
}

function exported(dump, format) {
  if (format === 'text') return new Blob([dump.text], { type: 'text/plain' });
  const writer = new BlobWriter();
  if (format === 'chrome') {
    writeChromeTrace(dump.text, writer.write);
    return writer.blob();
  }
  const { head, tail } = writeSpeedscope(dump.text, dump.title, writer.write);
  return writer.blob(head, tail);
}

async function read({ id, text, file, fromMovie, title }) {
  if (file) text = await file.text();
  const arrived = pieces.get(id);
  pieces.delete(id);
  if (arrived) text = [...arrived, text].filter((piece) => piece !== '').join(',');
  let repeated = 0;
  let fresh = text;
  if (fromMovie && !arrived && repeatsEarlierDump(earlier, text)) {
    repeated = earlierRecords;
    fresh = text.slice(earlier.length + 1);
  }
  const model = analyseText(fresh, (records, fraction) => postMessage({ type: 'progress', id, records, fraction }));
  if (fromMovie) {
    earlier = text;
    earlierRecords = repeated + model.records;
  }
  dumps.set(id, { text: fresh, title, recordStarts: model.recordStarts, recordEnds: model.recordEnds });
  const { calls } = model;
  const transfer = Object.values(calls).filter(ArrayBuffer.isView).map((array) => array.buffer);
  postMessage({
    type: 'ready', id, repeated, records: model.records, firstTime: model.firstTime, lastTime: model.lastTime,
    names: model.names, stats: model.stats, calls, errors: model.errors, errorCount: model.errorCount,
    anomalies: model.anomalies, anomalyCount: model.anomalyCount,
  }, transfer);
}

onmessage = async ({ data }) => {
  const { type, id } = data;
  try {
    if (type === 'piece') {
      const arrived = pieces.get(id) ?? [];
      arrived.push(data.text);
      pieces.set(id, arrived);
      arrived.records = (arrived.records ?? 0) + forEachRecord(data.text, () => {});
      postMessage({ type: 'collecting', id, records: arrived.records, pieces: arrived.length });
    } else if (type === 'dump') {
      await read(data);
    } else if (type === 'records') {
      const dump = dumps.get(id);
      postMessage({ type: 'records', id, from: data.from, records: recordsText(dump.text, dump, data.from, data.count) });
    } else if (type === 'export') {
      postMessage({ type: 'export', id, format: data.format, blob: exported(dumps.get(id), data.format) });
    }
  } catch (error) {
    postMessage({ type: 'failed', id, message: String(error?.message ?? error) });
  }
};
