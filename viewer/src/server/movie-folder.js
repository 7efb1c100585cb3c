// A folder of movies served read-only at the same relative paths, so that
// a movie finds every file it loads (shared libraries, levels, data). A
// movie without a tracer is traced when it is first asked for, in a work
// folder of our own, and served traced; one that cannot be traced is
// served as it is. Nothing is written into the folder.
//
// Movies made on Windows name their files in any case, as Windows finds
// them; so do we. A movie that the folder lacks (a game's font library) is
// answered with an empty one, so that the movie that imports it runs.

import { mkdir, readFile, readdir, realpath, stat } from 'node:fs/promises';
import { dirname, extname, isAbsolute, join, relative, sep } from 'node:path';
import { FOLDER_FILE_HEADERS, folderContentType } from './content-type.js';
import { MISSED_NAMES } from '../node/file-messages.js';
import { StepError } from '../node/tools.js';
import { movieSignature, tracerInMovie, traceMovie } from '../node/trace-movie.js';
import { emptyMovie } from '../model/swf.js';

/** Where the server serves a folder of movies. */
export const MOVIES_PATH = '/movies/';

/** The URL path of the file at `path` below the folder, its parts joined by '/'. */
export function moviePath(path) {
  return MOVIES_PATH + path.split('/').map(encodeURIComponent).join('/');
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

// How many movies /movies/ lists, and how deep in the folder it looks.
export const LISTED_MOVIES = 1000;
const MOVIE_DEPTH = 4;

// The version of a stand-in before any movie of the folder is served; after,
// that of the movie served last, which as a rule is the one that asks.
const DEFAULT_VERSION = 10;

export class MovieFolder {
  /**
   * Serves `root`; traces movies into `work` with `traceOptions` (those of
   * traceMovie). `onEvent(event)` hears, once per file, of each movie
   * traced ({ kind: 'traced', path, seconds }) or served as it is
   * ({ kind: 'untraceable', path, error }), of a file that is missing
   * ({ kind: 'missing', path, standIn, above, parent }) and of a name that
   * files differ from only in case ({ kind: 'ambiguous', path, names }),
   * once past MISSED_NAMES of those ({ kind: 'many missing', path }):
   * file-messages.js says them. Paths are relative to the root. A
   * missing movie is answered with an empty one unless `standIns` is false.
   */
  constructor({ root, work, traceOptions = {}, onEvent = () => {}, standIns = true }) {
    this.root = root;
    this.work = work;
    this.traceOptions = traceOptions;
    this.onEvent = onEvent;
    this.standIns = standIns;
    this.realRoot = null;
    // Real path to the promise of what to serve for it.
    this.movies = new Map();
    this.count = 0;
    // The files asked for and not got, by the path asked for; past
    // MISSED_NAMES, the requests for others are only counted.
    this.missed = new Map();
    this.missedBeyond = 0;
    this.lastVersion = DEFAULT_VERSION;
  }

  /** The root's real path; links inside it are followed only to files within it. */
  async realRootPath() {
    this.realRoot ??= await realpath(this.root);
    return this.realRoot;
  }

  /**
   * The file that the URL path `path` (relative to the root, decoded) names:
   * { file } or { status } (403 or 404; with `names` when several files
   * differ from it only in case). No `..`, and no link out. A name not
   * found as written is looked for with case ignored, part by part.
   */
  async locate(path) {
    const parts = path.split('/').filter((part) => part !== '');
    if (parts.some((part) => part === '..' || part === '.' || part.includes('\\') || part.includes('\0'))) {
      return { status: 403 };
    }
    const root = await this.realRootPath();
    let file = await realpath(join(root, ...parts)).catch(() => null);
    if (file === null) {
      const found = await this.withCaseIgnored(root, parts);
      if (!found.file) return found;
      file = found.file;
    }
    if (!isWithin(root, file)) return { status: 403 };
    try {
      if (!(await stat(file)).isFile()) return { status: 404 };
    } catch {
      return { status: 404 };
    }
    return { file };
  }

  // `parts` below `root` as Windows finds them: each as written if it is
  // there, else the one entry that differs from it only in case. Every
  // step stays inside the root.
  async withCaseIgnored(root, parts) {
    let folder = root;
    for (const part of parts) {
      let entries;
      try {
        entries = await readdir(folder);
      } catch {
        return { status: 404 };
      }
      let name = part;
      if (!entries.includes(part)) {
        const matches = entries.filter((entry) => entry.toLowerCase() === part.toLowerCase());
        if (matches.length === 0) return { status: 404 };
        if (matches.length > 1) return { status: 404, names: matches.sort() };
        [name] = matches;
      }
      try {
        folder = await realpath(join(folder, name));
      } catch {
        return { status: 404 };
      }
      if (!isWithin(root, folder)) return { status: 403 };
    }
    return { file: folder };
  }

  /** Serves `traced` in place of the movie at the real path `file`. */
  serveTraced(file, traced) {
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
    if ((await tracerInMovie(bytes)).traced) return { path: file, how: 'already' };
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
    if (path === '') {
      await this.answerList(response);
      return;
    }
    const found = await this.locate(path);
    if (found.status === 403) {
      response.writeHead(403, { 'Content-Type': 'text/plain' }).end('outside the folder of movies');
      return;
    }
    if (found.status) {
      if (found.names) {
        this.tell(path, { kind: 'ambiguous', path, names: found.names });
        response.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found');
      } else {
        this.missing(path, response, {});
      }
      return;
    }
    const headers = { 'Content-Type': folderContentType(found.file), ...FOLDER_FILE_HEADERS };
    let file = found.file;
    const movie = extname(file).toLowerCase() === '.swf';
    if (movie) {
      const served = await this.movie(file);
      file = served.path;
      headers['X-Vimbrel-Traced'] = served.how;
      if (served.problem) headers['X-Vimbrel-Problem'] = problemHeader(served.problem);
    }
    const body = await readFile(file);
    if (movie && movieSignature(body)) this.lastVersion = body[3];
    response.writeHead(200, headers).end(body);
  }

  /**
   * The movies of the folder, by their paths below it, sorted: at most
   * LISTED_MOVIES, MOVIE_DEPTH folders down; links to folders are not
   * followed. `more` is true when there were more.
   */
  async movieList() {
    const movies = [];
    let more = false;
    const walk = async (folder, shown, depth) => {
      let entries;
      try {
        entries = await readdir(folder, { withFileTypes: true });
      } catch {
        return;
      }
      entries.sort((a, b) => (a.name < b.name ? -1 : a.name > b.name ? 1 : 0));
      for (const entry of entries) {
        const path = shown ? `${shown}/${entry.name}` : entry.name;
        if (entry.isFile() && extname(entry.name).toLowerCase() === '.swf') {
          if (movies.length === LISTED_MOVIES) {
            more = true;
            return;
          }
          movies.push(path);
        } else if (entry.isDirectory() && depth < MOVIE_DEPTH) {
          await walk(join(folder, entry.name), path, depth + 1);
        }
      }
    };
    await walk(await this.realRootPath(), '', 0);
    return { movies, more };
  }

  // /movies/ itself: a page of links that open each movie in the viewer.
  async answerList(response) {
    const { movies, more } = await this.movieList();
    const escape = (text) => text.replace(/[&<>"']/g, (c) => `&#${c.charCodeAt(0)};`);
    const items = movies.map((movie) => {
      const url = `/?movie=${encodeURIComponent(moviePath(movie))}`;
      return `<li><a href="${escape(url)}">${escape(movie)}</a></li>`;
    });
    const body = '<!doctype html>\n<html lang="en"><head><meta charset="utf-8"><title>Movies</title>' +
      '<link rel="stylesheet" href="/style.css"></head><body class="movies-page"><main class="panel-box">' +
      '<h1>Movies of the folder</h1>' +
      (movies.length ? `<ul class="movies">${items.join('')}</ul>` : '<p>The folder holds no movie (.swf).</p>') +
      (more ? `<p>Only the first ${LISTED_MOVIES} are listed.</p>` : '') + '</main></body></html>\n';
    // Our own page: its names are text, and it loads nothing but our style.
    response.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8', 'Cache-Control': 'no-store',
                              'Content-Security-Policy': "default-src 'none'; style-src 'self'; frame-ancestors 'none'",
                              'X-Content-Type-Options': 'nosniff' }).end(body);
  }

  /**
   * Answers a request of a movie of the folder for `path`, a URL path
   * outside the folder's own: its `../name`, which the browser resolved
   * above the folder served.
   */
  handleOutsideFolder(path, response) {
    const parent = dirname(this.realRoot ?? this.root);
    this.missing(`..${path}`, response, { above: true, parent });
  }

  // A file the folder does not hold: an empty movie for a movie, else 404.
  missing(path, response, { above = false, parent = null }) {
    const standIn = this.standIns && extname(path).toLowerCase() === '.swf';
    this.tell(path, { kind: 'missing', path, standIn, above, parent });
    if (!standIn) {
      response.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found');
      return;
    }
    response.writeHead(200, { 'Content-Type': folderContentType(path), ...FOLDER_FILE_HEADERS,
                              'X-Vimbrel-Traced': 'stand-in' }).end(emptyMovie(this.lastVersion));
  }

  // Each file missed is told of once, however often the movie asks.
  tell(path, event) {
    if (this.missed.has(path)) return;
    if (this.missed.size >= MISSED_NAMES) {
      if (this.missedBeyond++ === 0) this.onEvent({ kind: 'many missing', path });
      return;
    }
    this.missed.set(path, event);
    this.onEvent(event);
  }

  /** The first MISSED_NAMES files asked for and not got, in the order first asked: the events told of them. */
  get missedFiles() {
    return [...this.missed.values()];
  }
}
