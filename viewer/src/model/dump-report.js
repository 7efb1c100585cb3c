// A dump read for a report, as its text comes, so that one of any length
// is reported without holding it: the table of functions, the frames, the
// calls folded into one call tree, the lines the movie printed, and what
// does not pair up. The terminal's report and comparison read with it, and
// the page's worker when it compares two dumps.

import { CallBuilder, FunctionStats, listeners } from './calls.js';
import { pathTree } from './path-tree.js';
import { FrameStats } from './frame-stats.js';
import { RecordReader } from './records.js';

// The calls folded into the one call tree as they open and close.
class FoldedCalls {
  constructor() {
    this.top = pathTree();
    this.open = [];
  }

  enter(call) {
    this.open.push((this.open.length ? this.open[this.open.length - 1] : this.top).child(call.name, call.name));
  }

  adopt(call) {
    // It holds every call so far.
    const held = this.top;
    this.top = pathTree();
    const node = this.top.child(call.name, call.name);
    node.below = held.below;
    this.open.push(node);
  }

  exit(call) {
    const duration = call.end - call.start;
    this.open.pop().add(duration, duration - call.childTime);
  }
}

/** How many of the lines the movie printed with trace() the report keeps to show. */
export const TRACE_LINES_SHOWN = 20;

/**
 * Reads a dump in pieces (push, then end), or record by record (add).
 * `others` are further listeners of the calls (see CallBuilder);
 * `traceLines` how many of the movie's trace() lines to keep (Infinity:
 * all); `onRecord(name, kind, index)` hears each record as it is read;
 * without `tree`, no call tree is made (it is most of what a report of a
 * long session holds).
 */
export class DumpReport {
  constructor(others = [], { traceLines = TRACE_LINES_SHOWN, onRecord = null, tree = true } = {}) {
    this.stats = new FunctionStats();
    this.frames = new FrameStats();
    this.folded = tree ? new FoldedCalls() : {};
    this.anomalyCount = 0;
    this.errorCount = 0;
    this.traces = { count: 0, lines: [] };
    this.count = 0;
    this.onRecord = onRecord;
    this.builder = new CallBuilder(listeners(this.stats, this.frames, this.folded, ...others, {
      anomaly: () => { this.anomalyCount += 1; },
      trace: (text, time, index, call) => {
        if (this.traces.count++ < traceLines) this.traces.lines.push({ text, time, call: call?.name ?? null });
      },
    }));
    this.reader = new RecordReader((name, kind, time) => this.add(name, kind, time),
                                   () => { this.errorCount += 1; });
  }

  push(text) {
    this.reader.push(text);
  }

  /** One record, read already. */
  add(name, kind, time) {
    this.onRecord?.(name, kind, this.count);
    this.count += 1;
    this.builder.add(name, kind, time);
  }

  /**
   * Returns { records, span, total, stats, frames, tree, anomalyCount,
   * errorCount, clockBack, cutShort, traces }: span the ms from the first
   * record to the last, total the ms in calls at the top, tree null when
   * none was made; frames as
   * FrameStats' summary, clockBack and cutShort as CallBuilder's, traces
   * { count, lines: [{ text, time, call (its name, or null) }] }.
   */
  end() {
    this.reader.end();
    const records = this.count;
    this.builder.finish();
    const { builder } = this;
    return { records, span: builder.count ? builder.lastTime - builder.firstTime : 0, total: builder.rootTime,
             tree: this.folded.top ?? null,
             stats: this.stats.rows(), frames: this.frames.summary(),
             anomalyCount: this.anomalyCount, errorCount: this.errorCount, clockBack: builder.clockBack,
             cutShort: builder.cutShort, traces: this.traces };
  }
}
