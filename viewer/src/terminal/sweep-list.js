// The movies of a sweep: every file ending in .swf under a folder, or the
// paths a list names, one a line; where each one's files go under OUT;
// and the list itself, kept in OUT for the jobs to read.

import { createReadStream } from 'node:fs';
import { open, opendir } from 'node:fs/promises';
import { createInterface } from 'node:readline';
import { dirname, isAbsolute, join, relative, resolve, sep } from 'node:path';

/**
 * The movies under `folder`, depth first, each folder's names in order:
 * absolute paths, one at a time, so that a tree of any size is listed
 * without holding it. `skip` (an absolute path, or null) is left out with
 * all it holds: the sweep's own output. Links are not followed.
 */
export async function* moviesUnder(folder, skip = null) {
  const pending = [resolve(folder)];
  while (pending.length) {
    const at = pending.pop();
    if (at === skip) continue;
    const entries = [];
    for await (const entry of await opendir(at)) entries.push([entry.name, entry.isDirectory(), entry.isFile()]);
    entries.sort((a, b) => (a[0] < b[0] ? -1 : a[0] > b[0] ? 1 : 0));
    const folders = [];
    for (const [name, isFolder, isFile] of entries) {
      if (isFolder) folders.push(join(at, name));
      else if (isFile && /\.swf$/i.test(name)) yield join(at, name);
    }
    for (let i = folders.length - 1; i >= 0; i--) pending.push(folders[i]);
  }
}

/** The movies `list` names, one path a line (relative to the list's own folder), empty lines left out. */
export async function* moviesListed(list) {
  const base = dirname(resolve(list));
  const lines = createInterface({ input: createReadStream(list, { encoding: 'utf8' }), crlfDelay: Infinity });
  for await (const line of lines) {
    if (line.trim() === '') continue;
    yield resolve(base, line);
  }
}

/**
 * Where the files of `movie` go under the sweep's output: its path from
 * `root` (the folder swept, or the list's folder), or, for a movie listed
 * from elsewhere, its whole path, its root left out. Never a path that
 * leaves the output.
 */
export function movieKey(movie, root) {
  const inside = relative(root, movie);
  const path = inside.startsWith(`..${sep}`) || inside === '..' || isAbsolute(inside) ? resolve(movie) : inside;
  return path.split(/[\\/]+/).filter((part) => part !== '' && part !== '.' && part !== '..' && !/^[A-Za-z]:$/.test(part))
    .join('/');
}

/** True when the file at `path` begins as a SWF movie does. */
export async function looksLikeMovie(path) {
  let file;
  try {
    file = await open(path, 'r');
    const { buffer, bytesRead } = await file.read(Buffer.alloc(3), 0, 3, 0);
    return bytesRead === 3 && ['FWS', 'CWS', 'ZWS'].includes(buffer.toString('latin1'));
  } catch {
    return false;
  } finally {
    await file?.close();
  }
}
