// vimbrel-capture's command line: its options, the movie they name and
// the folder served for it. A problem is a Failure with status 2 for the
// command line, 1 for the movie.

import { open, realpath, stat } from 'node:fs/promises';
import { dirname, isAbsolute, relative, sep } from 'node:path';
import { fail } from './failure.js';
import { CLOCKS, FLUSH_EVERY, TOOL_TIMEOUT } from './trace-movie.js';
import { TOOL_TIMEOUT_PROBLEM, parseToolTimeout } from './lifetime.js';
import { moviePath } from './movie-folder.js';

export const USAGE = `usage: vimbrel-capture MOVIE.swf [--seconds N] [--out DIR] [--keep DIR] [--root DIR]
                       [--no-stand-ins] [--clock=date|getTimer] [--flush-every N]
                       [--no-frames] [--no-events] [--chrome] [--all]
                       [--only PATTERN]... [--skip PATTERN]...
                       [--flasm PATH] [--vimbrel PATH] [--tool-timeout SECONDS]

Plays MOVIE.swf in Ruffle in headless Chromium for N seconds (10), from its
own folder, then releases F12 and waits for the records it sends. Writes
DIR/dump.txt (the records as sent) and DIR/trace.json (Chrome Trace Event
JSON) in DIR (the current folder), and prints the table of functions:
the 25 that took longest.

A movie that vimbrel has not traced is traced first, as a copy in a
temporary folder, to collect from its start and hand its records over as
it goes, marking frames and tracing the code outside functions too:
flasm -d, vimbrel --clock=date --collect-from-start --flush-every=50000
--frames --events, flasm -a. So is every movie it loads from its
folder, when it asks for it. The records are written to dump.txt as they
come. The folder is served read-only, and
nothing is written to it. A movie that comes traced is played as it is:
F12 is released when it runs, to start collecting, and at the end; once,
at the end, when it was traced to collect from its start.

  --seconds N       how long the movie plays while it records
  --out DIR         where dump.txt and trace.json go
  --keep DIR        keep the traced copy of MOVIE.swf there, with its .flm,
                    .tmp and .fln
  --root DIR        serve DIR, not the movie's own folder: for movies that
                    load files from above it
  --no-stand-ins    answer a movie that the folder lacks with 404, not with
                    an empty movie (a game's font library, say, which the
                    movie imports and would otherwise wait for)
  --clock=CLOCK     what the tracer times records with: date (the wall
                    clock, the default here: Ruffle fakes getTimer when a
                    frame calls it often) or getTimer
  --flush-every N   how many records the tracer of a copy hands over at a
                    time while it collects (50000); 0: all at the end, as
                    the tracer keeps them
  --no-frames       trace the copy without --frames: no record marks
                    where each frame of the player begins
  --no-events       trace the copy without --events: frame scripts and
                    button and clip handlers are not traced
  --all             print every function in the table, not only the 25
                    that took longest
  --chrome          write trace.json however many records came (past
                    5000000 it is left out: Chrome trace readers cannot
                    open JSON that large)
  --only PATTERN    trace only the functions whose name matches (vimbrel's
  --skip PATTERN    --only and --skip; each may be repeated)
  --flasm PATH      flasm (else FLASM, else flasm on the PATH)
  --vimbrel PATH    vimbrel (else VIMBREL, else this repository's build,
                    else vimbrel on the PATH)
  --tool-timeout S  how long flasm or vimbrel may run on one movie: whole
                    seconds from 1 to 86400 (60)
  --help            show this text

It plays the movie in the Chromium that CHROMIUM names, else Debian's
/usr/bin/chromium, else an installed Google Chrome or Microsoft Edge.
`;

/** The options of `argv` (the words after the command); --help prints USAGE and exits. */
export function parseArguments(argv) {
  const options = { movie: null, seconds: 10, out: '.', keep: null, root: null, clock: 'date', standIns: true,
                    chrome: false, all: false,
                    flushEvery: FLUSH_EVERY, frames: true, events: true,
                    flasm: null, vimbrel: null, toolTimeout: TOOL_TIMEOUT, only: [], skip: [] };
  // An option's value, given as --name=value or as the next word.
  const valueOf = (argument, i, what) => {
    const equals = argument.indexOf('=');
    if (equals >= 0) return [argument.slice(equals + 1), i];
    if (i + 1 >= argv.length) fail(`${argument} takes ${what}\n\n${USAGE}`, 2);
    return [argv[i + 1], i + 1];
  };
  const seconds = (value, name) => {
    const number = Number(value);
    if (value === '' || !Number.isFinite(number) || number < 0) fail(`${name} takes a number of seconds\n\n${USAGE}`, 2);
    return number;
  };
  for (let i = 0; i < argv.length; i++) {
    const argument = argv[i];
    const name = argument.split('=')[0];
    let value;
    if (argument === '--help' || argument === '-h') {
      process.stdout.write(USAGE);
      process.exit(0);
    } else if (argument === '--no-stand-ins') {
      options.standIns = false;
    } else if (argument === '--chrome') {
      options.chrome = true;
    } else if (argument === '--all') {
      options.all = true;
    } else if (argument === '--no-frames') {
      options.frames = false;
    } else if (argument === '--no-events') {
      options.events = false;
    } else if (name === '--seconds') {
      [value, i] = valueOf(argument, i, 'a number of seconds');
      options.seconds = seconds(value, name);
    } else if (name === '--tool-timeout') {
      [value, i] = valueOf(argument, i, 'a number of seconds');
      options.toolTimeout = parseToolTimeout(value);
      if (options.toolTimeout === null) fail(`${TOOL_TIMEOUT_PROBLEM}\n\n${USAGE}`, 2);
    } else if (name === '--flush-every') {
      [value, i] = valueOf(argument, i, 'a number of records');
      if (!/^\d{1,10}$/.test(value) || Number(value) > 2147483647) {
        fail(`--flush-every takes a whole number of records\n\n${USAGE}`, 2);
      }
      options.flushEvery = Number(value);
    } else if (['--out', '--keep', '--root'].includes(name)) {
      [value, i] = valueOf(argument, i, 'a folder');
      options[name.slice(2)] = value;
    } else if (name === '--flasm' || name === '--vimbrel') {
      [value, i] = valueOf(argument, i, 'a path');
      options[name.slice(2)] = value;
    } else if (name === '--only' || name === '--skip') {
      [value, i] = valueOf(argument, i, 'a pattern');
      options[name.slice(2)].push(value);
    } else if (name === '--clock') {
      [value, i] = valueOf(argument, i, 'a clock');
      if (!CLOCKS.includes(value)) fail(`unknown clock ${value}: the clocks are ${CLOCKS.join(' and ')}\n\n${USAGE}`, 2);
      options.clock = value;
    } else if (argument.startsWith('-')) {
      fail(`unknown option ${argument}\n\n${USAGE}`, 2);
    } else if (options.movie === null) {
      options.movie = argument;
    } else {
      fail(`one movie at a time\n\n${USAGE}`, 2);
    }
  }
  if (options.movie === null) fail(`no movie given\n\n${USAGE}`, 2);
  return options;
}

// A SWF begins with FWS, CWS (zlib) or ZWS (LZMA).
export async function checkMovie(path) {
  let file;
  try {
    file = await open(path, 'r');
  } catch (error) {
    fail(error.code === 'ENOENT' ? `${path}: no such file` : `cannot read ${path}: ${error.message}`);
  }
  const { buffer, bytesRead } = await file.read(Buffer.alloc(3), 0, 3, 0);
  await file.close();
  const signature = buffer.toString('latin1', 0, bytesRead);
  if (!['FWS', 'CWS', 'ZWS'].includes(signature)) fail(`${path} is not a SWF movie`);
}

// The folder served, and the movie's path in it as a URL path.
export async function servedFolder(options) {
  const movie = await realpath(options.movie);
  const root = await realpath(options.root ?? dirname(movie)).catch(() => null);
  if (!root || !(await stat(root)).isDirectory()) fail(`--root names ${options.root}, which is no folder`);
  const way = relative(root, movie);
  if (way.startsWith(`..${sep}`) || way === '..' || isAbsolute(way)) {
    fail(`${options.movie} is not inside ${options.root}, the folder served`);
  }
  return { root, movie, url: moviePath(way.split(sep).join('/')) };
}

