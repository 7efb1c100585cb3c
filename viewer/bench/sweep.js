#!/usr/bin/env node
// vimbrel-sweep over a folder of the test movies: MOVIES movies (24 unless
// told; copies of the demo and of the event movies, in subfolders) swept
// with --jobs 1 and with --jobs 2, each into a fresh OUT: the movies an
// hour of each and their ratio; the finished sweep run again (resumed);
// then folders of 100 and of 1,000 files that are no movies (each a job,
// quick), for the sweep's own peak memory as the number of movies grows.
//
// usage: node bench/sweep.js [MOVIES] [--seconds N]   (from viewer/, FLASM set)

import { spawn } from 'node:child_process';
import { copyFileSync, mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { once } from 'node:events';
import { mkdtemp, rm } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';

const argv = process.argv.slice(2);
const secondsAt = argv.indexOf('--seconds');
const SECONDS = secondsAt >= 0 ? argv.splice(secondsAt, 2)[1] : '2';
const MOVIES = Number(argv[0] ?? 24);
const SWEEP = fileURLToPath(new URL('../bin/vimbrel-sweep', import.meta.url));
const fixture = (name) => fileURLToPath(new URL(`../test/fixtures/${name}`, import.meta.url));
const SOURCES = ['demo.swf', 'demo-traced.swf', 'events/button_goto.swf', 'events/clip_events.swf'];

// The peak of a process's resident memory, in MB.
function peakMegabytes(pid) {
  try {
    return Number(/VmHWM:\s+(\d+)/.exec(readFileSync(`/proc/${pid}/status`, 'utf8'))?.[1] ?? 0) / 1024;
  } catch {
    return 0;
  }
}

// Runs a sweep: { seconds, megabytes (the sweep's own process), summary }.
async function timedSweep(args) {
  const begun = process.hrtime.bigint();
  const child = spawn(process.execPath, [SWEEP, ...args], { stdio: ['ignore', 'pipe', 'pipe'] });
  let summary = '';
  child.stdout.setEncoding('utf8').on('data', (text) => { summary += text; });
  child.stderr.resume();
  let peak = 0;
  const watch = setInterval(() => { peak = Math.max(peak, peakMegabytes(child.pid)); }, 50);
  const [status] = await once(child, 'exit');
  clearInterval(watch);
  if (status !== 0) throw new Error(`vimbrel-sweep ${args.join(' ')} ended with ${status}`);
  return { seconds: Number(process.hrtime.bigint() - begun) / 1e9, megabytes: peak, summary };
}

const folder = await mkdtemp(join(tmpdir(), 'vimbrel-bench-sweep-'));
try {
  const games = join(folder, 'games');
  for (let i = 0; i < MOVIES; i++) {
    const sub = join(games, `set${i % 4}`);
    mkdirSync(sub, { recursive: true });
    copyFileSync(fixture(SOURCES[i % SOURCES.length]), join(sub, `movie${i}.swf`));
  }
  console.log(`vimbrel-sweep over ${MOVIES} test movies, --seconds ${SECONDS}`);
  const perHour = {};
  for (const jobs of [1, 2]) {
    const out = join(folder, `out-${jobs}`);
    const run = await timedSweep([games, '--out', out, '--jobs', String(jobs), '--seconds', SECONDS]);
    perHour[jobs] = (MOVIES / run.seconds) * 3600;
    console.log(`  --jobs ${jobs}: ${run.seconds.toFixed(1)} s, ${perHour[jobs].toFixed(0)} movies an hour; ` +
                `${run.summary.split('\n')[0]}`);
  }
  console.log(`  --jobs 2 plays ${(perHour[2] / perHour[1]).toFixed(2)}x the movies an hour of --jobs 1`);
  const resumed = await timedSweep([games, '--out', join(folder, 'out-2'), '--seconds', SECONDS]);
  console.log(`  the finished sweep run again: ${resumed.seconds.toFixed(2)} s`);
  for (const count of [100, 1000]) {
    const files = join(folder, `files-${count}`);
    for (let i = 0; i < count; i++) {
      const sub = join(files, `part${i % 10}`);
      mkdirSync(sub, { recursive: true });
      writeFileSync(join(sub, `file${i}.swf`), 'no movie\n');
    }
    const run = await timedSweep([files, '--out', join(folder, `files-out-${count}`), '--jobs', '2']);
    console.log(`  ${String(count).padStart(4)} files that are no movies: ${run.seconds.toFixed(1)} s, the sweep's ` +
                `peak ${run.megabytes.toFixed(0)} MB; ${run.summary.split('\n')[0]}`);
  }
} finally {
  await rm(folder, { recursive: true, force: true });
}
