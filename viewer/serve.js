// Serves the viewer on 127.0.0.1 (port 8080, or PORT):
//   node serve.js [--movies DIR] [--no-stand-ins] [--flasm PATH] [--vimbrel PATH]
//                 [--tool-timeout SECONDS] [--no-frames] [--no-events]
//                 [--only PATTERN]... [--skip PATTERN]...
// A movie without a tracer that the page opens is traced here (POST /trace);
// the movies of DIR are served at /movies/, each traced when first asked for.
import { createServer } from 'node:http';
import { mkdtempSync, rmSync } from 'node:fs';
import { readFile, stat } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join, normalize, resolve, sep } from 'node:path';
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';
import { traceUploads } from './src/trace-upload.js';
import { MOVIES_PATH, MovieFolder, moviePath } from './src/movie-folder.js';
import { contentType } from './src/content-type.js';
import { serverEventMessage } from './src/file-messages.js';
import { printable } from './src/printable.js';
import { endRunningTools } from './src/tools.js';
import { FLUSH_EVERY, TOOL_TIMEOUT } from './src/trace-movie.js';
import { TOOL_TIMEOUT_PROBLEM, onClosedOutput, onStopSignals, parseToolTimeout } from './src/lifetime.js';

const ROOT = fileURLToPath(new URL('.', import.meta.url));

/** Where speedscope's app is served, offline, from its npm package. */
export const SPEEDSCOPE_PATH = '/speedscope/';
const SPEEDSCOPE = join(ROOT, 'node_modules', 'speedscope', 'dist', 'release') + sep;

// Serves one of the viewer's own files; false when there is none at `path`.
async function serveFile(path, files, response) {
  const [top, below] = path.startsWith(SPEEDSCOPE_PATH)
    ? [SPEEDSCOPE, path.slice(SPEEDSCOPE_PATH.length)] : [ROOT, path];
  const file = files[path] ??
    normalize(join(top, below.endsWith('/') || below === '' ? `${below}index.html` : below));
  if (!(path in files) && !file.startsWith(top) && `${file}${sep}` !== top) {
    response.writeHead(403).end();
    return true;
  }
  let body;
  try {
    if (!(await stat(file)).isFile()) return false;
    body = await readFile(file);
  } catch {
    return false;
  }
  response.writeHead(200, { 'Content-Type': contentType(file), ...OWN_FILE_HEADERS }).end(body);
  return true;
}

// Our pages say what they may load (their Content-Security-Policy); none
// of them is shown inside another site's page, and nothing is read as a
// type it does not say.
const OWN_FILE_HEADERS = { 'Content-Security-Policy': "frame-ancestors 'self'", 'X-Content-Type-Options': 'nosniff' };

// What browsers ask of any site: not a movie's.
const BROWSERS_OWN = ['/favicon.ico'];

/** The content type of what a page sends to be traced. */
export const UPLOAD_TYPE = 'application/x-shockwave-flash';

// The names a browser on this machine gives the server: a request that
// names another came from a page of another site (by DNS rebinding). A
// browser leaves out the port when it is HTTP's own.
function ownHosts(port) {
  const names = ['127.0.0.1', 'localhost', '[::1]'];
  return [...names.map((name) => `${name}:${port}`), ...(port === 80 ? names : [])];
}

// Browsers say which site a request comes from (fetch metadata), even where
// they send no Origin: a cross-site GET, a <script> or <img> of another page.
const OTHER_SITES = ['cross-site', 'same-site'];

/** True when the request comes from one of our own pages, by Origin or by fetch metadata. */
function fromOwnPage(request, port) {
  const origin = request.headers.origin;
  if (origin !== undefined) return ownHosts(port).some((host) => origin.toLowerCase() === `http://${host}`);
  return request.headers['sec-fetch-site'] === 'same-origin';
}

// What the movie's box loads from its opaque origin: the scripts of the
// player, which are no secret. Any other request of a sandboxed frame, as
// of any other site, is refused.
const PLAYER_SCRIPTS = ['/src/player-frame.js', '/node_modules/@ruffle-rs/ruffle/'];

function playerScript(request, path) {
  return request.method === 'GET' && request.headers['sec-fetch-dest'] === 'script' &&
    PLAYER_SCRIPTS.some((script) => (script.endsWith('/') ? path.startsWith(script) : path === script)) &&
    path.endsWith('.js') && !path.includes('/../');
}

/**
 * Why a request is not ours to answer, as an HTTP status, or 0. Only our
 * own pages may have tools run (/trace) or read the folder of movies; a
 * page elsewhere cannot send our content type without a preflight, which
 * we never grant. Tools that send no fetch metadata (curl) keep the Host
 * and Origin rules.
 */
function refusal(request, path, port) {
  if (!ownHosts(port).includes(String(request.headers.host ?? '').toLowerCase())) return 403;
  if (OTHER_SITES.includes(request.headers['sec-fetch-site']) && !playerScript(request, path)) return 403;
  const guarded = path === '/trace' || path.startsWith(MOVIES_PATH);
  if (guarded && request.headers.origin !== undefined && !fromOwnPage(request, port)) return 403;
  if (path === '/trace' && request.method === 'POST') {
    const type = String(request.headers['content-type'] ?? '').split(';')[0].trim().toLowerCase();
    if (type !== UPLOAD_TYPE) return 415;
  }
  return 0;
}

// The path a request names, decoded, or null when it names none: only a
// path from the root is asked of a server (not a proxy's absolute URL,
// not "*"), and it is read as such, whatever it holds ("//[" names no host).
function requestPath(request) {
  if (!request.url.startsWith('/')) return null;
  try {
    return decodeURIComponent(new URL(`http://localhost${request.url}`).pathname);
  } catch {
    return null;
  }
}

/**
 * Starts the server; resolves to it once it listens. `files` maps URL
 * paths to files elsewhere; `movies`, a MovieFolder, is served at
 * /movies/; `tools` are traceMovie's options for the movies that pages
 * send (flasm, vimbrel, toolTimeout, only, skip).
 */
export function serve(port = 0, host = '127.0.0.1', { files = {}, movies = null, tools = {} } = {}) {
  const server = createServer();
  const traceUpload = traceUploads(server, tools);
  // A tool still running when the server stops stops with it.
  server.on('close', endRunningTools);
  const answer = async (request, response) => {
    const path = requestPath(request);
    if (path === null) {
      response.writeHead(400, { 'Content-Type': 'text/plain' }).end('a path from the root, please');
      return;
    }
    const refused = refusal(request, path, server.address().port);
    if (refused) {
      response.writeHead(refused, { 'Content-Type': 'text/plain' }).end(
        refused === 415 ? `send the movie as ${UPLOAD_TYPE}` : 'not for other sites');
      return;
    }
    if (path === '/trace') {
      if (request.method !== 'POST') {
        response.writeHead(405, { Allow: 'POST' }).end();
        return;
      }
      await traceUpload(request, response, new URL(`http://localhost${request.url}`).searchParams);
    } else if (movies && path.startsWith(MOVIES_PATH)) {
      await movies.handle(path.slice(MOVIES_PATH.length), response);
    } else if (movies && `${path}/` === MOVIES_PATH) {
      response.writeHead(301, { Location: MOVIES_PATH }).end();
    } else if (!(await serveFile(path, files, response))) {
      // A movie of the folder that loads `../name` asks for it here, from
      // our page; nobody else is answered for the folder.
      if (movies && !BROWSERS_OWN.includes(path) && fromOwnPage(request, server.address().port)) {
        movies.handleOutsideFolder(path, response);
      } else {
        response.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found');
      }
    }
  };
  server.on('request', (request, response) => {
    // Whatever one request does, the server serves the next.
    answer(request, response).catch((error) => {
      if (!response.headersSent) response.writeHead(500, { 'Content-Type': 'text/plain' });
      response.end(String(error?.message ?? error));
    });
  });
  return new Promise((done) => server.listen(port, host, () => done(server)));
}

// How many movies of the folder the start line names.
const STARTING_MOVIES = 10;

function usage(problem) {
  process.stderr.write(`${printable(problem)}\nusage: npm start -- [--movies DIR] [--no-stand-ins] [--flasm PATH] [--vimbrel PATH] ` +
                       '[--tool-timeout SECONDS] [--no-frames] [--no-events] [--only PATTERN]... [--skip PATTERN]...\n');
  process.exit(2);
}

if (process.argv[1] && fileURLToPath(import.meta.url) === process.argv[1]) {
  let values;
  try {
    ({ values } = parseArgs({
      options: {
        movies: { type: 'string' }, 'no-stand-ins': { type: 'boolean' },
        flasm: { type: 'string' }, vimbrel: { type: 'string' },
        'tool-timeout': { type: 'string' }, 'no-frames': { type: 'boolean' }, 'no-events': { type: 'boolean' },
        only: { type: 'string', multiple: true }, skip: { type: 'string', multiple: true },
      },
    }));
  } catch (error) {
    usage(error.message);
  }
  const toolTimeout = parseToolTimeout(values['tool-timeout'] ?? TOOL_TIMEOUT);
  if (toolTimeout === null) usage(TOOL_TIMEOUT_PROBLEM);
  // The page takes the records that tracers hand over as they collect, and
  // shows frames and the code outside functions.
  const tools = { flasm: values.flasm, vimbrel: values.vimbrel, toolTimeout, flushEvery: FLUSH_EVERY,
                  frames: !values['no-frames'], events: !values['no-events'],
                  only: values.only ?? [], skip: values.skip ?? [] };
  let movies = null;
  let work = null;
  if (values.movies) {
    if (!(await stat(values.movies).catch(() => null))?.isDirectory()) {
      usage(`--movies names ${values.movies}, which is no folder`);
    }
    work = mkdtempSync(join(tmpdir(), 'vimbrel-viewer-movies-'));
    process.on('exit', () => rmSync(work, { recursive: true, force: true }));
    movies = new MovieFolder({
      // As vimbrel-capture traces them: the trace begins with the first call.
      root: resolve(values.movies), work, traceOptions: { clock: 'date', collectFromStart: true, ...tools },
      standIns: !values['no-stand-ins'],
      onEvent: (event) => console.log(printable(serverEventMessage(event))),
    });
  }
  const server = await serve(Number(process.env.PORT ?? 8080), '127.0.0.1', { movies, tools });
  // The exit handlers end the tools and remove the work folders.
  const stop = (status) => {
    endRunningTools();
    server.close(() => process.exit(status));
    server.closeAllConnections();
    setTimeout(() => process.exit(status), 2000).unref();
  };
  onStopSignals(stop);
  // A terminal that closed cannot take our log; we go on serving.
  for (const stream of [process.stdout, process.stderr]) onClosedOutput(stream, () => {});
  const address = `http://127.0.0.1:${server.address().port}/`;
  console.log(`Vimbrel trace viewer on ${address}`);
  if (movies) {
    // The first few to open at once; all of them at /movies/.
    const { movies: found, more } = await movies.movieList();
    console.log(`The movies of ${values.movies}, listed at ${address}${MOVIES_PATH.slice(1)}:`);
    for (const movie of found.slice(0, STARTING_MOVIES)) {
      console.log(`  ${address}?movie=${moviePath(movie)}`);
    }
    const others = found.length - STARTING_MOVIES;
    if (others > 0 || more) console.log(`  and ${more ? 'more than ' : ''}${Math.max(others, 0)} more`);
    if (found.length === 0) console.log('  none: the folder holds no .swf');
  }
}
