// Serves the viewer on 127.0.0.1 (port 8080, or PORT): node serve.js
import { createServer } from 'node:http';
import { readFile, stat } from 'node:fs/promises';
import { extname, join, normalize, sep } from 'node:path';
import { fileURLToPath } from 'node:url';

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

/**
 * Starts the server; resolves to it once it listens. `extraFiles` maps URL
 * paths to files elsewhere, such as the movie a capture plays.
 */
export function serve(port = 0, host = '127.0.0.1', extraFiles = {}) {
  const server = createServer(async (request, response) => {
    const path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
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
  });
  return new Promise((resolve) => server.listen(port, host, () => resolve(server)));
}

if (process.argv[1] && fileURLToPath(import.meta.url) === process.argv[1]) {
  const server = await serve(Number(process.env.PORT ?? 8080));
  console.log(`Vimbrel trace viewer on http://127.0.0.1:${server.address().port}/`);
}
