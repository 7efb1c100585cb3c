// Work that runs a few at a time: the rest waits its turn, in order.

export class WorkQueue {
  constructor(atOnce) {
    this.atOnce = atOnce;
    this.running = 0;
    this.queue = [];
  }

  /** How many jobs run or wait. */
  get load() {
    return this.running + this.queue.length;
  }

  /** Runs `job` (an async function) once its turn comes: resolves to what it resolves to. */
  async run(job) {
    if (this.running >= this.atOnce) await new Promise((turn) => this.queue.push(turn));
    else this.running += 1;
    try {
      return await job();
    } finally {
      const next = this.queue.shift();
      // The running count is handed on to the next job, else given back.
      if (next) next();
      else this.running -= 1;
    }
  }
}
