// The viewer's server: who may ask what, and the answer to each request.
// Only our own pages may have tools run (/trace) or read a folder of
// movies; the movie's sandboxed frame may load the player's scripts;
// every request is answered, and none ends the server.

import { createServer } from 'node:http';
import { traceUploads } from './trace-upload.js';
import { MOVIES_PATH } from './movie-folder.js';
import { serveOwnFile } from './own-files.js';
import { endRunningTools } from '../node/tools.js';

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
const PLAYER_SCRIPTS = ['/src/player/player-frame.js', '/node_modules/@ruffle-rs/ruffle/'];

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
    } else if (!(await serveOwnFile(path, files, response))) {
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

