// What a sweep keeps of each movie: a row of summary.tsv, written beside
// the movie's files as result.tsv once its capture is over (its presence
// is what tells a resumed sweep the movie is done), and the list of the
// sweep's movies in OUT.

import { createReadStream } from 'node:fs';
import { readFile, rename, writeFile } from 'node:fs/promises';
import { join } from 'node:path';

/** The columns of summary.tsv, in order. */
export const COLUMNS = ['path', 'status', 'reason', 'seconds', 'records', 'functions', 'frames', 'median_frame_ms',
                        'longest_frame_ms', 'ruffle_reported'];

/** What became of a movie. */
export const STATUSES = ['ok', 'no records', 'no save', 'timeout', 'not a movie', 'refused', 'failed'];

/** The file of a movie's row, in its folder under OUT. */
export const RESULT_FILE = 'result.tsv';
/** The list of the sweep's movies, in OUT: absolute paths, each ended by a NUL. */
export const LIST_FILE = 'sweep.list';

// A value in a cell: a tab, a line end or a backslash escaped, so that a
// row is one line whatever a name holds.
const ESCAPES = { '\t': '\\t', '\n': '\\n', '\r': '\\r', '\\': '\\\\' };
const escaped = (value) => String(value ?? '').replace(/[\t\n\r\\]/g, (character) => ESCAPES[character]);
const UNESCAPES = { t: '\t', n: '\n', r: '\r', '\\': '\\' };
const unescaped = (cell) => cell.replace(/\\([tnr\\])/g, (_, letter) => UNESCAPES[letter]);

/** The header line of summary.tsv. */
export const HEADER = `${COLUMNS.join('\t')}\n`;

/** A row ({ path, status, ... }) as a line of TSV. */
export function rowLine(row) {
  return `${COLUMNS.map((column) => escaped(row[column])).join('\t')}\n`;
}

/** A line of TSV as a row: the numbers as numbers, an empty cell as null. */
export function lineRow(line) {
  const cells = line.replace(/\n$/, '').split('\t').map(unescaped);
  const row = {};
  COLUMNS.forEach((column, at) => {
    const cell = cells[at] ?? '';
    row[column] = cell === '' ? null : ['path', 'status', 'reason', 'ruffle_reported'].includes(column) ? cell : Number(cell);
  });
  return row;
}

/** Writes the row of the movie whose files are in `folder`: whole or not at all. */
export async function writeResult(folder, row) {
  const path = join(folder, RESULT_FILE);
  await writeFile(`${path}.part`, rowLine(row));
  await rename(`${path}.part`, path);
}

/** The row kept in `folder`, or null when the movie has none yet. */
export async function readResult(folder) {
  try {
    return lineRow(await readFile(join(folder, RESULT_FILE), 'utf8'));
  } catch (error) {
    if (error.code === 'ENOENT') return null;
    throw error;
  }
}

/** The movies of the list at `path`, one at a time. */
export async function* listedMovies(path) {
  let rest = '';
  for await (const chunk of createReadStream(path, { encoding: 'utf8' })) {
    const parts = (rest + chunk).split('\0');
    rest = parts.pop();
    yield* parts;
  }
  if (rest) yield rest;
}
