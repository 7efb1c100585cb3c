// vimbrel-sweep over a small folder made here: movies that save (one in a
// subfolder), a file that is no movie and a movie that keeps Ruffle busy
// past its time, as jobs of GNU parallel; resumed; stopped by SIGINT; and
// as a Slurm job array on a one-node cluster started for the test.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, spawnSync } from 'node:child_process';
import { copyFileSync, existsSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { hostname, tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { buildMovie } from '../../support/build-movie.js';
import { NO_FLASM } from '../../support/flasm.js';

const SWEEP = fileURLToPath(new URL('../../../bin/vimbrel-sweep', import.meta.url));
const fixture = (name) => fileURLToPath(new URL(`../../fixtures/${name}`, import.meta.url));
const NO_PARALLEL = spawnSync('parallel', ['--version']).status === 0 ? false : 'GNU parallel is not installed';
const NO_SLURM = spawnSync('slurmctld', ['-V']).status === 0 ? false : 'Slurm is not installed';

function withFolder(body) {
  const folder = mkdtempSync(join(tmpdir(), 'vimbrel-sweep-test-'));
  return Promise.resolve(body(folder)).finally(() => rmSync(folder, { recursive: true, force: true }));
}

// Runs vimbrel-sweep: { status, stdout, stderr, seconds }; `started(child)` hears it begin.
function sweep(args, { env = process.env, started = () => {} } = {}) {
  const begun = Date.now();
  const child = spawn(process.execPath, [SWEEP, ...args], { env });
  let stdout = '';
  let stderr = '';
  child.stdout.setEncoding('utf8').on('data', (text) => { stdout += text; });
  child.stderr.setEncoding('utf8').on('data', (text) => { stderr += text; });
  started(child);
  return new Promise((done) => child.on('close', (status) => done({ status, stdout, stderr, seconds: (Date.now() - begun) / 1000 })));
}

// The rows of OUT/summary.tsv by path, each its status and reason.
function summaryRows(out) {
  const [header, ...lines] = readFileSync(join(out, 'summary.tsv'), 'utf8').trimEnd().split('\n');
  assert.equal(header, 'path\tstatus\treason\tseconds\trecords\tfunctions\tframes\tmedian_frame_ms\tlongest_frame_ms\truffle_reported');
  return lines.map((line) => line.split('\t'));
}

// games/ in `folder`: the demo, a traced movie in a subfolder, a file that is no movie.
function folderOfGames(folder) {
  const games = join(folder, 'games');
  mkdirSync(join(games, 'sub'), { recursive: true });
  copyFileSync(fixture('demo.swf'), join(games, 'demo.swf'));
  copyFileSync(fixture('demo-traced.swf'), join(games, 'sub', 'traced.swf'));
  writeFileSync(join(games, 'notes.swf'), 'not a movie\n');
  return games;
}

const listing = (folder) => readdirSync(folder, { recursive: true }).sort();

// A movie whose every frame loops for ever: Ruffle ends each script after
// 15 s, so its capture outlasts a short movie timeout.
const FOREVER = ['   forever0:\n    branch forever0\n', '   forever1:\n    branch forever1\n'];

test('a folder swept: a row a movie, each movie\'s files in OUT, nothing in the folder; resumed in a moment',
     { skip: NO_FLASM || NO_PARALLEL }, () => withFolder(async (folder) => {
  const games = folderOfGames(folder);
  await buildMovie({ folder: games, name: 'forever', frames: FOREVER });
  for (const left of ['forever.flm', 'forever.$wf']) rmSync(join(games, left), { force: true });
  const before = listing(games);
  const out = join(folder, 'out');
  const run = await sweep([games, '--out', out, '--seconds', '1', '--movie-timeout', '14', '--jobs', '2']);
  assert.equal(run.status, 0, run.stderr);
  assert.match(run.stderr, /^4 movies under .*games; 4 to play, 2 at a time$/m);
  assert.match(run.stderr, /^done 4 of 4, 2 not ok: /m);
  const rows = summaryRows(out);
  // The folder's files first, in order, then its subfolders'.
  assert.deepEqual(rows.map(([path, status, reason]) => [path, status, reason]), [
    ['demo.swf', 'ok', ''],
    ['forever.swf', 'timeout', 'still running after 14 s'],
    ['notes.swf', 'not a movie', 'it does not begin as a SWF movie does'],
    ['sub/traced.swf', 'ok', ''],
  ]);
  const [demo, , , traced] = rows;
  // Records, functions and frames, as the dump holds them.
  assert.ok(Number(demo[4]) > 100 && Number(demo[5]) >= 5 && Number(demo[6]) > 5, demo.join(' '));
  assert.ok(Number(demo[8]) >= Number(demo[7]), 'the longest frame is no shorter than the median');
  assert.ok(Number(traced[4]) > 0 && traced[6] === '0', 'a movie traced without frame marks has none');
  for (const path of ['demo.swf', 'sub/traced.swf']) {
    for (const file of ['dump.txt', 'output.txt', 'capture.log', 'result.tsv']) {
      assert.ok(existsSync(join(out, path, file)), `${path}/${file}`);
    }
  }
  assert.match(run.stdout, /^4 movies: 2 ok, 1 timeout, 1 not a movie\n/);
  assert.match(run.stdout, /^the longest frames:\n {2}[\d.]+ ms {2}demo\.swf \(median [\d.]+ ms, \d+ frames\)$/m);
  assert.deepEqual(listing(games), before, 'nothing is written into the folder swept');

  // Run again, nothing is played again.
  const again = await sweep([games, '--out', out, '--seconds', '1', '--movie-timeout', '14']);
  assert.equal(again.status, 0, again.stderr);
  assert.match(again.stderr, /4 done already; 0 to play/);
  assert.ok(again.seconds < 5, `resumed in ${again.seconds} s`);
  assert.deepEqual(summaryRows(out), rows);
  // The output cannot be inside the folder swept.
  const inside = await sweep([games, '--out', join(games, 'out')]);
  assert.equal(inside.status, 2);
  assert.match(inside.stderr, /is inside .*games: nothing is written into the folder swept/);
}));

test('stopped by SIGINT, a sweep ends its captures and keeps what finished; resumed, it plays the rest',
     { skip: NO_FLASM || NO_PARALLEL }, () => withFolder(async (folder) => {
  const games = join(folder, 'games');
  mkdirSync(games);
  for (const name of ['a', 'b', 'c']) copyFileSync(fixture('demo.swf'), join(games, `${name}.swf`));
  const list = join(folder, 'list.txt');
  writeFileSync(list, 'games/a.swf\n\ngames/b.swf\ngames/c.swf\n');
  const out = join(folder, 'out');
  let child;
  const running = sweep([list, '--out', out, '--seconds', '2', '--jobs', '1'], { started: (started) => { child = started; } });
  // Once the first is done, the second is playing.
  while (!existsSync(join(out, 'games', 'a.swf', 'result.tsv'))) await new Promise((done) => setTimeout(done, 200));
  await new Promise((done) => setTimeout(done, 1500));
  child.kill('SIGINT');
  const stopped = await running;
  assert.equal(stopped.status, 130, stopped.stderr);
  assert.match(stopped.stdout, /^3 movies: 1 ok, 2 not done\n/);
  assert.deepEqual(summaryRows(out).map(([path, status]) => [path, status]), [['games/a.swf', 'ok']]);
  assert.equal(existsSync(join(out, 'games', 'b.swf', 'result.tsv')), false, 'the movie stopped has no row');
  const left = spawnSync('pgrep', ['-f', out]).stdout.toString().trim();
  assert.equal(left, '', 'no capture is left running');
  const resumed = await sweep([list, '--out', out, '--seconds', '1', '--jobs', '2']);
  assert.equal(resumed.status, 0, resumed.stderr);
  assert.match(resumed.stderr, /1 done already; 2 to play/);
  assert.deepEqual(summaryRows(out).map(([path, status]) => [path, status]),
                   [['games/a.swf', 'ok'], ['games/b.swf', 'ok'], ['games/c.swf', 'ok']]);
}));

// A Slurm cluster of this one machine, its controller and node daemon on
// loopback, for `body(env)`; both stopped after, by their ids.
async function withCluster(folder, body) {
  const name = hostname();
  const port = 20000 + Math.floor(Math.random() * 20000);
  const state = (file) => join(folder, file);
  for (const sub of ['state', 'spool']) mkdirSync(state(sub));
  const conf = state('slurm.conf');
  writeFileSync(conf, [
    'ClusterName=vimbrel', `SlurmctldHost=${name}(127.0.0.1)`, 'AuthType=auth/none', 'CredType=cred/none',
    'SlurmUser=root', 'SlurmdUser=root', `SlurmctldPort=${port}`, `SlurmdPort=${port + 1}`,
    `StateSaveLocation=${state('state')}`, `SlurmdSpoolDir=${state('spool')}`,
    `SlurmctldPidFile=${state('slurmctld.pid')}`, `SlurmdPidFile=${state('slurmd.pid')}`,
    `SlurmctldLogFile=${state('slurmctld.log')}`, `SlurmdLogFile=${state('slurmd.log')}`,
    'ProctrackType=proctrack/linuxproc', 'TaskPlugin=task/none', 'SelectType=select/cons_tres',
    'SelectTypeParameters=CR_CPU', 'SchedulerType=sched/builtin', 'ReturnToService=2', 'MpiDefault=none',
    'JobAcctGatherType=jobacct_gather/none', 'AccountingStorageType=accounting_storage/none',
    `NodeName=${name} NodeAddr=127.0.0.1 CPUs=2 State=UNKNOWN`,
    'PartitionName=sweep Nodes=ALL Default=YES MaxTime=INFINITE State=UP', '',
  ].join('\n'));
  const env = { ...process.env, SLURM_CONF: conf };
  const pids = [];
  try {
    for (const daemon of ['slurmctld', 'slurmd']) {
      const started = spawnSync(daemon, ['-f', conf], { env, encoding: 'utf8' });
      assert.equal(started.status, 0, `${daemon}: ${started.stderr}`);
      const pidFile = state(`${daemon}.pid`);
      for (let waited = 0; !existsSync(pidFile) && waited < 100; waited++) await new Promise((done) => setTimeout(done, 100));
      pids.push(Number(readFileSync(pidFile, 'utf8')));
    }
    // Ready once the node is idle.
    for (let waited = 0; ; waited++) {
      const said = spawnSync('sinfo', ['-h', '-o', '%t'], { env, encoding: 'utf8' }).stdout.trim();
      if (said === 'idle') break;
      assert.ok(waited < 100, `the node is ${said || 'not known'}: ${readFileSync(state('slurmctld.log'), 'utf8').slice(-500)}`);
      await new Promise((done) => setTimeout(done, 200));
    }
    return await body(env);
  } finally {
    for (const pid of pids.reverse()) {
      try { process.kill(pid, 'SIGTERM'); } catch { /* ended */ }
    }
  }
}

test('on a one-node Slurm cluster: a job array over chunks of the list, gathered by --merge as on one machine',
     { skip: NO_FLASM || NO_SLURM }, () => withFolder(async (folder) => {
  const games = folderOfGames(folder);
  const out = join(folder, 'out');
  await withCluster(join(folder), async (env) => {
    const written = await sweep([games, '--out', out, '--slurm', '--chunk', '2', '--cpus', '1', '--seconds', '1'], { env });
    assert.equal(written.status, 0, written.stderr);
    assert.match(written.stderr, /^3 movies in 2 tasks: submit .*sweep\.sbatch with sbatch/m);
    const batch = readFileSync(join(out, 'sweep.sbatch'), 'utf8');
    assert.match(batch, /^#SBATCH --array=0-1$/m);
    assert.match(batch, /^#SBATCH --cpus-per-task=1$/m);
    assert.match(batch, /^exec .* --task "\$SLURM_ARRAY_TASK_ID" --out '.*out'$/m);
    const submitted = spawnSync('sbatch', ['--parsable', join(out, 'sweep.sbatch')], { env, encoding: 'utf8' });
    assert.equal(submitted.status, 0, submitted.stderr);
    const job = submitted.stdout.trim();
    for (let waited = 0; spawnSync('squeue', ['-h', '-j', job], { env, encoding: 'utf8' }).stdout.trim(); waited++) {
      assert.ok(waited < 600, 'the array ends within two minutes');
      await new Promise((done) => setTimeout(done, 200));
    }
    assert.deepEqual(readdirSync(join(out, 'slurm')).sort(), ['task-0.log', 'task-1.log']);
    const merged = await sweep(['--merge', out], { env });
    assert.equal(merged.status, 0, merged.stderr);
    assert.match(merged.stdout, /^3 movies: 2 ok, 1 not a movie\n/);
    assert.deepEqual(summaryRows(out).map(([path, status]) => [path, status]),
                     [['demo.swf', 'ok'], ['notes.swf', 'not a movie'], ['sub/traced.swf', 'ok']]);
  });
}));
