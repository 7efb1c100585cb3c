// Serves the viewer on 127.0.0.1 (port 8080, or PORT):
//   node serve.js [--movies DIR] [--flasm PATH] [--vimbrel PATH]
//                 [--tool-timeout SECONDS] [--only PATTERN]... [--skip PATTERN]...
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
import { MovieFolder, contentType } from './src/movie-folder.js';
import { endRunningTools } from './src/tools.js';
import { TOOL_TIMEOUT } from './src/trace-movie.js';

const ROOT = fileURLToPath(new URL('.', import.meta.url));

/** Where a folder of movies is served. */
export const MOVIES_PATH = '/movies/';

async function serveFile(path, files, response) {
  const file = files[path] ??
    normalize(join(ROOT, path.endsWith('/') ? `${path}index.html` : path));
  if (!(path in files) && !file.startsWith(ROOT) && `${file}${sep}` !== ROOT) {
    response.writeHead(403).end();
    return;
  }
  try {
    if (!(await stat(file)).isFile()) throw new Error('not a file');
    const body = await readFile(file);
    response.writeHead(200, { 'Content-Type': contentType(file) });
    response.end(body);
  } catch {
    response.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found');
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
  server.on('request', async (request, response) => {
    const url = new URL(request.url, 'http://localhost');
    let path;
    try {
      path = decodeURIComponent(url.pathname);
    } catch {
      response.writeHead(400).end();
      return;
    }
    try {
      if (path === '/trace') {
        if (request.method !== 'POST') {
          response.writeHead(405, { Allow: 'POST' }).end();
          return;
        }
        await traceUpload(request, response, url.searchParams);
      } else if (movies && path.startsWith(MOVIES_PATH)) {
        await movies.handle(path.slice(MOVIES_PATH.length), response);
      } else {
        await serveFile(path, files, response);
      }
    } catch (error) {
      if (!response.headersSent) response.writeHead(500, { 'Content-Type': 'text/plain' });
      response.end(String(error?.message ?? error));
    }
  });
  return new Promise((done) => server.listen(port, host, () => done(server)));
}

function usage(problem) {
  process.stderr.write(`${problem}\nusage: npm start -- [--movies DIR] [--flasm PATH] [--vimbrel PATH] ` +
                       '[--tool-timeout SECONDS] [--only PATTERN]... [--skip PATTERN]...\n');
  process.exit(2);
}

if (process.argv[1] && fileURLToPath(import.meta.url) === process.argv[1]) {
  let values;
  try {
    ({ values } = parseArgs({
      options: {
        movies: { type: 'string' }, flasm: { type: 'string' }, vimbrel: { type: 'string' },
        'tool-timeout': { type: 'string' },
        only: { type: 'string', multiple: true }, skip: { type: 'string', multiple: true },
      },
    }));
  } catch (error) {
    usage(error.message);
  }
  const toolTimeout = Number(values['tool-timeout'] ?? TOOL_TIMEOUT);
  if (!(toolTimeout > 0)) usage('--tool-timeout takes a number of seconds');
  const tools = { flasm: values.flasm, vimbrel: values.vimbrel, toolTimeout,
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
      onEvent: (event) => console.log(event.kind === 'traced'
        ? `traced ${event.path} in ${event.seconds.toFixed(2)} s`
        : `could not trace ${event.path}, served as it is: ${event.error.step} failed: ${event.error.message}`),
    });
  }
  const server = await serve(Number(process.env.PORT ?? 8080), '127.0.0.1', { movies, tools });
  for (const signal of ['SIGINT', 'SIGTERM']) {
    process.on(signal, () => {
      endRunningTools();
      server.close(() => process.exit(0));
      server.closeAllConnections();
    });
  }
  const address = `http://127.0.0.1:${server.address().port}/`;
  console.log(`Vimbrel trace viewer on ${address}`);
  if (movies) console.log(`The movies of ${values.movies} are at ${address}?movie=${MOVIES_PATH}NAME.swf`);
}
