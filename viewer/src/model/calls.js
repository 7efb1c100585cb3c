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
// never closed ends at the last record; or, when the tracer marks frames,
// at its last record before the next mark: the player marks a frame while
// none of the movie's scripts runs, so a call still open then was cut
// short (its clip removed by a gotoAndPlay, or an exception thrown).

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
 *   trace(text, time, index, call)  a line the movie printed with trace(),
 *                      in the call open then (null for none).
 * A call cut short at a frame's mark has `cutShort` true (and exitSeen
 * false); `cutShort` counts them, and the functions of those cut short.
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
    // The calls cut short at a frame's mark: how many, and of which names.
    this.cutShort = { count: 0, byName: new Map() };
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
    const before = this.lastTime;
    if (index === 0) this.firstTime = time;
    else if (time < this.lastTime) {
      this.clockBack.count += 1;
      this.clockBack.most = Math.max(this.clockBack.most, this.lastTime - time);
      time = this.lastTime;
    }
    this.lastTime = time;
    const { stack, listener } = this;
    if (kind === 'Frame') {
      if (stack.length) this.cutShortAt(name, before, index);
      listener.frame?.(name, time, index);
      return;
    }
    if (kind === 'Trace') {
      listener.trace?.(name, time, index, stack.length ? stack[stack.length - 1] : null);
      return;
    }
    if (kind === 'Enter') {
      const call = { name, start: time, end: null, first: index, last: null,
                     enterSeen: true, exitSeen: true, cutShort: false, childTime: 0,
                     outermost: !this.openCount.get(name) };
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
                        enterSeen: false, exitSeen: true, cutShort: false, childTime: this.rootTime,
                        outermost: true };
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

  // The calls open at the mark of frame `frame`, record `index`, were cut
  // short: each ends at the record before the mark, at `time`.
  cutShortAt(frame, time, index) {
    const { stack, cutShort } = this;
    while (stack.length) {
      const call = stack[stack.length - 1];
      call.exitSeen = false;
      call.cutShort = true;
      cutShort.count += 1;
      const said = this.names(call.name);
      cutShort.byName.set(said, (cutShort.byName.get(said) ?? 0) + 1);
      this.listener.anomaly?.(index, `${said} was cut short before frame ${frame} (its clip removed, or it threw)`);
      this.close(time, index - 1);
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
  const trace = all.filter((one) => one.trace).map((one) => one.trace.bind(one));
  return { enter: each('enter'), adopt: each('adopt'), exit: each('exit'), anomaly: each('anomaly'),
           frame: each('frame'),
           trace: (text, time, index, call) => { for (const handler of trace) handler(text, time, index, call); } };
}
