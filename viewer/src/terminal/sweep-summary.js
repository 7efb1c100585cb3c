// The end of a sweep: the rows of its movies gathered into OUT/summary.tsv,
// in the list's order, and what the terminal says of them: how many of
// each status, the messages Ruffle reported most, and the movies with the
// longest frames. Read a movie at a time, whatever their number.

import { join } from 'node:path';
import { OutputFile } from '../node/output-file.js';
import { printableName } from '../node/printable.js';
import { formatMs, plural } from '../model/format.js';
import { HEADER, LIST_FILE, STATUSES, listedMovies, readResult, rowLine } from './sweep-result.js';
import { movieKey } from './sweep-list.js';

/** The summary's file in OUT. */
export const SUMMARY_FILE = 'summary.tsv';
// How many messages and movies the terminal names.
const MOST = 5;

/**
 * Gathers the rows of the movies of OUT's list (`root` the folder their
 * keys are made from) into summary.tsv: { text, counts, missing }, text
 * what the terminal says, missing how many movies have no row yet.
 */
export async function gatherSweep(out, root) {
  const file = new OutputFile(join(out, SUMMARY_FILE));
  file.write(HEADER);
  const counts = new Map(STATUSES.map((status) => [status, 0]));
  const messages = new Map();
  let longest = [];
  let missing = 0;
  let total = 0;
  for await (const movie of listedMovies(join(out, LIST_FILE))) {
    total += 1;
    const row = await readResult(join(out, movieKey(movie, root)));
    if (!row) {
      missing += 1;
      continue;
    }
    file.write(rowLine(row));
    await file.drained();
    counts.set(row.status, (counts.get(row.status) ?? 0) + 1);
    if (row.ruffle_reported) messages.set(row.ruffle_reported, (messages.get(row.ruffle_reported) ?? 0) + 1);
    if (row.longest_frame_ms !== null) {
      longest.push(row);
      if (longest.length > 4 * MOST) longest = keepLongest(longest);
    }
  }
  await file.close();
  const parts = [...counts].filter(([, count]) => count).map(([status, count]) => `${count} ${status}`);
  if (missing) parts.push(`${missing} not done`);
  let text = `${plural(total, 'movie', 'movies')}: ${parts.join(', ') || 'none'}\n`;
  const said = [...messages].sort((a, b) => b[1] - a[1] || (a[0] < b[0] ? -1 : 1)).slice(0, MOST);
  if (said.length) {
    text += 'what Ruffle reported most:\n' +
      said.map(([message, count]) => `  ${plural(count, 'movie', 'movies')}: ${printableName(message)}\n`).join('');
  }
  longest = keepLongest(longest);
  if (longest.length) {
    text += 'the longest frames:\n' + longest.map((row) =>
      `  ${formatMs(row.longest_frame_ms)} ms  ${printableName(row.path)} (median ${formatMs(row.median_frame_ms)} ms, ` +
      `${plural(row.frames, 'frame', 'frames')})\n`).join('');
  }
  return { text, counts, missing };
}

function keepLongest(rows) {
  return rows.sort((a, b) => b.longest_frame_ms - a.longest_frame_ms || (a.path < b.path ? -1 : 1)).slice(0, MOST);
}
