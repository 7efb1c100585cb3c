// A sweep on a Slurm cluster: OUT/sweep.sbatch, a job array over chunks of
// the sweep's list, each task running the same step as on one machine on
// the movies of its chunk, one after the other.

import { writeFile } from 'node:fs/promises';
import { join } from 'node:path';

/** The batch file of a sweep's array. */
export const SBATCH_FILE = 'sweep.sbatch';

// A word as the shell reads it back, whatever it holds.
const quoted = (word) => `'${word.replace(/'/g, `'\\''`)}'`;

/**
 * Writes OUT/sweep.sbatch for `movies` movies in chunks of `chunk`, each
 * task given `cpus` CPUs, `mem` MB (or Slurm's default), `time` minutes
 * (or enough for its chunk at `movieTimeout` seconds a movie), on
 * `partition` (or the default one); `command` the words that run one
 * task, to which its number and OUT are added. Resolves to the number of
 * tasks.
 */
export async function writeSbatch(out, { movies, chunk, cpus, mem, time, partition, movieTimeout, command }) {
  const tasks = Math.max(1, Math.ceil(movies / chunk));
  const minutes = time ?? Math.ceil((chunk * movieTimeout) / 60) + 5;
  const lines = [
    '#!/bin/sh',
    `# vimbrel-sweep: ${movies} movies in ${tasks} tasks of up to ${chunk}. Submit it with`,
    `#   sbatch ${out}/${SBATCH_FILE}`,
    '# and once every task has ended, gather what they wrote with',
    `#   vimbrel-sweep --merge ${out}`,
    '# The viewer, node and OUT must be at these paths on every node.',
    '#SBATCH --job-name=vimbrel-sweep',
    `#SBATCH --array=0-${tasks - 1}`,
    `#SBATCH --cpus-per-task=${cpus}`,
    `#SBATCH --time=${minutes}`,
    `#SBATCH --output=${out}/slurm/task-%a.log`,
    ...(mem ? [`#SBATCH --mem=${mem}`] : []),
    ...(partition ? [`#SBATCH --partition=${partition}`] : []),
    `exec ${command.map(quoted).join(' ')} --task "$SLURM_ARRAY_TASK_ID" --out ${quoted(out)}`,
    '',
  ];
  await writeFile(join(out, SBATCH_FILE), lines.join('\n'), { mode: 0o755 });
  return tasks;
}
