// Rebuilding the calls that records describe, one record at a time, so
// that a dump of any size is read without holding it: the page's worker,
// vimbrel-report and vimbrel-capture all build on this.
//
// A clock that steps back (the wall clock set back) is held where it was,
// so that no call lasts less than nothing; how often and by how much is
// kept in `clockBack`.
//
// An exit without its enter is a call that began before the records did:
// it spans from the first record and takes in the calls recorded before it
// at its depth. An exit that skips open calls closes them too. An enter
// never closed ends at the last record.

import { FunctionTable } from './function-table.js';

/**
 * Feeds records to a listener as calls open and close. A call is
 * { name, start, end, first, last, enterSeen, exitSeen, childTime,
 * outermost }: times in ms, first and last the indexes of its records,
 * childTime the time of the calls made from it, outermost false when a
 * call of the same name holds it (recursion). The listener may have:
 *   enter(call)        a call opened by its enter record;
 *   adopt(call)        a call whose enter was not recorded: it holds every
 *                      call at the top so far;
 *   exit(call, index)  a call closed, at the record `index`;
 *   anomaly(index, text)  a record that does not pair up;
 *   frame(name, time, index)  a frame's mark, "name" its number.
 * Names are compared with ===: strings, or numbers that stand for them, which
 * `names` turns into names for the anomalies' texts.
 */
export class CallBuilder {
  constructor(listener = {}, names = (name) => name) {
    this.listener = listener;
    this.names = names;
    this.stack = [];
    this.count = 0;
    this.firstTime = 0;
    this.lastTime = 0;
    // The time of the calls at the top, which an adopted call takes in.
    this.rootTime = 0;
    // How often the clock stepped back, and by how much at most, in ms.
    this.clockBack = { count: 0, most: 0 };
    // How many calls of each name are open: an exit whose name is not is
    // known at once, however deep the calls left open by exceptions pile.
    this.openCount = new Map();
  }

  open(call) {
    this.stack.push(call);
    this.openCount.set(call.name, (this.openCount.get(call.name) ?? 0) + 1);
  }

  /** One record: `kind` is 'Enter', 'Exit' or 'Frame'. */
  add(name, kind, time) {
    const index = this.count++;
    if (index === 0) this.firstTime = time;
    else if (time < this.lastTime) {
      this.clockBack.count += 1;
      this.clockBack.most = Math.max(this.clockBack.most, this.lastTime - time);
      time = this.lastTime;
    }
    this.lastTime = time;
    const { stack, listener } = this;
    if (kind === 'Frame') {
      listener.frame?.(name, time, index);
      return;
    }
    if (kind === 'Enter') {
      const call = { name, start: time, end: null, first: index, last: null,
                     enterSeen: true, exitSeen: true, childTime: 0, outermost: !this.openCount.get(name) };
      this.open(call);
      listener.enter?.(call);
      return;
    }
    let open = this.openCount.get(name) ? stack.length - 1 : -1;
    while (open >= 0 && stack[open].name !== name) open--;
    if (open >= 0) {
      while (stack.length > open + 1) {
        const unclosed = stack[stack.length - 1];
        unclosed.exitSeen = false;
        listener.anomaly?.(index, `${this.names(unclosed.name)} has no exit before ${this.names(name)} exits`);
        this.close(time, index);
      }
      this.close(time, index);
    } else if (stack.length === 0) {
      const adopted = { name, start: this.firstTime, end: null, first: 0, last: null,
                        enterSeen: false, exitSeen: true, childTime: this.rootTime, outermost: true };
      this.rootTime = 0;
      listener.anomaly?.(index, `${this.names(name)} exits without an enter: it began before the records`);
      this.open(adopted);
      listener.adopt?.(adopted);
      this.close(time, index);
    } else {
      listener.anomaly?.(index, `${this.names(name)} exits inside ${this.names(stack[stack.length - 1].name)} ` +
                                'without an enter; ignored');
    }
  }

  /** Closes the calls still open at the last record. */
  finish() {
    while (this.stack.length) {
      const unclosed = this.stack[this.stack.length - 1];
      unclosed.exitSeen = false;
      this.listener.anomaly?.(this.count, `${this.names(unclosed.name)} has not exited by the end of the records`);
      this.close(this.lastTime, this.count - 1);
    }
  }

  // Closes the innermost open call at `time`, the record `index`.
  close(time, index) {
    const call = this.stack.pop();
    this.openCount.set(call.name, this.openCount.get(call.name) - 1);
    call.end = time;
    call.last = index;
    const duration = time - call.start;
    if (this.stack.length) this.stack[this.stack.length - 1].childTime += duration;
    else this.rootTime += duration;
    this.listener.exit?.(call, index);
  }
}

/**
 * The table of functions (function-table.js) as calls close; a listener
 * of CallBuilder. `names` turns what the builder was given into names.
 */
export class FunctionStats {
  constructor(names = (name) => name) {
    this.names = names;
    this.table = new FunctionTable();
  }

  exit(call) {
    const duration = call.end - call.start;
    this.table.add(call.name, this.names(call.name), duration, duration - call.childTime, call.outermost);
  }

  /** The functions, longest total first. */
  rows() {
    return this.table.rows();
  }
}

/** Calls every listener's handlers in turn: one builder, many views. */
export function listeners(...all) {
  const each = (method) => {
    const handlers = all.filter((one) => one[method]).map((one) => one[method].bind(one));
    return (a, b, c) => { for (let i = 0; i < handlers.length; i++) handlers[i](a, b, c); };
  };
  return { enter: each('enter'), adopt: each('adopt'), exit: each('exit'), anomaly: each('anomaly'),
           frame: each('frame') };
}
