// The calls as begin and end events for other tools: Chrome Trace Event
// JSON (Perfetto, chrome://tracing, speedscope) and speedscope's own format.
//
// Many records share a millisecond, and a tool that sorts events by time
// cannot know the order of a begin and an end at the same time. So every
// event gets a time of its own, in the order of the records: the events of
// one millisecond are spread over it, a microsecond apart (closer when
// more than a thousand share it). A clock that steps back is held where it
// was, so that times never fall.

const MICROSECONDS = 1000;

// Marks a call whose enter or exit was not recorded, as the page shows it,
// and one cut short at a frame's mark.
function incomplete(call) {
  if (call.enterSeen && call.exitSeen) return undefined;
  return { enterRecorded: call.enterSeen, exitRecorded: call.exitSeen, ...(call.cutShort ? { cutShort: true } : {}) };
}

/**
 * A listener of CallBuilder that hands `emit` each event as
 * { ph: 'B'|'E'|'i', name, ts, args, early }: ts in microseconds, distinct and
 * rising in the order of the records, but for the begin of a call that
 * began before the records (early), which comes when its exit does and is
 * dated before every other; 'i' is a line the movie printed with trace().
 * Each frame that the tracer marked comes as
 * { ph: 'X', frame: true, name, ts, dur } once the next mark (or the last
 * record) ends it. Call finish() after the builder's.
 */
export class TimelineEvents {
  constructor(emit) {
    this.emit = emit;
    // The events of the millisecond being read, and that millisecond.
    this.run = [];
    this.runTime = -Infinity;
    // Of the run, the begins of adopted calls, which have times of their own.
    this.earlyInRun = 0;
    this.firstTime = null;
    this.adopted = 0;
    // The frame whose end is still to come: its number and mark's time.
    this.openFrame = null;
  }

  frame(name, time) {
    this.endFrame(time);
    this.openFrame = { name, time };
  }

  endFrame(time) {
    if (!this.openFrame) return;
    const start = this.openFrame.time;
    this.emit({ ph: 'X', frame: true, name: `frame ${this.openFrame.name}`, ts: start * MICROSECONDS,
                dur: Math.max(0, time - start) * MICROSECONDS });
    this.openFrame = null;
  }

  enter(call) {
    this.add('B', call, call.start, undefined);
  }

  adopt(call) {
    // Dated before the first record, each adopted call before the one it
    // holds; written where its exit is.
    this.adopted += 1;
    this.run.push({ ph: 'B', name: call.name, args: incomplete(call), early: true,
                    ts: (this.firstTime ?? call.start) * MICROSECONDS - this.adopted });
    this.earlyInRun += 1;
  }

  exit(call) {
    this.add('E', call, call.end, incomplete(call));
  }

  // A line the movie printed with trace(): an instant event at its time.
  trace(text, time) {
    this.add('i', { name: text }, time, undefined);
  }

  add(ph, call, time, args) {
    const at = Math.max(time, this.runTime);
    if (at !== this.runTime) {
      this.flush();
      this.runTime = at;
    }
    this.firstTime ??= at;
    this.run.push({ ph, name: call.name, args, early: false, ts: 0 });
  }

  flush() {
    const count = this.run.length - this.earlyInRun;
    const step = count <= MICROSECONDS ? 1 : MICROSECONDS / count;
    const base = this.runTime * MICROSECONDS;
    let i = 0;
    for (const event of this.run) {
      if (!event.early) event.ts = Math.round((base + i++ * step) * 1000) / 1000;
      this.emit(event);
    }
    this.run = [];
    this.earlyInRun = 0;
  }

  finish() {
    this.flush();
    if (this.openFrame) this.endFrame(Math.max(this.openFrame.time, this.runTime));
  }
}

const FRAMES_TID = 2;
const FRAMES_TRACK = [
  { name: 'thread_name', ph: 'M', pid: 1, tid: FRAMES_TID, args: { name: 'frames' } },
  { name: 'thread_sort_index', ph: 'M', pid: 1, tid: FRAMES_TID, args: { sort_index: -1 } },
  { name: 'thread_name', ph: 'M', pid: 1, tid: 1, args: { name: 'ActionScript' } },
].map((event) => JSON.stringify(event)).join(',');

/**
 * An emit for TimelineEvents that writes Chrome Trace Event JSON through
 * `write(text)`, in pieces; `names` turns the events' names into text.
 * Returns the emit, with close() to end the JSON.
 */
export function chromeTraceText(write, names = (name) => name) {
  let count = 0;
  let pending = ['{"traceEvents":['];
  let framesNamed = false;
  const emit = (event) => {
    if (event.frame) {
      // Frames on a track of their own, which Perfetto shows above the calls.
      if (!framesNamed) {
        framesNamed = true;
        pending.push((count++ ? ',' : '') + FRAMES_TRACK);
      }
      pending.push(`,${JSON.stringify({ name: event.name, cat: 'frame', ph: 'X', ts: event.ts, dur: event.dur,
                                        pid: 1, tid: FRAMES_TID })}`);
      return;
    }
    const fields = event.ph === 'i'
      ? { name: event.name, cat: 'trace', ph: 'i', s: 't', ts: event.ts, pid: 1, tid: 1 }
      : { name: names(event.name), cat: 'actionscript', ph: event.ph, ts: event.ts, pid: 1, tid: 1 };
    if (event.args) fields.args = event.args;
    pending.push((count++ ? ',' : '') + JSON.stringify(fields));
    if (pending.length >= 4096) {
      write(pending.join(''));
      pending = [];
    }
  };
  emit.close = () => {
    pending.push('],"displayTimeUnit":"ms"}');
    write(pending.join(''));
    pending = [];
  };
  return emit;
}

/**
 * An emit for TimelineEvents for speedscope's own format, whose "evented"
 * profiles are read in file order: the events as JSON through
 * `spill(text)`, in pieces, as they come, but for the calls that began
 * before the records, which must open before everything and so go into
 * head(). The profile is head(title), the pieces spilled, tail().
 */
export class SpeedscopeEvents {
  constructor(spill, names = (name) => name) {
    this.spill = spill;
    this.names = names;
    this.frames = new Map();
    this.frameNames = [];
    // The last adopted first: it holds the ones before.
    this.early = [];
    this.count = 0;
    this.firstAt = null;
    this.lastAt = null;
    this.pending = [];
    this.emit = (event) => this.add(event);
  }

  add({ ph, name, ts, early, frame: isFrame }) {
    // Its evented profiles hold calls only.
    if (isFrame || ph === 'i') return;
    let frame = this.frames.get(name);
    if (frame === undefined) {
      frame = this.frameNames.length;
      this.frames.set(name, frame);
      this.frameNames.push(this.names(name));
    }
    const at = ts / MICROSECONDS;
    if (early) {
      this.early.unshift(`{"type":"O","frame":${frame},"at":${at}}`);
      this.firstAt = at;
      return;
    }
    this.firstAt ??= at;
    this.lastAt = at;
    this.pending.push(`${this.count++ ? ',' : ''}{"type":"${ph === 'B' ? 'O' : 'C'}","frame":${frame},"at":${at}}`);
    if (this.pending.length >= 4096) this.flush();
  }

  flush() {
    if (this.pending.length) this.spill(this.pending.join(''));
    this.pending = [];
  }

  /** What comes before the pieces spilled; call it after the last event. */
  head(title) {
    this.flush();
    const early = this.early.join(',') + (this.early.length && this.count ? ',' : '');
    return `{"$schema":"https://www.speedscope.app/file-format-schema.json","exporter":"vimbrel",` +
           `"name":${JSON.stringify(title)},"activeProfileIndex":0,"profiles":[{"type":"evented",` +
           `"name":${JSON.stringify(title)},"unit":"milliseconds","events":[${early}`;
  }

  /** What comes after the pieces spilled. */
  tail() {
    const first = this.firstAt ?? 0;
    return `],"startValue":${first},"endValue":${this.lastAt ?? first}}],` +
           `"shared":{"frames":${JSON.stringify(this.frameNames.map((name) => ({ name })))}}}`;
  }
}
