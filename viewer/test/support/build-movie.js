// Builds a movie from flasm text written by a test or the benchmark:
// assembled by flasm into the minimal movie, traced by vimbrel first when a
// clock is given.

import { writeFile } from 'node:fs/promises';
import { join } from 'node:path';
import { minimalSwf, preloaderSwf } from './minimal-swf.js';
import { findFlasm, findVimbrel, runProgram } from '../../src/node/tools.js';

/**
 * Writes `name`.swf into `folder` from `frames`, the flasm text of each
 * frame's actions, traced with `clock` and vimbrel's `options` when a clock
 * is given. Its text says its version unless `sayVersion` is false. With
 * `preloader`, the flasm text of each frame of a clip, the movie is made
 * like a game's preloader (preloaderSwf): the clip is on the first frame
 * and gone from the second, labelled 'loaded'. Resolves to its path.
 */
export async function buildMovie({ folder, name, frames, version = 8, frameRate = 30, clock = null,
                                   options = [], sayVersion = true, preloader = null }) {
  const header = `movie '${name}.swf'` + (sayVersion
    ? ` // flash ${version}, total frames: ${frames.length}, frame rate: ${frameRate} fps, 550x400 px`
    : '');
  const framesOf = (texts, indent) => texts.map((actions, i) =>
    `${indent}frame ${i}\n${actions.trimEnd()}\n${indent}end // of frame ${i}`);
  const clip = preloader
    ? [`  defineMovieClip 1 // total frames: ${preloader.length}`, ...framesOf(preloader, '    '),
       '  end // of defineMovieClip 1']
    : [];
  const text = [header, ...clip, ...framesOf(frames, '  '), 'end', ''].join('\n');
  const movie = preloader
    ? preloaderSwf({ version, frames: frames.length, clipFrames: preloader.length, frameRate })
    : minimalSwf({ version, frames: frames.length, frameRate });
  await writeFile(join(folder, `${name}.swf`), movie);
  await writeFile(join(folder, `${name}.flm`), text);
  let source = `${name}.flm`;
  if (clock) {
    const traced = await runProgram(await findVimbrel(), [`--clock=${clock}`, ...options, source], folder);
    if (traced.status !== 0) throw new Error(`vimbrel: ${traced.stderr}`);
    source = `${name}.fln`;
  }
  const assembled = await runProgram(await findFlasm(), ['-a', source], folder);
  if (assembled.status !== 0) throw new Error(`flasm: ${assembled.stdout}${assembled.stderr}`);
  return join(folder, `${name}.swf`);
}
