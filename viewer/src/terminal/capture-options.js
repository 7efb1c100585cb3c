// vimbrel-capture's command line: its options, the movie they name and
// the folder served for it. A problem is a Failure with status 2 for the
// command line, 1 for the movie.

import { open, readFile, realpath, stat } from 'node:fs/promises';
import { dirname, isAbsolute, relative, sep } from 'node:path';
import { commandLineOf, fail } from './failure.js';
import { CLOCKS, FLUSH_EVERY, TOOL_TIMEOUT } from '../node/trace-movie.js';
import { TOOL_TIMEOUT_PROBLEM, parseToolTimeout } from '../node/lifetime.js';
import { moviePath } from '../server/movie-folder.js';
import { readInput } from '../model/input-format.js';

export const USAGE = `usage: vimbrel-capture MOVIE.swf [--seconds N] [--input FILE] [--out DIR] [--keep DIR]
                       [--root DIR] [--no-stand-ins] [--clock=date|getTimer] [--flush-every N]
                       [--no-frames] [--no-events] [--no-trace-output] [--chrome] [--all]
                       [--only PATTERN]... [--skip PATTERN]...
                       [--flasm PATH] [--vimbrel PATH] [--tool-timeout SECONDS]

Plays MOVIE.swf in Ruffle in headless Chromium for N seconds (10), from its
own folder, then releases F12 and waits for the records it sends. Writes
DIR/dump.txt (the records as sent), DIR/trace.json (Chrome Trace Event
JSON) and DIR/output.txt (the lines the movie printed with trace()) in DIR
(the current folder), and prints the table of functions: the 25 that took
longest.

A movie that vimbrel has not traced is traced first, as a copy in a
temporary folder, to collect from its start and hand its records over as
it goes, marking frames, tracing the code outside functions too and
recording what it prints: flasm -d, vimbrel --clock=date
--collect-from-start --flush-every=50000 --frames --events
--trace-output, flasm -a. So is every movie it loads from its
folder, when it asks for it. The records are written to dump.txt as they
come. The folder is served read-only, and
nothing is written to it. A movie that comes traced is played as it is:
F12 is released when it runs, to start collecting, and at the end; once,
at the end, when it was traced to collect from its start.

  --seconds N       how long the movie plays while it records (without it,
                    as long as --input lasts, and 10 at least)
  --input FILE      play the input of FILE into the movie while it records:
                    a JSON list of events as Ruffle's tests keep them
                    (input.json: MouseMove, MouseDown, MouseUp, MouseWheel,
                    KeyDown, KeyUp, TextInput, FocusGained, FocusLost and
                    Wait, which ends a frame's input), at the movie's frame
                    rate; the viewer's page saves what you play as such
  --out DIR         where dump.txt, trace.json and output.txt go
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
  --no-trace-output trace the copy without --trace-output: what the movie
                    prints with trace() is not recorded (output.txt has it
                    all the same)
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

// How many seconds, as a command line gives them: none below 0.
function seconds(value) {
  const number = Number(value);
  return value === '' || !Number.isFinite(number) || number < 0 ? undefined : number;
}

const folder = { value: 'a folder' };
const path = { value: 'a path' };
const pattern = { value: 'a pattern', multiple: true };

// The options, as readCommandLine takes them (vimbrel-sweep passes most on).
export const CAPTURE_OPTIONS = {
  '--help': {}, '-h': {}, '--no-stand-ins': {}, '--chrome': {}, '--all': {}, '--no-frames': {}, '--no-events': {},
  '--no-trace-output': {}, '--input': { value: 'a file' },
  '--seconds': { value: 'a number of seconds', read: seconds },
  '--tool-timeout': { value: 'a number of seconds', read: (text) => parseToolTimeout(text) ?? undefined,
                      problem: () => TOOL_TIMEOUT_PROBLEM },
  '--flush-every': {
    value: 'a number of records',
    read: (text) => (/^\d{1,10}$/.test(text) && Number(text) <= 2147483647 ? Number(text) : undefined),
    problem: () => '--flush-every takes a whole number of records',
  },
  '--out': folder, '--keep': folder, '--root': folder, '--flasm': path, '--vimbrel': path,
  '--only': pattern, '--skip': pattern,
  '--clock': { value: 'a clock', read: (text) => (CLOCKS.includes(text) ? text : undefined),
               problem: (text) => `unknown clock ${text}: the clocks are ${CLOCKS.join(' and ')}` },
};

/** The options of `argv` (the words after the command); --help prints USAGE and exits. */
export function parseArguments(argv) {
  const { options: given, words } = commandLineOf(argv, CAPTURE_OPTIONS, USAGE);
  if (words.length === 0) fail(`no movie given\n\n${USAGE}`, 2);
  if (words.length > 1) fail(`one movie at a time\n\n${USAGE}`, 2);
  return {
    movie: words[0], seconds: given['--seconds'] ?? null, input: given['--input'] ?? null,
    out: given['--out'] ?? '.', keep: given['--keep'] ?? null,
    root: given['--root'] ?? null, clock: given['--clock'] ?? 'date', standIns: !given['--no-stand-ins'],
    chrome: Boolean(given['--chrome']), all: Boolean(given['--all']),
    flushEvery: given['--flush-every'] ?? FLUSH_EVERY, frames: !given['--no-frames'], events: !given['--no-events'],
    traceOutput: !given['--no-trace-output'],
    flasm: given['--flasm'] ?? null, vimbrel: given['--vimbrel'] ?? null,
    toolTimeout: given['--tool-timeout'] ?? TOOL_TIMEOUT, only: given['--only'] ?? [], skip: given['--skip'] ?? [],
  };
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


/** How long the movie plays unless --seconds says. */
export const SECONDS = 10;

/**
 * The input that --input names, to play at the movie's `header` (its frame
 * rate and stage, trace-movie.js's movieHeader): { frames, frameRate,
 * stage }, or null without --input. Fails naming the event that cannot be
 * sent.
 */
export async function inputToPlay(options, header) {
  if (options.input === null) return null;
  let text;
  try {
    text = await readFile(options.input, 'utf8');
  } catch (error) {
    fail(`--input ${options.input}: ${error.code === 'ENOENT' ? 'no such file' : error.message}`, 2);
  }
  let frames;
  try {
    frames = readInput(text);
  } catch (error) {
    fail(`--input ${options.input}: ${error.message}`, 2);
  }
  if (!header?.frameRate) fail(`${options.movie} says no frame rate, at which to play --input`);
  return { frames, frameRate: header.frameRate, stage: { width: header.width, height: header.height } };
}

/** How long the movie plays: --seconds, else as long as its input lasts, and SECONDS at least. */
export function recordingSeconds(options, input) {
  if (options.seconds !== null) return options.seconds;
  return input ? Math.max(SECONDS, Math.ceil(input.frames.length / input.frameRate) + 1) : SECONDS;
}
