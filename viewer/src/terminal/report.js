// A dump as text for a terminal: the table of functions, the frames, the
// call tree and the lines the movie printed, as DumpReport reads them.

import { printableName } from '../node/printable.js';
import { clockBackSaid, cutShortSaid, formatMs, plural } from '../model/format.js';
import { depthFirst } from '../model/path-tree.js';

export { DumpReport, TRACE_LINES_SHOWN } from '../model/dump-report.js';

/**
 * The table of functions, sorted by total time, its columns aligned: the
 * name on the left, the numbers on the right; the first `most` rows, and
 * how many more there are.
 */
export function formatFunctionTable(stats, most = Infinity) {
  const header = ['function', 'calls', 'total ms', 'self ms', 'max ms'];
  const rows = stats.slice(0, most).map((s) => [printableName(s.name), String(s.calls), formatMs(s.total),
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

/** How deep the tree's lines are indented; deeper lines say their depth. */
export const TREE_INDENT_LEVELS = 32;

/**
 * The lines of a tree, one at a time, from `paths` ([node, depth], depth
 * first), each indented by its depth (deeper than TREE_INDENT_LEVELS, it
 * says its depth), `said(node)` its text.
 */
export function* indentedLines(paths, said) {
  for (const [node, depth] of paths) {
    const indent = '  '.repeat(Math.min(depth, TREE_INDENT_LEVELS)) +
      (depth > TREE_INDENT_LEVELS ? `[depth ${depth}] ` : '');
    yield `${indent}${said(node)}\n`;
  }
}

/** The call tree (DumpReport's) as indented lines, repeated sibling calls on one line. */
export function callTreeLines(tree) {
  return indentedLines(depthFirst(belowOf(tree), belowOf), (node) =>
    `${printableName(node.name)}  ${plural(node.calls, 'call', 'calls')}  ${formatMs(node.total)} ms`);
}

/** The call tree as one text (callTreeLines'). */
export function formatCallTree(tree) {
  return [...callTreeLines(tree)].join('');
}

const belowOf = (node) => node.below?.values() ?? [];

/**
 * The frames' section (FrameStats' summary): how many, median, 95th
 * percentile and longest, how many took longer than a frame of
 * `frameRate` (per second, when known), and the slowest with the
 * functions that took most of their own time in each.
 */
export function formatFrames(frames, frameRate = null) {
  if (!frames) return '';
  let text = `${plural(frames.count, 'frame', 'frames')}: median ${formatMs(frames.median)} ms, ` +
             `95th percentile ${formatMs(frames.p95)} ms, longest ${formatMs(frames.longest)} ms\n`;
  if (frameRate > 0) {
    // A browser draws at its screen's rate, so a frame there often takes a
    // little longer than its budget; one that takes twice as long was missed.
    const budget = 1000 / frameRate;
    text += `${frames.over(budget)} over the budget of ${formatMs(budget)} ms (${frameRate} fps), ` +
            `${frames.over(2 * budget)} over twice that\n`;
  } else {
    text += 'the frame rate is not known: --frame-rate FPS counts the frames over its budget\n';
  }
  text += 'slowest frames:\n';
  const rows = frames.slowest.map((frame) => [
    `frame ${frame.number}`, `at ${formatMs(frame.start)} ms`, `${formatMs(frame.duration)} ms`,
    frame.functions.map((f) => `${printableName(f.name)} ${formatMs(f.self)} ms`).join(', ')]);
  const widths = [0, 1, 2].map((column) => rows.reduce((widest, row) => Math.max(widest, row[column].length), 0));
  for (const row of rows) {
    text += `  ${row[0].padEnd(widths[0])}  ${row[1].padStart(widths[1])}  ${row[2].padStart(widths[2])}` +
            `${row[3] ? `  ${row[3]}` : ''}\n`;
  }
  return text;
}

/**
 * The lines the movie printed with trace() (DumpReport's traces), each at
 * its time, with the call that printed it.
 */
export function formatTraceLines({ count, lines }) {
  if (!count) return '';
  let text = `${plural(count, 'line', 'lines')} printed with trace()` +
             (count > lines.length ? `, the first ${lines.length}:\n` : ':\n');
  const widths = lines.reduce((widest, line) => Math.max(widest, formatMs(line.time).length), 0);
  for (const line of lines) {
    text += `  ${formatMs(line.time).padStart(widths)} ms  ` +
            `${line.call === null ? '(no call)' : `[${printableName(line.call)}]`}  ${printableName(line.text)}\n`;
  }
  if (count > lines.length) text += `  ... and ${count - lines.length} more (--trace-lines prints them all)\n`;
  return text;
}

/** The lines that say what of the dump could not be used as it stands. */
export function formatProblems({ errorCount, anomalyCount, clockBack, cutShort }) {
  let text = '';
  if (clockBack?.count) text += `${clockBackSaid(clockBack)}\n`;
  if (cutShort?.count) text += `${cutShortSaid(cutShort, printableName)}\n`;
  if (anomalyCount) {
    text += `${plural(anomalyCount, 'record does', 'records do')} not pair up ` +
            '(an exit without its enter, or an enter never closed: a call left by an exception, ' +
            'or cut short when its clip was removed).\n';
  }
  if (errorCount) {
    text += `${plural(errorCount, 'piece', 'pieces')} of the dump ` +
            `${errorCount === 1 ? 'is' : 'are'} no record.\n`;
  }
  return text;
}
