// Makes a traced copy of a movie in a folder of its own: flasm -d, vimbrel,
// flasm -a. The movie itself is only read.

import { basename, join } from 'node:path';
import { readFile, writeFile } from 'node:fs/promises';
import { createInflate, constants as zlib } from 'node:zlib';
import { StepError, findFlasm, findVimbrel, runProgram } from './tools.js';
import { MOST_INFLATED, declaredLength, frameRateOf, inflateLimit, movieSignature, stageOf, tracerOf,
         tracerWatch } from '../model/swf.js';
import { WorkQueue } from './work-queue.js';

export { movieSignature };

export const CLOCKS = ['date', 'getTimer'];

/** How long a tool may run on one movie, in seconds, unless told otherwise. */
export const TOOL_TIMEOUT = 60;

/**
 * How many records the tracers our hosts make hand over at a time while
 * collecting (vimbrel --flush-every): a long session is not held in the
 * player.
 */
export const FLUSH_EVERY = 50000;

// The tracer needs _global, which came with Flash 6.
const FIRST_FLASH_WITH_GLOBAL = 6;

/** How many movies are traced at once: the others wait their turn. */
export const TRACES_AT_ONCE = 2;
const traces = new WorkQueue(TRACES_AT_ONCE);

/** How many movies are being traced or wait for it. */
export function tracesUnderWay() {
  return traces.load;
}

/**
 * The movie's bytes after its 8-byte header, inflated when compressed, in
 * pieces: at most to its header's length and MOST_INFLATED, and no further
 * once `enough(piece)`, told of each piece inflated, says so.
 */
async function movieBody(bytes, enough = () => false) {
  const body = bytes.subarray(8);
  if (movieSignature(bytes) !== 'CWS') {
    enough(body);
    return [body];
  }
  let left = inflateLimit(bytes);
  const pieces = [];
  const inflate = createInflate({ finishFlush: zlib.Z_SYNC_FLUSH, chunkSize: 1 << 16 });
  inflate.end(body);
  try {
    for await (const inflated of inflate) {
      const piece = inflated.subarray(0, left);
      pieces.push(piece);
      left -= piece.length;
      // Told of every piece, the last too.
      const done = enough(piece);
      if (left === 0 || done) break;
    }
  } catch {
    // A movie cut short: what inflated before the break is all we read.
  }
  inflate.destroy();
  return pieces;
}

/** What vimbrel put into the movie `bytes`: resolves to { traced, collectsFromStart }. */
export async function tracerInMovie(bytes) {
  if (!movieSignature(bytes)) return { traced: false, collectsFromStart: false };
  const watch = tracerWatch();
  const pieces = await movieBody(bytes, watch);
  // Without its name, a movie has no tracer: its bytes are not joined.
  return watch.seen ? tracerOf(Buffer.concat(pieces)) : { traced: false, collectsFromStart: false };
}

// The stage and the frame rate are in the first bytes.
const HEADER_WITHIN = 32;

/**
 * The movie's frames a second and its stage's size in its own pixels, from
 * its header: resolves to { frameRate, width, height }, or null for what
 * is not a movie.
 */
export async function movieHeader(bytes) {
  if (!movieSignature(bytes)) return null;
  let size = 0;
  const body = Buffer.concat(await movieBody(bytes, (piece) => (size += piece.length) >= HEADER_WITHIN));
  return body.length ? { frameRate: frameRateOf(body), ...stageOf(body) } : null;
}

/** The movie's frames a second, from its header: resolves to null for what is not a movie. */
export async function movieFrameRate(bytes) {
  return (await movieHeader(bytes))?.frameRate ?? null;
}

/** Resolves to true for a movie that vimbrel traced: its blocks push '_tracer_'. */
export async function hasTracer(bytes) {
  return (await tracerInMovie(bytes)).traced;
}

/**
 * vimbrel's options for `options`: the clock, --collect-from-start,
 * --flush-every, --frames, --events, --trace-output, --only and --skip.
 */
export function vimbrelOptions({ clock = 'date', collectFromStart = false, flushEvery = 0, frames = false,
                                 events = false, traceOutput = false, only = [], skip = [] } = {}) {
  return [`--clock=${clock}`, ...(collectFromStart ? ['--collect-from-start'] : []),
          ...(flushEvery > 0 ? [`--flush-every=${flushEvery}`] : []),
          ...(frames ? ['--frames'] : []), ...(events ? ['--events'] : []),
          ...(traceOutput ? ['--trace-output'] : []),
          ...only.flatMap((pattern) => ['--only', pattern]),
          ...skip.flatMap((pattern) => ['--skip', pattern])];
}

/**
 * The name of the traced copy of `moviePath` and of its texts (.flm,
 * .tmp, .fln): flasm writes the movie's name into its text and reads it
 * back from there, so a name it cannot quote, or Windows' flasm cannot
 * open, is replaced.
 */
export function workingName(moviePath) {
  const name = basename(moviePath);
  return /^[A-Za-z0-9 ._()+-]+\.swf$/i.test(name) && !name.startsWith('-') ? name : 'movie.swf';
}

function text(buffer) {
  return buffer.toString('utf8').replace(/\r\n/g, '\n').trim();
}

// What flasm needs in the folder it runs in: strings, not constant numbers.
const FLASM_SETTINGS = 'literalconstants = 1\nliteralregisters = 1\n';

/**
 * Traces `moviePath` into `folder` with vimbrel's `options` (see
 * vimbrelOptions); calls `onStep(text)` as each step starts. Each tool may
 * run `toolTimeout` seconds. Resolves to the paths of the traced movie and
 * its texts, and vimbrel's warnings (`notes`), or rejects with a StepError
 * that names the step that failed. Messages call the movie `label` (its
 * path).
 */
export async function traceMovie(moviePath, folder, options = {}) {
  const { clock = 'date', onStep = () => {}, label = moviePath, toolTimeout = TOOL_TIMEOUT } = options;
  if (!CLOCKS.includes(clock)) {
    throw new StepError('tracing with vimbrel', `there is no clock ${clock}: the clocks are date and getTimer`);
  }
  onStep('reading the movie');
  let bytes;
  try {
    bytes = await readFile(moviePath);
  } catch (error) {
    throw new StepError('reading the movie', `cannot read ${label}: ${error.message}`);
  }
  refuseUntraceable(bytes, label);
  return traces.run(() => traceSteps(moviePath, bytes, folder, { ...options, label, toolTimeout, onStep }));
}

const megabytes = (bytes) => Math.ceil(bytes / (1 << 20));

/**
 * Throws a StepError of 'reading the movie' when the movie `bytes`, called
 * `label`, cannot be traced as it is: no SWF, LZMA, too old for the
 * tracer, or made to inflate past MOST_INFLATED, which flasm would do.
 */
export function refuseUntraceable(bytes, label) {
  const signature = movieSignature(bytes);
  if (!signature) throw new StepError('reading the movie', `${label} is not a SWF movie`);
  if (signature === 'ZWS') {
    throw new StepError('reading the movie', `${label} is compressed with LZMA (ZWS), which flasm ` +
      'cannot read: save it uncompressed or compressed with zlib (CWS).');
  }
  const version = bytes[3];
  if (version < FIRST_FLASH_WITH_GLOBAL) {
    throw new StepError('reading the movie', `${label} is a Flash ${version} movie: the tracer ` +
      `needs Flash ${FIRST_FLASH_WITH_GLOBAL} or later, which have _global.`);
  }
  if (signature === 'CWS' && declaredLength(bytes) - 8 > MOST_INFLATED) {
    throw new StepError('reading the movie', `${label} says it inflates to ${megabytes(declaredLength(bytes))} MB: ` +
      `movies of more than ${megabytes(MOST_INFLATED)} MB are not traced.`);
  }
}

// The steps of traceMovie, once its turn has come.
async function traceSteps(moviePath, bytes, folder, options) {
  const { label, toolTimeout, onStep } = options;
  const flasm = await findFlasm(options.flasm);
  const vimbrel = await findVimbrel(options.vimbrel);

  const swf = workingName(moviePath);
  const stem = swf.slice(0, -4);
  const files = {
    movie: join(folder, swf),
    flm: join(folder, `${stem}.flm`),
    tmp: join(folder, `${stem}.tmp`),
    fln: join(folder, `${stem}.fln`),
  };
  await writeFile(files.movie, bytes);
  await writeFile(join(folder, 'flasm.ini'), FLASM_SETTINGS);

  const run = (program, args, step) => runTool(program, args, folder, step, toolTimeout);
  onStep('disassembling with flasm');
  const disassembled = await run(flasm, ['-d', swf], 'disassembling with flasm');
  // flasm says "Error ..." on standard error, and may exit with 0 all the
  // same, when it cannot read the movie.
  if (disassembled.status !== 0 || /Error/.test(disassembled.stderr.toString('latin1')) ||
      !disassembled.stdout.toString('latin1').startsWith('movie ')) {
    // Its complaint, without the text it managed to write.
    const complaint = text(disassembled.stderr) || text(disassembled.stdout);
    throw new StepError('disassembling with flasm', `flasm cannot disassemble ${label}`, complaint);
  }
  await writeFile(files.flm, disassembled.stdout);

  const vimbrelArguments = vimbrelOptions(options);
  onStep(`tracing with vimbrel ${vimbrelArguments.join(' ')}`);
  const traced = await run(vimbrel, [...vimbrelArguments, '--', `${stem}.flm`], 'tracing with vimbrel');
  const said = text(traced.stderr);
  const noTracer = said.split('\n').filter((line) => /^Warning: .*the tracer/.test(line));
  if (traced.status !== 0 || noTracer.length) {
    throw new StepError('tracing with vimbrel',
      traced.status !== 0 ? 'vimbrel failed' : 'vimbrel warns that the tracer cannot run', said);
  }

  onStep('assembling with flasm');
  // flasm works in a file named like vimbrel's .tmp, beside the movie, and
  // removes it.
  const intermediate = await readFile(files.tmp);
  const assembled = await run(flasm, ['-a', `${stem}.fln`], 'assembling with flasm');
  await writeFile(files.tmp, intermediate);
  const flasmSaid = text(Buffer.concat([assembled.stdout, assembled.stderr]));
  if (assembled.status !== 0 || !flasmSaid.includes('successfully assembled')) {
    throw new StepError('assembling with flasm', 'flasm refuses the traced text', flasmSaid);
  }
  // Its warnings, and patterns that matched nothing; not its frequent and
  // harmless "invalid token" notes.
  const notes = said.split('\n').filter((line) => /^Warning: | matches no function$/.test(line));
  return { ...files, notes };
}

// Runs a tool for `step`: one that runs past `timeout` seconds is ended,
// and one that a signal ends is said to have been.
async function runTool(program, args, folder, step, timeout) {
  const tool = basename(program).replace(/\.exe$/i, '');
  let result;
  try {
    result = await runProgram(program, args, folder, { timeoutSeconds: timeout });
  } catch (error) {
    throw new StepError(step, `cannot run ${program}: ${error.message}`);
  }
  if (result.timedOut) {
    throw new StepError(step, `${tool} did not finish within ${timeout} s (--tool-timeout) and was stopped`);
  }
  if (result.signal) {
    throw new StepError(step, `${tool} was ended by ${result.signal}`,
                        text(Buffer.concat([result.stdout.subarray(0, 2000), result.stderr])));
  }
  return result;
}
