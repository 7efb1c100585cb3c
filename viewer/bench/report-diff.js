#!/usr/bin/env node
// vimbrel-report comparing two big dumps against reporting one: dumps in
// the shape of real ones (10,000,000 records each unless told), the new
// one the old with the same calls (compared to the last record), and one
// of other calls (they part at once). Prints for each run its time and the
// peak memory of its process, and how many times those of the report of
// one dump they are, and its CPU time (user and system) likewise, which
// drifts less than the time on the clock; then the same with --tree
// (unless --without-tree). Each is run twice, in turn with the others, and
// the faster kept: this machine's speed drifts.
//
// usage: node bench/report-diff.js [RECORDS] [--without-tree]   (from viewer/)

import { spawn } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { once } from 'node:events';
import { mkdtemp, rm } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { writeShapedDump } from './shaped-file.js';

const args = process.argv.slice(2);
const WITH_TREE = !args.includes('--without-tree');
const RECORDS = Number(args.find((arg) => !arg.startsWith('--')) ?? 10000000);
// Says the CPU time of the process it is loaded into, at its exit, on fd 3.
const CPU_TIME = 'data:text/javascript,import{writeSync}from"node:fs";' +
  'process.on("exit",()=>{const u=process.cpuUsage();writeSync(3,String((u.user+u.system)/1e6))})';
const REPORT = fileURLToPath(new URL('../bin/vimbrel-report', import.meta.url));

// The peak of a process's resident memory, in MB, as the kernel counts it.
function peakMegabytes(pid) {
  try {
    const status = readFileSync(`/proc/${pid}/status`, 'utf8');
    return Number(/VmHWM:\s+(\d+)/.exec(status)?.[1] ?? 0) / 1024;
  } catch {
    return null;
  }
}

// Runs vimbrel-report with `args`, its report thrown away: { seconds, cpu, megabytes }.
async function timed(args) {
  const begun = process.hrtime.bigint();
  const child = spawn(process.execPath, ['--import', CPU_TIME, REPORT, ...args],
                      { stdio: ['ignore', 'ignore', 'inherit', 'pipe'] });
  let cpu = '';
  child.stdio[3].setEncoding('utf8').on('data', (text) => { cpu += text; });
  let peak = 0;
  const watch = setInterval(() => { peak = Math.max(peak, peakMegabytes(child.pid) ?? 0); }, 20);
  const [status] = await once(child, 'close');
  clearInterval(watch);
  if (status !== 0) throw new Error(`vimbrel-report ${args.join(' ')} ended with ${status}`);
  return { seconds: Number(process.hrtime.bigint() - begun) / 1e9, cpu: Number(cpu), megabytes: peak };
}

const folder = await mkdtemp(join(tmpdir(), 'vimbrel-bench-diff-'));
try {
  const [fresh, same, other] = ['new.txt', 'same.txt', 'other.txt'].map((name) => join(folder, name));
  await Promise.all([[fresh, 1], [same, 1], [other, 2]].map(([path, seed]) => writeShapedDump(path, { records: RECORDS, seed })));
  console.log(`two dumps of ${RECORDS} records in the shape of real ones`);
  // The faster of two runs of each, taken in turn.
  const fastest = async (runs) => {
    const first = [];
    for (const args of runs) first.push(await timed(args));
    const kept = [];
    for (const [at, args] of runs.entries()) {
      const again = await timed(args);
      kept.push(again.seconds < first[at].seconds ? again : first[at]);
    }
    return kept;
  };
  for (const tree of WITH_TREE ? [[], ['--tree']] : [[]]) {
    const [one, sameCalls, otherCalls] = await fastest([[fresh, ...tree], [fresh, '--diff', same, ...tree],
                                                        [fresh, '--diff', other, ...tree]]);
    const row = (label, { seconds, cpu, megabytes }) => console.log(
      `  ${label.padEnd(44)} ${seconds.toFixed(2).padStart(7)} s ${(seconds / one.seconds).toFixed(2).padStart(5)}x` +
      `  cpu ${cpu.toFixed(2).padStart(7)} s ${(cpu / one.cpu).toFixed(2).padStart(5)}x` +
      `  ${megabytes.toFixed(0).padStart(6)} MB ${(megabytes / one.megabytes).toFixed(2).padStart(5)}x`);
    const said = tree.length ? ' --tree' : '';
    row(`report of one${said}`, one);
    row(`--diff, the same calls throughout${said}`, sameCalls);
    row(`--diff, other calls from the first${said}`, otherCalls);
  }
} finally {
  await rm(folder, { recursive: true, force: true });
}
