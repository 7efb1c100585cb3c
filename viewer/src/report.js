// A dump as text for a terminal: the table of functions and the call tree.
// The parsing and the calls come from trace.js, as on the page.

import { parseDump, buildCallTree, functionStats } from './trace.js';

export function formatMs(value) {
  return Number.isInteger(value) ? String(value) : value.toFixed(1);
}

/** Everything a report needs of a dump's text. */
export function analyseDump(text) {
  const { records, errors } = parseDump(text);
  const { roots, anomalies } = buildCallTree(records);
  return { records, errors, roots, anomalies, stats: functionStats(roots) };
}

function plural(count, one, many) {
  return `${count} ${count === 1 ? one : many}`;
}

/**
 * The table of functions, sorted by total time, its columns aligned: the
 * name on the left, the numbers on the right.
 */
export function formatFunctionTable(stats) {
  const header = ['function', 'calls', 'total ms', 'self ms', 'max ms'];
  const rows = stats.map((s) => [s.name, String(s.calls), formatMs(s.total),
                                 formatMs(s.self), formatMs(s.max)]);
  // Not Math.max(...rows): a table of many thousand names overflows the stack.
  const widths = header.map((title, column) =>
    rows.reduce((widest, row) => Math.max(widest, row[column].length), title.length));
  const line = (cells) => cells.map((cell, column) =>
    column === 0 ? cell.padEnd(widths[0]) : cell.padStart(widths[column])).join('  ').trimEnd();
  return [line(header), ...rows.map(line)].join('\n') + '\n';
}

/**
 * Calls of the same function under the same caller, merged: each node has
 * the function's name, its number of calls and their total time.
 */
export function foldCalls(calls) {
  const folded = [];
  const byName = new Map();
  for (const call of calls) {
    let node = byName.get(call.name);
    if (!node) {
      node = { name: call.name, calls: 0, total: 0, callees: [] };
      byName.set(call.name, node);
      folded.push(node);
    }
    node.calls += 1;
    node.total += call.end - call.start;
    node.callees.push(...call.children);
  }
  for (const node of folded) node.children = foldCalls(node.callees);
  return folded;
}

/** The call tree as indented text, repeated sibling calls on one line. */
export function formatCallTree(roots) {
  const lines = [];
  const visit = (nodes, depth) => {
    for (const node of nodes) {
      lines.push(`${'  '.repeat(depth)}${node.name}  ${plural(node.calls, 'call', 'calls')}` +
                 `  ${formatMs(node.total)} ms`);
      visit(node.children, depth + 1);
    }
  };
  visit(foldCalls(roots), 0);
  return lines.length ? `${lines.join('\n')}\n` : '';
}

/** The lines that say what of the dump could not be used as it stands. */
export function formatProblems({ errors, anomalies }) {
  let text = '';
  if (anomalies.length) {
    text += `${plural(anomalies.length, 'record does', 'records do')} not pair up ` +
            '(an exit without its enter, or an enter never closed).\n';
  }
  if (errors.length) {
    text += `${plural(errors.length, 'piece', 'pieces')} of the dump ` +
            `${errors.length === 1 ? 'is' : 'are'} no record.\n`;
  }
  return text;
}
