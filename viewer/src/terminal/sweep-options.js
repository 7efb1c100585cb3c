// vimbrel-sweep's command line: its own options, and those of
// vimbrel-capture it passes on to every movie's capture. A problem is a
// Failure with status 2.

import { availableParallelism } from 'node:os';
import { resolve } from 'node:path';
import { commandLineOf, fail } from './failure.js';
import { CAPTURE_OPTIONS } from './capture-options.js';

export const USAGE = `usage: vimbrel-sweep DIR|LIST --out OUT [--jobs N] [--movie-timeout SECONDS]
                     [--slurm [--chunk N] [--cpus N] [--mem MB] [--time MINUTES]
                      [--partition NAME]] [vimbrel-capture's options]
       vimbrel-sweep --merge OUT

Captures every movie under DIR (every file ending in .swf), or each movie
LIST names (one path a line, relative to the list's folder), as
vimbrel-capture does: each from its own folder, into OUT/<its path>/
(dump.txt, trace.json, output.txt, capture.log and result.tsv). Nothing is
written into DIR. Then writes OUT/summary.tsv, a row a movie (path,
status, reason, seconds, records, functions, frames, median and longest
frame in ms, the first problem Ruffle reported), and prints how many
movies came to each status (ok, no records, no save, timeout, not a movie,
refused, failed), what Ruffle reported most and the longest frames.

The movies run as jobs of GNU parallel on this machine. A movie with a
result in OUT is not played again, so a sweep that was stopped goes on
where it was; SIGINT ends the running captures and keeps what finished.

  --out OUT            where the results go (not inside DIR)
  --jobs N             how many movies play at once (the cores: ${availableParallelism()})
  --movie-timeout S    how long one movie's capture may take, in seconds
                       (120); past it the movie is a timeout
  --slurm              do not run: write OUT/sweep.sbatch, a Slurm job array
                       over chunks of the list, for sbatch; then
                       vimbrel-sweep --merge OUT gathers what its tasks wrote
  --chunk N            with --slurm: movies a task (50)
  --cpus N             with --slurm: CPUs a task (2)
  --mem MB             with --slurm: memory a task
  --time MINUTES       with --slurm: a task's time limit (enough for its
                       chunk at the movie timeout, unless given)
  --partition NAME     with --slurm: the partition
  --merge OUT          gather the results in OUT into summary.tsv, and say
                       what they hold
  --help               show this text

Of vimbrel-capture's options, --seconds, --input, --clock, --flush-every,
--no-frames, --no-events, --no-trace-output, --chrome, --no-stand-ins,
--only, --skip, --flasm, --vimbrel and --tool-timeout are passed on to
every capture. It needs GNU parallel (Debian's parallel) to run, Slurm's
sbatch to run the array.
`;

const whole = (least) => (text) => (/^\d{1,9}$/.test(text) && Number(text) >= least ? Number(text) : undefined);

const SWEEP_OPTIONS = {
  '--help': {}, '-h': {}, '--slurm': {},
  '--out': { value: 'a folder' },
  '--merge': { value: 'a folder' },
  '--jobs': { value: 'a number of jobs', read: whole(1) },
  '--movie-timeout': { value: 'a number of seconds', read: whole(1) },
  '--chunk': { value: 'a number of movies', read: whole(1) },
  '--cpus': { value: 'a number of CPUs', read: whole(1) },
  '--mem': { value: 'a number of MB', read: whole(1) },
  '--time': { value: 'a number of minutes', read: whole(1) },
  '--partition': { value: 'a partition\'s name', read: (text) => (/^[\w.-]+$/.test(text) ? text : undefined) },
  // What the sweep's own jobs are run with.
  '--step': { value: 'a movie' },
  '--task': { value: 'a task number', read: whole(0) },
};

// The capture's options each capture gets, and those a sweep cannot pass.
const PASSED_ON = ['--seconds', '--input', '--clock', '--flush-every', '--no-frames', '--no-events', '--no-trace-output',
                   '--chrome', '--no-stand-ins', '--only', '--skip', '--flasm', '--vimbrel', '--tool-timeout'];
const NOT_PASSED = { '--keep': 'each movie\'s traced copy is not kept by a sweep',
                     '--root': 'each movie is served from its own folder',
                     '--all': 'the table of functions is not printed by a sweep' };
// Options whose value is a path: made absolute, for jobs that run elsewhere.
const PATHS = ['--input', '--flasm', '--vimbrel'];

/**
 * The options of `argv`: { source, out, jobs, movieTimeout, slurm, chunk,
 * cpus, mem, time, partition, merge, step, task, captureArgs }; --help
 * prints USAGE and exits.
 */
export function parseSweepArguments(argv) {
  const table = { ...SWEEP_OPTIONS };
  for (const name of PASSED_ON) table[name] = CAPTURE_OPTIONS[name];
  const captureArgs = [];
  for (let i = 0; i < argv.length; i++) {
    const name = argv[i].split('=')[0];
    if (Object.hasOwn(NOT_PASSED, name)) fail(`${name} is not for a sweep: ${NOT_PASSED[name]}\n\n${USAGE}`, 2);
    const takesValue = Boolean(table[name]?.value) && !argv[i].includes('=');
    const words = argv.slice(i, i + (takesValue ? 2 : 1));
    if (PASSED_ON.includes(name)) captureArgs.push(...words);
    i += words.length - 1;
  }
  const { options: given, words } = commandLineOf(argv, table, USAGE);
  const options = {
    source: words[0] ?? null, out: given['--out'] ?? given['--merge'] ?? null,
    jobs: given['--jobs'] ?? availableParallelism(), movieTimeout: given['--movie-timeout'] ?? 120,
    slurm: Boolean(given['--slurm']), chunk: given['--chunk'] ?? 50, cpus: given['--cpus'] ?? 2,
    mem: given['--mem'] ?? null, time: given['--time'] ?? null, partition: given['--partition'] ?? null,
    merge: given['--merge'] !== undefined, step: given['--step'] ?? null, task: given['--task'] ?? null,
    captureArgs: absolutePaths(captureArgs),
  };
  if (options.merge || options.step !== null || options.task !== null) {
    if (!options.out) fail(`no --out given\n\n${USAGE}`, 2);
    return options;
  }
  if (words.length === 0) fail(`no folder or list given\n\n${USAGE}`, 2);
  if (words.length > 1) fail(`one folder or list at a time\n\n${USAGE}`, 2);
  if (!options.out) fail(`no --out given: the results need a folder of their own\n\n${USAGE}`, 2);
  for (const name of ['--chunk', '--cpus', '--mem', '--time', '--partition']) {
    if (given[name] !== undefined && !options.slurm) fail(`${name} is for --slurm\n\n${USAGE}`, 2);
  }
  return options;
}

function absolutePaths(args) {
  return args.map((word, at) => {
    if (PATHS.includes(args[at - 1])) return resolve(word);
    const [name, value] = word.split(/=(.*)/s);
    return PATHS.includes(name) && value !== undefined ? `${name}=${resolve(value)}` : word;
  });
}
