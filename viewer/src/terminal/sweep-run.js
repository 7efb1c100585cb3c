// A sweep on this machine: its list and options kept in OUT for its jobs,
// the movies still to do, and those run as the jobs of GNU parallel, with
// a line that says how far it is.

import { spawn } from 'node:child_process';
import { createInterface } from 'node:readline';
import { readFile, stat, writeFile } from 'node:fs/promises';
import { createWriteStream } from 'node:fs';
import { once } from 'node:events';
import { join, resolve } from 'node:path';
import { fail } from './failure.js';
import { movieKey, moviesListed, moviesUnder } from './sweep-list.js';
import { LIST_FILE, listedMovies, readResult } from './sweep-result.js';
import { printableName } from '../node/printable.js';

// What a sweep keeps in OUT for its jobs: where the keys are made from, the
// capture's options, the time a movie has.
const CONFIG_FILE = 'sweep.json';
// The movies parallel is given: those without a row yet.
const TODO_FILE = 'todo.list';

/** What a sweep keeps in OUT: { root, captureArgs, movieTimeout, chunk }. */
export async function readConfig(out) {
  try {
    return JSON.parse(await readFile(join(out, CONFIG_FILE), 'utf8'));
  } catch (error) {
    return fail(`${out} holds no sweep (${CONFIG_FILE}: ${error.code === 'ENOENT' ? 'no such file' : error.message})`);
  }
}

/** The list of the sweep, written to OUT as it is read, with its options: resolves to how many movies. */
export async function writeList(options, root, out) {
  const source = resolve(options.source);
  const movies = (await stat(source)).isDirectory() ? moviesUnder(source, out) : moviesListed(source);
  const file = createWriteStream(join(out, LIST_FILE));
  let count = 0;
  for await (const movie of movies) {
    if (!file.write(`${movie}\0`)) await once(file, 'drain');
    count += 1;
  }
  file.end();
  await once(file, 'finish');
  await writeFile(join(out, CONFIG_FILE), JSON.stringify({ root, captureArgs: options.captureArgs,
                                                           movieTimeout: options.movieTimeout, chunk: options.chunk }));
  return count;
}

/** The movies without a result yet, written for parallel: resolves to how many. */
export async function writeTodo(out, root) {
  const file = createWriteStream(join(out, TODO_FILE));
  let count = 0;
  for await (const movie of listedMovies(join(out, LIST_FILE))) {
    if (await readResult(join(out, movieKey(movie, root)))) continue;
    if (!file.write(`${movie}\0`)) await once(file, 'drain');
    count += 1;
  }
  file.end();
  await once(file, 'finish');
  return count;
}

// A line on the terminal that says how far the sweep is; elsewhere a line a movie.
function progressLine({ done, total, failed, begun }, finished) {
  const rate = done / ((Date.now() - begun) / 1000);
  const left = rate > 0 ? Math.ceil((total - done) / rate / 60) : null;
  const text = `done ${done} of ${total}, ${failed} not ok` + (left !== null && done < total ? `, about ${left} min left` : '');
  if (process.stderr.isTTY) process.stderr.write(`\r\x1b[K${text}`);
  else process.stderr.write(`${text}: ${printableName(finished)}\n`);
}

/**
 * The `todo` movies to do, as jobs of GNU parallel, each `step` (the words
 * that run vimbrel-sweep) --step MOVIE --out OUT: resolves to whether it
 * was stopped.
 */
export async function runParallel(options, out, todo, step) {
  const args = ['--will-cite', '--jobs', String(options.jobs), '-0', '-a', join(out, TODO_FILE),
                // Asked to stop, a capture ends its browser first.
                '--termseq', 'INT,15000,TERM,5000,KILL,25',
                ...step, '--step', '{}', '--out', out];
  const child = spawn('parallel', args, { stdio: ['ignore', 'pipe', 'inherit'] });
  let stopped = false;
  const stop = () => {
    stopped = true;
    child.kill('SIGINT');
  };
  for (const signal of ['SIGINT', 'SIGTERM', 'SIGHUP']) process.on(signal, stop);
  const counts = { done: 0, total: todo, failed: 0, begun: Date.now() };
  const spawned = new Promise((done, failed) => child.on('error', failed).on('spawn', done));
  try {
    await spawned;
  } catch (error) {
    fail(error.code === 'ENOENT' ? 'GNU parallel runs the movies, and it is not installed (Debian\'s parallel)'
      : `cannot run GNU parallel: ${error.message}`);
  }
  for await (const line of createInterface({ input: child.stdout })) {
    const [status, path] = line.split('\t');
    counts.done += 1;
    if (status !== 'ok') counts.failed += 1;
    progressLine(counts, `${path} ${status}`);
  }
  const [code] = child.exitCode === null ? await once(child, 'exit') : [child.exitCode];
  if (process.stderr.isTTY) process.stderr.write('\n');
  if (!stopped && code !== 0 && counts.done < todo) fail(`GNU parallel ended with status ${code}`);
  return stopped;
}

