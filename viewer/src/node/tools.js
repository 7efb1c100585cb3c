// Finds and runs the two programs that turn a movie into a traced one:
// flasm, which disassembles and assembles it, and vimbrel.

import { spawn } from 'node:child_process';
import { constants } from 'node:fs';
import { access } from 'node:fs/promises';
import { delimiter, isAbsolute, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const WINDOWS = process.platform === 'win32';
const REPOSITORY = fileURLToPath(new URL('../../../', import.meta.url));

/** A step of making a traced movie that did not work: which, and why. */
export class StepError extends Error {
  constructor(step, message, output = '') {
    super(message);
    this.step = step;
    this.output = output;
  }
}

async function isProgram(path) {
  try {
    await access(path, WINDOWS ? constants.F_OK : constants.X_OK);
    return true;
  } catch {
    return false;
  }
}

// `name` in the folders of PATH, with the endings Windows runs.
async function onPath(name) {
  const endings = WINDOWS ? ['', ...(process.env.PATHEXT ?? '.EXE').split(';')] : [''];
  for (const folder of (process.env.PATH ?? '').split(delimiter)) {
    if (!folder) continue;
    for (const ending of endings) {
      const candidate = join(folder, name + ending.toLowerCase());
      if (await isProgram(candidate)) return candidate;
    }
  }
  return null;
}

async function given(path, how) {
  const absolute = isAbsolute(path) ? path : resolve(path);
  if (await isProgram(absolute)) return absolute;
  throw new StepError('finding the tools', `${how} names ${path}, which is not a program.`);
}

export const FLASM_MISSING =
  'flasm was not found. Give its path with --flasm PATH or the FLASM environment ' +
  'variable, or put it on your PATH (flasm.exe on Windows). Debian does not package ' +
  'flasm: get flasm 1.62, and keep its flasm.ini beside it with "literalconstants = 1", ' +
  'so that it writes strings rather than constant numbers.';

export const VIMBREL_MISSING =
  'vimbrel was not found. Give its path with --vimbrel PATH or the VIMBREL environment ' +
  'variable, build it in this repository (scripts/example builds build/vimbrel), or put ' +
  'it on your PATH.';

/** flasm: the option, then FLASM, then the PATH. */
export async function findFlasm(option) {
  if (option) return given(option, '--flasm');
  if (process.env.FLASM) return given(process.env.FLASM, 'FLASM');
  const found = await onPath('flasm');
  if (found) return found;
  throw new StepError('finding the tools', FLASM_MISSING);
}

/** vimbrel: the option, then VIMBREL, then this repository's build, then the PATH. */
export async function findVimbrel(option) {
  if (option) return given(option, '--vimbrel');
  if (process.env.VIMBREL) return given(process.env.VIMBREL, 'VIMBREL');
  const built = join(REPOSITORY, 'build', WINDOWS ? 'vimbrel.exe' : 'vimbrel');
  if (await isProgram(built)) return built;
  const found = await onPath('vimbrel');
  if (found) return found;
  throw new StepError('finding the tools', VIMBREL_MISSING);
}

// The tools running now, so that they end when we do: a flasm stuck on a
// damaged movie would otherwise go on after the capture or the server.
const running = new Set();

function end(child) {
  try {
    // POSIX: the tool's whole process group, a shell script's children too.
    if (WINDOWS) child.kill('SIGKILL');
    else process.kill(-child.pid, 'SIGKILL');
  } catch {
    // It has ended already.
  }
}

/** Ends every tool still running. Synchronous, so that an exit handler can call it. */
export function endRunningTools() {
  for (const child of running) end(child);
  running.clear();
}
process.on('exit', endRunningTools);

// How long the pipes of a tool that has ended may stay open: a child it
// left, outside its process group, may hold them for ever.
const PIPES_AFTER_EXIT_MS = 1000;

/**
 * Runs `program` with `args` in `cwd`, no shell between, so that any name
 * is passed as it is. Resolves to its status, the signal that ended it,
 * whether it ran past `timeoutSeconds` (then it is ended) and both outputs
 * as buffers, once it has ended and its pipes have closed, or soon after it
 * ended when something it left holds them.
 */
export function runProgram(program, args, cwd, { timeoutSeconds = 0 } = {}) {
  return new Promise((done, fail) => {
    const child = spawn(program, args, { cwd, windowsHide: true, detached: !WINDOWS });
    running.add(child);
    const stdout = [];
    const stderr = [];
    let timedOut = false;
    let exited = null;
    let pipesTimer = null;
    const timer = timeoutSeconds > 0 ? setTimeout(() => {
      timedOut = true;
      end(child);
    }, timeoutSeconds * 1000) : null;
    const settle = () => {
      clearTimeout(timer);
      clearTimeout(pipesTimer);
      running.delete(child);
    };
    child.stdout.on('data', (chunk) => stdout.push(chunk));
    child.stderr.on('data', (chunk) => stderr.push(chunk));
    child.on('error', (error) => {
      settle();
      fail(error);
    });
    const finish = () => {
      settle();
      done({
        status: exited.status ?? 128,
        signal: timedOut ? null : exited.signal,
        timedOut,
        stdout: Buffer.concat(stdout),
        stderr: Buffer.concat(stderr),
      });
    };
    child.on('exit', (status, signal) => {
      exited = { status, signal };
      pipesTimer = setTimeout(() => {
        // What still holds the pipes is left to itself: its group is
        // ended, and nothing more is read.
        end(child);
        child.stdout.destroy();
        child.stderr.destroy();
        child.removeAllListeners('close');
        finish();
      }, PIPES_AFTER_EXIT_MS);
    });
    child.on('close', finish);
  });
}
