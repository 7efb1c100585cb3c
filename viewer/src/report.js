// A dump as text for a terminal: the table of functions and the call tree,
// read as the text comes, so that a dump of any length is reported
// without holding it. The records and the calls come from trace.js and
// calls.js, as on the page.

import { CallBuilder, FunctionStats, listeners } from './calls.js';
import { RecordReader } from './trace.js';

export function formatMs(value) {
  return Number.isInteger(value) ? String(value) : value.toFixed(1);
}

// Calls of the same function under the same caller, merged, as calls
// open and close: each node has the function's name, its number of calls,
// their total time and its nodes below.
class FoldedCalls {
  constructor() {
    this.roots = new Map();
    this.open = [];
  }

  enter(call) {
    const siblings = this.open.length ? this.open[this.open.length - 1].children : this.roots;
    let node = siblings.get(call.name);
    if (!node) {
      node = { name: call.name, calls: 0, total: 0, children: new Map() };
      siblings.set(call.name, node);
    }
    this.open.push(node);
  }

  adopt(call) {
    // It holds every call so far.
    const node = { name: call.name, calls: 0, total: 0, children: this.roots };
    this.roots = new Map([[call.name, node]]);
    this.open.push(node);
  }

  exit(call) {
    const node = this.open.pop();
    node.calls += 1;
    node.total += call.end - call.start;
  }
}

/**
 * Reads a dump in pieces (push, then end): the table of functions, the
 * calls folded into a tree, and how many records do not pair up and how
 * many pieces are no record. `others` are further listeners of the calls
 * (see CallBuilder).
 */
export class DumpReport {
  constructor(others = []) {
    this.stats = new FunctionStats();
    this.folded = new FoldedCalls();
    this.anomalyCount = 0;
    this.errorCount = 0;
    this.builder = new CallBuilder(listeners(this.stats, this.folded, ...others, {
      anomaly: () => { this.anomalyCount += 1; },
    }));
    this.reader = new RecordReader((name, kind, time) => this.builder.add(name, kind, time),
                                   () => { this.errorCount += 1; });
  }

  push(text) {
    this.reader.push(text);
  }

  /** Returns { records, stats, tree, anomalyCount, errorCount }. */
  end() {
    const records = this.reader.end();
    this.builder.finish();
    return { records, stats: this.stats.rows(), tree: this.folded.roots,
             anomalyCount: this.anomalyCount, errorCount: this.errorCount };
  }
}

function plural(count, one, many) {
  return `${count} ${count === 1 ? one : many}`;
}

/**
 * The table of functions, sorted by total time, its columns aligned: the
 * name on the left, the numbers on the right; the first `most` rows, and
 * how many more there are.
 */
export function formatFunctionTable(stats, most = Infinity) {
  const header = ['function', 'calls', 'total ms', 'self ms', 'max ms'];
  const rows = stats.slice(0, most).map((s) => [s.name, String(s.calls), formatMs(s.total),
                                                formatMs(s.self), formatMs(s.max)]);
  // Not Math.max(...rows): a table of many thousand names overflows the stack.
  const widths = header.map((title, column) =>
    rows.reduce((widest, row) => Math.max(widest, row[column].length), title.length));
  const line = (cells) => cells.map((cell, column) =>
    column === 0 ? cell.padEnd(widths[0]) : cell.padStart(widths[column])).join('  ').trimEnd();
  const left = stats.length - rows.length;
  return [line(header), ...rows.map(line)].join('\n') + '\n' +
         (left > 0 ? `... and ${plural(left, 'function', 'functions')} more\n` : '');
}

/** The call tree (DumpReport's) as indented text, repeated sibling calls on one line. */
export function formatCallTree(tree) {
  const lines = [];
  const visit = (nodes, depth) => {
    for (const node of nodes.values()) {
      lines.push(`${'  '.repeat(depth)}${node.name}  ${plural(node.calls, 'call', 'calls')}` +
                 `  ${formatMs(node.total)} ms`);
      visit(node.children, depth + 1);
    }
  };
  visit(tree, 0);
  return lines.length ? `${lines.join('\n')}\n` : '';
}

/** The lines that say what of the dump could not be used as it stands. */
export function formatProblems({ errorCount, anomalyCount }) {
  let text = '';
  if (anomalyCount) {
    text += `${plural(anomalyCount, 'record does', 'records do')} not pair up ` +
            '(an exit without its enter, or an enter never closed).\n';
  }
  if (errorCount) {
    text += `${plural(errorCount, 'piece', 'pieces')} of the dump ` +
            `${errorCount === 1 ? 'is' : 'are'} no record.\n`;
  }
  return text;
}
