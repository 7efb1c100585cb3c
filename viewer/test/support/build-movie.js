// Builds a movie from flasm text written by a test or the benchmark:
// assembled by flasm into the minimal movie, traced by vimbrel first when a
// clock is given.

import { writeFile } from 'node:fs/promises';
import { join } from 'node:path';
import { minimalSwf } from './minimal-swf.js';
import { findFlasm, findVimbrel, runProgram } from '../../src/node/tools.js';

/**
 * Writes `name`.swf into `folder` from `frames`, the flasm text of each
 * frame's actions, traced with `clock` and vimbrel's `options` when a clock
 * is given. Its text says its version unless `sayVersion` is false.
 * Resolves to its path.
 */
export async function buildMovie({ folder, name, frames, version = 8, frameRate = 30, clock = null,
                                   options = [], sayVersion = true }) {
  const header = `movie '${name}.swf'` + (sayVersion
    ? ` // flash ${version}, total frames: ${frames.length}, frame rate: ${frameRate} fps, 550x400 px`
    : '');
  const text = [header, ...frames.map((actions, i) =>
    `  frame ${i}\n${actions.trimEnd()}\n  end // of frame ${i}`), 'end', ''].join('\n');
  await writeFile(join(folder, `${name}.swf`), minimalSwf({ version, frames: frames.length, frameRate }));
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
