// One movie of a sweep: captured by vimbrel-capture into its own folder
// under OUT, within the time it is given, and what came of it kept as its
// row (result.tsv). The same step runs under GNU parallel, in a Slurm
// task, or alone.

import { spawn } from 'node:child_process';
import { createReadStream } from 'node:fs';
import { mkdir, rm, writeFile } from 'node:fs/promises';
import { fileURLToPath } from 'node:url';
import { join } from 'node:path';
import { DumpReport } from '../model/dump-report.js';
import { looksLikeMovie, movieKey } from './sweep-list.js';
import { writeResult } from './sweep-result.js';

const CAPTURE = fileURLToPath(new URL('../../bin/vimbrel-capture', import.meta.url));
// After the time is up, how long the capture has to end on its own.
const GRACE_MS = 10000;
// The capture's status when it refused what it was given, and when no save came.
const REFUSED = 2;
const NO_SAVE = 3;
// What the capture's last words are kept to, in a cell.
const REASON_LENGTH = 300;

// Runs the capture: { status, output, timedOut, interrupted, seconds }.
// It runs in a process group of its own, so that what it leaves running
// can be ended with it; a signal to us is passed on.
function runCapture(args, timeoutSeconds, log) {
  const begun = Date.now();
  const child = spawn(process.execPath, [CAPTURE, ...args], { stdio: ['ignore', 'pipe', 'pipe'], detached: true });
  let output = '';
  const keep = (chunk) => {
    output += chunk;
    log.push(chunk);
  };
  child.stdout.setEncoding('utf8').on('data', keep);
  child.stderr.setEncoding('utf8').on('data', keep);
  let timedOut = false;
  let killer = null;
  const timer = setTimeout(() => {
    timedOut = true;
    // It ends its browser when asked; the group, if it does not.
    child.kill('SIGTERM');
    killer = setTimeout(() => { try { process.kill(-child.pid, 'SIGKILL'); } catch { /* gone */ } }, GRACE_MS);
  }, timeoutSeconds * 1000);
  let interrupted = false;
  const stopped = () => {
    interrupted = true;
    child.kill('SIGTERM');
  };
  for (const signal of ['SIGINT', 'SIGTERM', 'SIGHUP']) process.on(signal, stopped);
  return new Promise((done) => child.on('close', (status) => {
    clearTimeout(timer);
    clearTimeout(killer);
    for (const signal of ['SIGINT', 'SIGTERM', 'SIGHUP']) process.off(signal, stopped);
    done({ status, output, timedOut, interrupted: interrupted && !timedOut, seconds: (Date.now() - begun) / 1000 });
  }));
}

// What the dump holds: records, functions, frames, median and longest frame.
async function dumpFigures(path) {
  const report = new DumpReport([], { traceLines: 0 });
  try {
    for await (const chunk of createReadStream(path, { encoding: 'utf8' })) report.push(chunk);
  } catch (error) {
    if (error.code === 'ENOENT') return null;
    throw error;
  }
  const { records, stats, frames } = report.end();
  return { records, functions: stats.length, frames: frames?.count ?? 0, median_frame_ms: frames?.median ?? null,
           longest_frame_ms: frames?.longest ?? null };
}

// The capture's own word for why it failed: its last "vimbrel-capture:" line.
function failureSaid(output) {
  const said = output.split('\n').filter((line) => line.startsWith('vimbrel-capture: ')).pop();
  const text = (said ?? output.trim().split('\n').pop() ?? '').replace(/^vimbrel-capture: /, '');
  return text.length > REASON_LENGTH ? `${text.slice(0, REASON_LENGTH)}…` : text;
}

// The first problem Ruffle reported, as the capture says it.
function ruffleSaid(output) {
  return /Ruffle reported: (.*)$/m.exec(output)?.[1] ?? /Ruffle could not load [^:]*: (.*)$/m.exec(output)?.[1] ?? null;
}

/**
 * Captures `movie` into OUT/<its key from `root`>/ with the capture's
 * `captureArgs`, given `timeout` seconds; writes its row there and
 * resolves to it. A movie stopped by a signal gets no row: a resumed sweep
 * plays it again.
 */
export async function sweepMovie({ movie, root, out, captureArgs = [], timeout }) {
  const key = movieKey(movie, root);
  const folder = join(out, key);
  await mkdir(folder, { recursive: true });
  const row = { path: key, status: 'ok', reason: '', seconds: 0, records: null, functions: null, frames: null,
                median_frame_ms: null, longest_frame_ms: null, ruffle_reported: null };
  if (!(await looksLikeMovie(movie))) {
    await writeResult(folder, { ...row, status: 'not a movie', reason: 'it does not begin as a SWF movie does' });
    return { ...row, status: 'not a movie' };
  }
  // What an earlier, unfinished run left is not this run's.
  await Promise.all(['dump.txt', 'trace.json', 'output.txt'].map((name) => rm(join(folder, name), { force: true })));
  const log = [];
  const run = await runCapture([movie, '--out', folder, ...captureArgs], timeout, log);
  await writeFile(join(folder, 'capture.log'), log.join(''));
  if (run.interrupted) return null;
  row.seconds = Math.round(run.seconds * 10) / 10;
  row.ruffle_reported = ruffleSaid(run.output);
  const figures = await dumpFigures(join(folder, 'dump.txt'));
  if (figures) Object.assign(row, figures);
  if (run.timedOut) Object.assign(row, { status: 'timeout', reason: `still running after ${timeout} s` });
  else if (run.status === NO_SAVE) Object.assign(row, { status: 'no save', reason: failureSaid(run.output) });
  else if (run.status === REFUSED) Object.assign(row, { status: 'refused', reason: failureSaid(run.output) });
  else if (run.status !== 0) Object.assign(row, { status: 'failed', reason: failureSaid(run.output) });
  else if (!figures?.records) Object.assign(row, { status: 'no records', reason: 'the save held no records' });
  await writeResult(folder, row);
  return row;
}
