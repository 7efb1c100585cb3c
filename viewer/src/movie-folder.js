// A folder of movies served read-only at the same relative paths, so that
// a movie finds every file it loads (shared libraries, levels, data). A
// movie without a tracer is traced when it is first asked for, in a work
// folder of our own, and served traced; one that cannot be traced is
// served as it is. Nothing is written into the folder.

import { mkdir, readFile, realpath, stat } from 'node:fs/promises';
import { extname, isAbsolute, join, relative, sep } from 'node:path';
import { StepError } from './tools.js';
import { movieSignature, tracerInMovie, traceMovie } from './trace-movie.js';

export const CONTENT_TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.json': 'application/json',
  '.wasm': 'application/wasm',
  '.swf': 'application/x-shockwave-flash',
  '.map': 'application/json',
  '.png': 'image/png',
  '.txt': 'text/plain; charset=utf-8',
  '.xml': 'text/xml; charset=utf-8',
};

/** The content type of a file by its ending. */
export function contentType(path) {
  return CONTENT_TYPES[extname(path).toLowerCase()] ?? 'application/octet-stream';
}

// True when `path` is `folder` or inside it.
function isWithin(folder, path) {
  const way = relative(folder, path);
  return way !== '..' && !way.startsWith(`..${sep}`) && !isAbsolute(way);
}

/** The most a problem header holds; the whole of a tool's output goes to the log. */
export const PROBLEM_HEADER_BYTES = 2048;

// Half of `text`, by characters: a pair of surrogates is not cut.
const half = (text) => [...text].slice(0, Math.floor([...text].length / 2)).join('');

// What failed, as a header: the step, the message and the first lines of
// the tool's output, as much as fits.
function problemHeader({ step, message, output = '' }) {
  const encoded = (said, text) => encodeURIComponent(JSON.stringify({ step, message: said, output: text }));
  let said = message;
  let text = output.split('\n').slice(0, 2).join('\n');
  while (encoded(said, text).length > PROBLEM_HEADER_BYTES) {
    if (text) text = half(text);
    else said = half(said);
  }
  return encoded(said, text);
}

export class MovieFolder {
  /**
   * Serves `root`; traces movies into `work` with `traceOptions` (those of
   * traceMovie). `onEvent(event)` hears of each movie traced
   * ({ kind: 'traced', path, seconds }) or served as it is
   * ({ kind: 'untraceable', path, error }), paths relative to the root.
   */
  constructor({ root, work, traceOptions = {}, onEvent = () => {} }) {
    this.root = root;
    this.work = work;
    this.traceOptions = traceOptions;
    this.onEvent = onEvent;
    this.realRoot = null;
    // Real path to the promise of what to serve for it.
    this.movies = new Map();
    this.count = 0;
  }

  /** The root's real path; links inside it are followed only to files within it. */
  async realRootPath() {
    this.realRoot ??= await realpath(this.root);
    return this.realRoot;
  }

  /**
   * The file that the URL path `path` (relative to the root, decoded) names:
   * { file } or { status } (400, 403 or 404). No `..`, and no link out.
   */
  async locate(path) {
    const parts = path.split('/').filter((part) => part !== '');
    if (parts.some((part) => part === '..' || part === '.' || part.includes('\\') || part.includes('\0'))) {
      return { status: 403 };
    }
    const root = await this.realRootPath();
    let file;
    try {
      file = await realpath(join(root, ...parts));
    } catch {
      return { status: 404 };
    }
    if (!isWithin(root, file)) return { status: 403 };
    try {
      if (!(await stat(file)).isFile()) return { status: 404 };
    } catch {
      return { status: 404 };
    }
    return { file };
  }

  /** Serves `traced` in place of the movie at the real path `file`. */
  standIn(file, traced) {
    this.movies.set(file, Promise.resolve({ path: traced, how: 'now' }));
  }

  // What to serve for the movie at `file`: { path, how, problem }. A
  // failure that is not a tool's (a disk full) may pass: it is not kept.
  movie(file) {
    if (!this.movies.has(file)) {
      const served = this.traced(file);
      served.catch(() => this.movies.delete(file));
      this.movies.set(file, served);
    }
    return this.movies.get(file);
  }

  async traced(file) {
    const shown = relative(this.realRoot, file).split(sep).join('/');
    const bytes = await readFile(file);
    if (!movieSignature(bytes)) return { path: file, how: 'no movie' };
    if (tracerInMovie(bytes).traced) return { path: file, how: 'already' };
    const started = Date.now();
    const folder = join(this.work, `movie-${++this.count}`);
    try {
      await mkdir(folder, { recursive: true });
      const traced = await traceMovie(file, folder, { ...this.traceOptions, label: shown });
      this.onEvent({ kind: 'traced', path: shown, seconds: (Date.now() - started) / 1000 });
      return { path: traced.movie, how: 'now' };
    } catch (error) {
      if (!(error instanceof StepError)) throw error;
      this.onEvent({ kind: 'untraceable', path: shown, error });
      return { path: file, how: 'failed', problem: error };
    }
  }

  /** Answers a request for the URL path `path`, relative to the root and decoded. */
  async handle(path, response) {
    const found = await this.locate(path);
    if (found.status) {
      response.writeHead(found.status, { 'Content-Type': 'text/plain' }).end(
        found.status === 403 ? 'outside the folder of movies' : 'not found');
      return;
    }
    const headers = { 'Content-Type': contentType(found.file), 'Cache-Control': 'no-store' };
    let file = found.file;
    if (extname(file).toLowerCase() === '.swf') {
      const served = await this.movie(file);
      file = served.path;
      headers['X-Vimbrel-Traced'] = served.how;
      if (served.problem) headers['X-Vimbrel-Problem'] = problemHeader(served.problem);
    }
    response.writeHead(200, headers).end(await readFile(file));
  }
}
