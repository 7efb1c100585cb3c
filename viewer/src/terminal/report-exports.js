// vimbrel-report's exports: the calls as Chrome Trace Event JSON and in
// speedscope's own format, written as the records are read; the call tree
// as collapsed stacks, written once it is whole. A run that
// fails leaves no export it made behind; a file that was there before (a
// device, a pipe, an earlier export) stays.

import { createReadStream, existsSync, lstatSync, rmSync } from 'node:fs';
import { join } from 'node:path';
import { foldedLines } from '../model/comparison.js';
import { SpeedscopeEvents, TimelineEvents, chromeTraceText } from '../model/timeline.js';
import { OutputFile } from '../node/output-file.js';
import { temporaryFolder } from '../node/temporary-folder.js';

export class ReportExports {
  /**
   * The exports that `chrome`, `speedscope` and `folded` (paths, or null)
   * ask for, `foldedCalls` the folded stacks' value; `fail(message)` hears
   * a file that cannot be written, and ends the run.
   */
  constructor({ chrome, speedscope, folded = null, foldedCalls = false }, fail) {
    this.fail = fail;
    this.made = [];
    this.spillFolder = null;
    // Fed the records as the report is.
    this.timelines = [];
    // Written while the dump is read.
    this.files = [];
    this.finishing = [];
    process.on('exit', (status) => this.removeOnFailure(status));
    if (chrome) this.chrome(chrome);
    if (speedscope) this.speedscope(speedscope);
    // Made now, as the others are, so that it cannot fail only at the end.
    this.foldedFile = folded ? this.output(folded) : null;
    this.foldedCalls = foldedCalls;
  }

  chrome(path) {
    const file = this.output(path);
    const emit = chromeTraceText((text) => file.write(text));
    this.timelines.push(new TimelineEvents(emit));
    this.files.push(file);
    this.finishing.push(async () => {
      emit.close();
      await this.settled(file, file.close());
    });
  }

  // Calls that began before the records open first: what comes before
  // them waits in a file of its own.
  speedscope(path) {
    this.spillFolder = temporaryFolder('vimbrel-report-');
    const spilled = join(this.spillFolder.path, 'events');
    const spill = new OutputFile(spilled);
    const events = new SpeedscopeEvents((text) => spill.write(text));
    this.timelines.push(new TimelineEvents(events.emit));
    this.files.push(spill);
    this.finishing.push(async () => {
      const head = events.head('vimbrel');
      await this.settled(spill, spill.close());
      const file = this.output(path);
      file.write(head);
      for await (const chunk of createReadStream(spilled)) {
        file.write(chunk);
        await this.settled(file, file.drained());
      }
      file.write(events.tail());
      await this.settled(file, file.close());
    });
  }

  /** Resolves once every file can take more. */
  async drained() {
    for (const file of this.files) await this.settled(file, file.drained());
  }

  /** Ends every export, once the records are all read: `tree` the dump's call tree (DumpReport's). */
  async finish(tree) {
    for (const timeline of this.timelines) timeline.finish();
    for (const finish of this.finishing) await finish();
    const file = this.foldedFile;
    if (!file) return;
    let lines = [];
    for (const line of foldedLines(tree, { calls: this.foldedCalls })) {
      lines.push(line);
      if (lines.length === 1000) {
        file.write(lines.join(''));
        lines = [];
        await this.settled(file, file.drained());
      }
    }
    file.write(lines.join(''));
    await this.settled(file, file.close());
  }

  output(path) {
    if (!existsSync(path)) this.made.push(path);
    return new OutputFile(path);
  }

  // Waits for `file` to take more, or to end (`step`); its failure, which
  // names it, is said as ours.
  async settled(file, step) {
    try {
      await step;
    } catch (error) {
      this.fail(error.message);
    }
  }

  removeOnFailure(status) {
    this.spillFolder?.remove();
    if (status === 0) return;
    for (const path of this.made) {
      if (lstatSync(path, { throwIfNoEntry: false })?.isFile()) rmSync(path, { force: true });
    }
  }
}
