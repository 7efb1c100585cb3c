// The traced copy that vimbrel-capture plays of a movie without a tracer:
// flasm -d, vimbrel, flasm -a in a folder of its own, and, with --keep,
// the copy and its texts kept where they overwrite nothing.

import { copyFile, lstat, mkdir } from 'node:fs/promises';
import { constants } from 'node:fs';
import { basename, join } from 'node:path';
import { traceMovie, vimbrelOptions, workingName } from '../node/trace-movie.js';
import { StepError } from '../node/tools.js';
import { fail } from './failure.js';

/** What the copies of the movie, and of every movie it loads, are traced with. */
export function tracing(options) {
  return { clock: options.clock, collectFromStart: true, flushEvery: options.flushEvery,
           frames: options.frames, events: options.events, traceOutput: options.traceOutput,
           only: options.only, skip: options.skip,
           flasm: options.flasm, vimbrel: options.vimbrel, toolTimeout: options.toolTimeout };
}

/**
 * Fails before anything is played when --keep names a folder where the
 * copy would overwrite a file: the movie itself, or one of the same name.
 */
export async function refuseToOverwrite(options) {
  const stem = workingName(options.movie).slice(0, -4);
  for (const name of [`${stem}.swf`, `${stem}.flm`, `${stem}.tmp`, `${stem}.fln`]) {
    if (await lstat(join(options.keep, name)).catch(() => null)) {
      fail(`--keep ${options.keep} holds ${name} already: the traced copy is kept only where it overwrites ` +
           'nothing; keep it in another folder');
    }
  }
}

/**
 * A copy of the movie with a tracer, made in `folder`: resolves to its
 * path. `say(text)` and `progress(text)` hear what is going on.
 */
export async function traceCopy(options, folder, { say, progress }) {
  const started = Date.now();
  let traced;
  try {
    traced = await traceMovie(options.movie, folder, {
      ...tracing(options), onStep: (step) => progress(`tracing a copy: ${step}`),
    });
  } catch (error) {
    if (!(error instanceof StepError)) throw error;
    const said = error.output ? `\n${error.output.replace(/^/gm, '  ')}` : '';
    fail(`${options.movie} has no tracer, and tracing a copy failed while ${error.step}: ` +
         `${error.message}${said}`);
  }
  for (const note of traced.notes) say(`vimbrel: ${note}`);
  say(`traced a copy of ${options.movie} in ${((Date.now() - started) / 1000).toFixed(2)} s ` +
      `(flasm -d, vimbrel ${vimbrelOptions(tracing(options)).join(' ')}, flasm -a)`);
  if (options.keep) {
    try {
      await mkdir(options.keep, { recursive: true });
      for (const file of [traced.movie, traced.flm, traced.tmp, traced.fln]) {
        await copyFile(file, join(options.keep, basename(file)), constants.COPYFILE_EXCL);
      }
    } catch (error) {
      fail(`cannot keep the traced copy in ${options.keep}: ${error.message}`);
    }
  }
  return traced.movie;
}
