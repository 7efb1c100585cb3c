// A file written in order, a piece at a time, for vimbrel-capture and
// vimbrel-report: the writer waits while the disk catches up. A file
// that cannot be written (EIO, ENOSPC) is a failure; only a named pipe
// whose reader went away ends the file quietly.

import { createWriteStream } from 'node:fs';

// The error of a pipe with no reader left: the file was read as far as wanted.
const READER_GONE = 'EPIPE';

export class OutputFile {
  constructor(path) {
    this.path = path;
    this.stream = createWriteStream(path);
    this.failure = null;
    this.readerGone = false;
    // While the stream holds more than it wants: resolves when it drains.
    this.waiting = null;
    this.stream.on('error', (error) => this.took(error));
  }

  took(error) {
    if (error.code === READER_GONE) this.readerGone = true;
    else this.failure ??= Object.assign(new Error(`cannot write ${this.path}: ${error.message}`), { code: error.code });
  }

  /** Queues `text`; drained() tells when to write more. */
  write(text) {
    if (this.failure || this.readerGone) return;
    if (!this.stream.write(text)) this.waiting ??= this.nextDrain();
  }

  /** Resolves once the file can take more; rejects when it could not be written. */
  async drained() {
    if (this.waiting) await this.waiting;
    if (this.failure) throw this.failure;
  }

  /** Ends the file: rejects when it could not be written. */
  async close() {
    await this.drained();
    // The last write's failure may come with the end, before its 'error'.
    if (!this.readerGone) {
      await new Promise((done) => this.stream.end((error) => {
        if (error) this.took(error);
        done();
      }));
    }
    if (this.failure) throw this.failure;
  }

  // One listener for each, taken off again: a long session waits many times.
  nextDrain() {
    return new Promise((done) => {
      const settle = () => {
        this.stream.off('drain', settle);
        this.stream.off('error', settle);
        this.waiting = null;
        done();
      };
      this.stream.on('drain', settle);
      this.stream.on('error', settle);
    });
  }
}
