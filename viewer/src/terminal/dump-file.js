// Where vimbrel-capture keeps what a movie hands over: dump.txt, written
// as the records arrive ("records" while the tracer collects, then its
// "save"), and trace.json and the table of functions, made as they arrive
// too, so that no part of a long session is held in memory at once; and
// output.txt, the lines the movie printed with trace(), one a line, as
// Ruffle's tests keep them. Past
// EXPORT_RECORDS records trace.json is given up, unless asked for: Chrome
// trace readers cannot open JSON that large.

import { rmSync } from 'node:fs';
import { rm } from 'node:fs/promises';
import { join } from 'node:path';
import { DumpReport } from './report.js';
import { TimelineEvents, chromeTraceText } from '../model/timeline.js';
import { OutputFile } from '../node/output-file.js';
import { EXPORT_RECORDS } from '../model/dump-tables.js';

export class DumpFile {
  /**
   * Writes dump.txt and trace.json into `folder`, once the first records
   * come; trace.json of any size when `chrome` is true, else only while
   * there are at most `traceRecords` records.
   */
  constructor(folder, { chrome = false, traceRecords = EXPORT_RECORDS } = {}) {
    this.folder = folder;
    this.chrome = chrome;
    this.traceRecords = traceRecords;
    this.dump = null;
    this.trace = null;
    // True once trace.json was given up for its size.
    this.traceSkipped = false;
    this.pending = [];
    const emit = chromeTraceText((text) => {
      if (!this.traceSkipped) this.pending.push(text);
    });
    this.closeTrace = emit.close;
    this.timeline = new TimelineEvents(emit);
    // The capture prints no call tree.
    this.report = new DumpReport([this.timeline], { tree: false });
    this.written = false;
    this.finished = false;
    // output.txt: the movie's trace() lines, written however many come.
    this.output = null;
    this.lines = 0;
    this.pieces = 0;
    this.saved = false;
    // Pieces are taken one after the other, in the order they came.
    this.queue = Promise.resolve();
    this.onSave = null;
    this.whenSaved = new Promise((done) => { this.onSave = done; });
  }

  /** Takes a line the movie printed with trace(), for output.txt. */
  takeOutput(line) {
    this.output ??= new OutputFile(join(this.folder, 'output.txt'));
    this.lines += 1;
    this.output.write(`${line}\n`);
  }

  /** Takes what the movie handed over: `command` 'records' or 'save'. */
  take(command, text) {
    if (!this.dump) {
      this.dump = new OutputFile(join(this.folder, 'dump.txt'));
      this.trace = new OutputFile(join(this.folder, 'trace.json'));
    }
    if (command === 'records') this.pieces += 1;
    this.queue = this.queue.then(() => this.append(text));
    if (command === 'save') {
      this.saved = true;
      this.queue.then(() => this.onSave(), () => this.onSave());
    }
    return this.queue;
  }

  async append(text) {
    if (text === '') return;
    // Pieces join as the records of one save do.
    const joined = this.written ? `,${text}` : text;
    this.written = true;
    this.report.push(joined);
    this.dump.write(joined);
    if (!this.chrome && !this.traceSkipped && this.records > this.traceRecords) await this.skipTrace();
    if (this.pending.length) {
      this.trace.write(this.pending.join(''));
      this.pending = [];
    }
    await Promise.all([this.dump.drained(), this.trace?.drained()]);
  }

  async skipTrace() {
    this.traceSkipped = true;
    this.pending = [];
    await this.trace.close();
    await rm(join(this.folder, 'trace.json'), { force: true });
    this.trace = null;
  }

  /** Resolves once the save is written: whether it came within `seconds`. */
  async waitForSave(seconds) {
    let timer;
    const late = new Promise((done) => { timer = setTimeout(() => done(false), seconds * 1000); });
    const saved = await Promise.race([this.whenSaved.then(() => true), late]);
    clearTimeout(timer);
    return saved;
  }

  /** How many records were read so far. */
  get records() {
    return this.report.reader.count;
  }

  /**
   * Ends both files: resolves to the report of the records (DumpReport's
   * end()); rejects, naming the file, when one could not be written, and
   * leaves no trace.json cut short. Call it once something was taken.
   */
  async finish() {
    try {
      await this.queue;
      const report = this.report.end();
      this.timeline.finish();
      this.closeTrace();
      this.trace?.write(this.pending.join(''));
      this.pending = [];
      this.output ??= new OutputFile(join(this.folder, 'output.txt'));
      await Promise.all([this.dump.close(), this.trace?.close(), this.output.close()]);
      this.finished = true;
      return report;
    } catch (error) {
      this.abandon();
      throw error;
    }
  }

  /**
   * Removes what cannot be finished: a trace.json cut short is no JSON.
   * dump.txt stays, records joined as they came. Synchronous, for a
   * signal's handler.
   */
  abandon() {
    if (this.trace && !this.finished) rmSync(join(this.folder, 'trace.json'), { force: true });
  }
}
