// Makes a traced copy of a movie in a folder of its own: flasm -d, vimbrel,
// flasm -a. The movie itself is only read.

import { basename, join } from 'node:path';
import { readFile, writeFile } from 'node:fs/promises';
import { inflateSync, constants as zlib } from 'node:zlib';
import { StepError, findFlasm, findVimbrel, runProgram } from './tools.js';

export const CLOCKS = ['date', 'getTimer'];

// The tracer needs _global, which came with Flash 6.
const FIRST_FLASH_WITH_GLOBAL = 6;

/** 'FWS', 'CWS' (zlib) or 'ZWS' (LZMA) for a movie, else null. */
export function movieSignature(bytes) {
  const signature = bytes.subarray(0, 3).toString('latin1');
  return ['FWS', 'CWS', 'ZWS'].includes(signature) && bytes.length >= 8 ? signature : null;
}

/** The movie's bytes after its 8-byte header, inflated when compressed. */
function movieBody(bytes) {
  const body = bytes.subarray(8);
  if (movieSignature(bytes) !== 'CWS') return body;
  try {
    return inflateSync(body, { finishFlush: zlib.Z_SYNC_FLUSH });
  } catch {
    return Buffer.alloc(0);
  }
}

/** True for a movie that vimbrel traced: its blocks push '_tracer_'. */
export function hasTracer(bytes) {
  return movieSignature(bytes) !== null && movieBody(bytes).includes('_tracer_\0', 0, 'latin1');
}

// flasm writes the movie's name into its text and reads it back from there:
// a name it cannot quote, or Windows' flasm cannot open, is replaced.
function workingName(moviePath) {
  const name = basename(moviePath);
  return /^[A-Za-z0-9 ._()+-]+\.swf$/i.test(name) && !name.startsWith('-') ? name : 'movie.swf';
}

function text(buffer) {
  return buffer.toString('utf8').replace(/\r\n/g, '\n').trim();
}

// What flasm needs in the folder it runs in: strings, not constant numbers.
const FLASM_SETTINGS = 'literalconstants = 1\nliteralregisters = 1\n';

/**
 * Traces `moviePath` into `folder` with `clock`; calls `onStep(text)` as
 * each step starts. Resolves to the paths of the traced movie and its
 * texts, or rejects with a StepError that names the step that failed.
 * Messages call the movie `label` (its path).
 */
export async function traceMovie(moviePath, folder, options = {}) {
  const { clock = 'date', onStep = () => {}, label = moviePath } = options;
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

  onStep('disassembling with flasm');
  const disassembled = await run(flasm, ['-d', swf], folder, 'disassembling with flasm');
  // flasm says "Error ..." on standard error, and may exit with 0 all the
  // same, when it cannot read the movie.
  if (disassembled.status !== 0 || /Error/.test(disassembled.stderr.toString('latin1')) ||
      !disassembled.stdout.toString('latin1').startsWith('movie ')) {
    // Its complaint, without the text it managed to write.
    const complaint = text(disassembled.stderr) || text(disassembled.stdout);
    throw new StepError('disassembling with flasm', `flasm cannot disassemble ${label}`, complaint);
  }
  await writeFile(files.flm, disassembled.stdout);

  onStep(`tracing with vimbrel --clock=${clock}`);
  const traced = await run(vimbrel, [`--clock=${clock}`, '--', `${stem}.flm`], folder, 'tracing with vimbrel');
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
  const assembled = await run(flasm, ['-a', `${stem}.fln`], folder, 'assembling with flasm');
  await writeFile(files.tmp, intermediate);
  const flasmSaid = text(Buffer.concat([assembled.stdout, assembled.stderr]));
  if (assembled.status !== 0 || !flasmSaid.includes('successfully assembled')) {
    throw new StepError('assembling with flasm', 'flasm refuses the traced text', flasmSaid);
  }
  return { ...files, warnings: said.split('\n').filter((line) => line.startsWith('Warning: ')) };
}

async function run(program, args, folder, step) {
  try {
    return await runProgram(program, args, folder);
  } catch (error) {
    throw new StepError(step, `cannot run ${program}: ${error.message}`);
  }
}
