// Two dumps compared, as text for a terminal (vimbrel-report NEW --diff
// OLD): the dumps in a line, the functions with both figures and the
// change, the frames side by side, the merged call tree, and where the two
// runs part. What is compared comes from comparison.js.

import { BOTH, GONE, NEW, mergedPaths, percentOf } from '../model/comparison.js';
import { formatMs, plural } from '../model/format.js';
import { printableName } from '../node/printable.js';
import { indentedLines } from './report.js';

/** A change as text: "+60", "-5", "0"; with `before` given, its percent too: "+60 (+12%)". */
export function signed(change, before = undefined) {
  // Sums of times in tenths keep no trace of a rounding error.
  const rounded = Math.round(change * 1000) / 1000;
  const text = Math.abs(rounded) < 0.05 ? '0' : `${rounded > 0 ? '+' : '-'}${formatMs(Math.abs(rounded))}`;
  if (before === undefined) return text;
  const percent = percentOf(rounded, before);
  if (percent === null) return text;
  const size = Math.abs(percent);
  const shown = size >= 10 ? String(Math.round(size)) : String(+size.toFixed(1));
  return `${text} (${shown === '0' ? '' : percent > 0 ? '+' : '-'}${shown}%)`;
}

// Columns aligned: the first on the left, the others on the right.
function aligned(header, rows) {
  const widths = header.map((title, column) =>
    rows.reduce((widest, row) => Math.max(widest, row[column].length), title.length));
  const line = (cells) => cells.map((cell, column) =>
    column === 0 ? cell.padEnd(widths[0]) : cell.padStart(widths[column])).join('  ').trimEnd();
  return [line(header), ...rows.map(line)].join('\n') + '\n';
}

/**
 * The first line: the two dumps (`newSide` and `oldSide`, each { title,
 * records, span, total }) and the change of their span and total.
 */
export function formatDumpsLine(newSide, oldSide) {
  return `${printableName(newSide.title)} against ${printableName(oldSide.title)}: ` +
         `${newSide.records} records (${oldSide.records} before), ` +
         `${formatMs(newSide.span)} ms from the first to the last (${formatMs(oldSide.span)} before, ` +
         `${signed(newSide.span - oldSide.span)}), ${formatMs(newSide.total)} ms in calls ` +
         `(${formatMs(oldSide.total)} before, ${signed(newSide.total - oldSide.total)})\n`;
}

/**
 * The functions compared (compareFunctions' rows): calls, total and self
 * in OLD and in NEW and the change of each, a function only in one of them
 * marked; with `percent`, the change in percent too.
 */
export function formatFunctionDiff(rows, { percent = false } = {}) {
  const header = ['function', 'old calls', 'new calls', 'change', 'old total ms', 'new total ms', 'change',
                  'old self ms', 'new self ms', 'change', ''];
  const cells = rows.map((row) => {
    const oldCell = (figure, format) => (row.status === NEW ? '-' : format(row.old[figure]));
    const newCell = (figure, format) => (row.status === GONE ? '-' : format(row.new[figure]));
    const change = (figure) => signed(row.change[figure], percent && row.status === BOTH ? row.old[figure] : undefined);
    return [printableName(row.name),
            oldCell('calls', String), newCell('calls', String), change('calls'),
            oldCell('total', formatMs), newCell('total', formatMs), change('total'),
            oldCell('self', formatMs), newCell('self', formatMs), change('self'),
            row.status === BOTH ? '' : row.status];
  });
  return aligned(header, cells);
}

/**
 * The frames of both dumps side by side (FrameStats' summaries): how
 * many, median, 95th percentile, longest, and over the budget of a frame
 * at `frameRate` when it is known.
 */
export function formatFramesDiff(newFrames, oldFrames, frameRate = null) {
  if (!newFrames && !oldFrames) return '';
  if (!newFrames || !oldFrames) return `frames are marked in the ${newFrames ? 'new' : 'old'} dump only\n`;
  const row = (title, fresh, old, format = formatMs) => [title, format(old), format(fresh), signed(fresh - old)];
  const rows = [row('frames', newFrames.count, oldFrames.count, String),
                row('median ms', newFrames.median, oldFrames.median),
                row('95th percentile ms', newFrames.p95, oldFrames.p95),
                row('longest ms', newFrames.longest, oldFrames.longest)];
  if (frameRate > 0) {
    const budget = 1000 / frameRate;
    rows.push(row(`over ${formatMs(budget)} ms (${frameRate} fps)`, newFrames.over(budget), oldFrames.over(budget), String));
  }
  let text = aligned(['', 'old', 'new', 'change'], rows);
  if (!(frameRate > 0)) text += 'the frame rate is not known: --frame-rate FPS counts the frames over its budget\n';
  return text;
}

/**
 * The call trees of both dumps merged (comparison.js's mergedPaths), as
 * indented lines, one at a time: each path with its calls and time in both
 * and the change, new and gone paths marked.
 */
export function treeDiffLines(newTop, oldTop, { percent = false } = {}) {
  return indentedLines(mergedPaths(newTop, oldTop), (node) => {
    const side = node.status === GONE ? node.old : node.new;
    const figures = node.status === BOTH
      ? `${node.old.calls} -> ${plural(node.new.calls, 'call', 'calls')}  ${formatMs(node.old.total)} -> ${formatMs(node.new.total)} ms`
      : `${plural(side.calls, 'call', 'calls')}  ${formatMs(side.total)} ms`;
    const change = signed(node.change.total, percent && node.status === BOTH ? node.old.total : undefined);
    return `${printableName(node.name)}  ${figures}  ${change}${node.status === BOTH ? '' : `  ${node.status}`}`;
  });
}

const made = (call) => (call.kind === 'Enter' ? `enters ${printableName(call.name)}` : `exits ${printableName(call.name)}`);

/**
 * Where the two runs part (PartingPlace's result), the dumps named
 * `newTitle` and `oldTitle`.
 */
export function formatParting(parting, newTitle, oldTitle, compared) {
  const [fresh, old] = [printableName(newTitle), printableName(oldTitle)];
  if (!parting) return `the two runs make the same calls throughout: ${plural(compared, 'record', 'records')} of calls agree\n`;
  const at = parting.made.map((call, side) => (call ? `record ${call.record}` : `the end (after record ${parting.records[side]})`));
  const where = parting.path.length ? `inside ${parting.path.map(printableName).join(' > ')}` : 'at the top';
  let text = `the two runs part after ${plural(parting.compared, 'record', 'records')} of calls that agree, ` +
             `at ${at[0]} of ${fresh} and ${at[1]} of ${old}, ${where}:\n`;
  for (const [side, title] of [[0, fresh], [1, old]]) {
    const call = parting.made[side];
    text += `  ${title}: ${call ? made(call) : 'its records end'}\n`;
  }
  return text;
}
