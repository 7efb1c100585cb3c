// Serves the viewer on 127.0.0.1 (port 8080, or PORT):
//   node serve.js [--flasm PATH] [--vimbrel PATH]
// A movie without a tracer that the page opens is traced here (POST /trace).
import { createServer } from 'node:http';
import { readFile, stat } from 'node:fs/promises';
import { extname, join, normalize, sep } from 'node:path';
import { fileURLToPath } from 'node:url';
import { traceUploads } from './src/trace-upload.js';

const ROOT = fileURLToPath(new URL('.', import.meta.url));
const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.json': 'application/json',
  '.wasm': 'application/wasm',
  '.swf': 'application/x-shockwave-flash',
  '.map': 'application/json',
  '.png': 'image/png',
  '.txt': 'text/plain; charset=utf-8',
};

async function serveFile(path, extraFiles, response) {
  const file = extraFiles[path] ??
    normalize(join(ROOT, path.endsWith('/') ? `${path}index.html` : path));
  if (!(path in extraFiles) && !file.startsWith(ROOT) && `${file}${sep}` !== ROOT) {
    response.writeHead(403).end();
    return;
  }
  try {
    if (!(await stat(file)).isFile()) throw new Error('not a file');
    const body = await readFile(file);
    response.writeHead(200, { 'Content-Type': TYPES[extname(file)] ?? 'application/octet-stream' });
    response.end(body);
  } catch {
    response.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found');
  }
}

/**
 * Starts the server; resolves to it once it listens. `extraFiles` maps URL
 * paths to files elsewhere, such as the movie a capture plays; `tools`
 * names flasm and vimbrel for tracing movies.
 */
export function serve(port = 0, host = '127.0.0.1', extraFiles = {}, tools = {}) {
  const server = createServer();
  const traceUpload = traceUploads(server, tools);
  server.on('request', async (request, response) => {
    const url = new URL(request.url, 'http://localhost');
    let path;
    try {
      path = decodeURIComponent(url.pathname);
    } catch {
      response.writeHead(400).end();
      return;
    }
    if (path === '/trace') {
      if (request.method !== 'POST') {
        response.writeHead(405, { Allow: 'POST' }).end();
        return;
      }
      await traceUpload(request, response, url.searchParams);
      return;
    }
    await serveFile(path, extraFiles, response);
  });
  return new Promise((resolve) => server.listen(port, host, () => resolve(server)));
}

function option(name) {
  const at = process.argv.indexOf(name);
  return at >= 0 ? process.argv[at + 1] : undefined;
}

if (process.argv[1] && fileURLToPath(import.meta.url) === process.argv[1]) {
  const server = await serve(Number(process.env.PORT ?? 8080), '127.0.0.1', {},
                             { flasm: option('--flasm'), vimbrel: option('--vimbrel') });
  for (const signal of ['SIGINT', 'SIGTERM']) {
    process.on(signal, () => {
      server.close(() => process.exit(0));
      server.closeAllConnections();
    });
  }
  console.log(`Vimbrel trace viewer on http://127.0.0.1:${server.address().port}/`);
}
