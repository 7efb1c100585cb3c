// What the server serves of the viewer: its pages and what they load
// (their modules, Ruffle, speedscope), and nothing else of its folder: not
// the server's, the capture's or the tests' code, nor package.json.

import { readFile, stat } from 'node:fs/promises';
import { join, normalize, sep } from 'node:path';
import { fileURLToPath } from 'node:url';
import { contentType } from './content-type.js';

const VIEWER = fileURLToPath(new URL('../../', import.meta.url));

/** Where speedscope's app is served, offline, from its npm package. */
export const SPEEDSCOPE_PATH = '/speedscope/';
const SPEEDSCOPE = join(VIEWER, 'node_modules', 'speedscope', 'dist', 'release') + sep;

// The pages, and the folders of what they load.
const PAGES = ['/index.html', '/capture.html', '/player.html', '/style.css'];
const PAGE_FOLDERS = ['/src/model/', '/src/page/', '/src/worker/', '/src/player/', '/node_modules/@ruffle-rs/ruffle/'];

// Our pages say what they may load (their Content-Security-Policy); none
// of them is shown inside another site's page, and nothing is read as a
// type it does not say.
const OWN_FILE_HEADERS = { 'Content-Security-Policy': "frame-ancestors 'self'", 'X-Content-Type-Options': 'nosniff' };

// The file of the viewer's that the URL path `path` names, or null.
function ownFile(path) {
  if (path.startsWith(SPEEDSCOPE_PATH)) {
    const below = path.slice(SPEEDSCOPE_PATH.length);
    const file = normalize(join(SPEEDSCOPE, below === '' || below.endsWith('/') ? `${below}index.html` : below));
    return file.startsWith(SPEEDSCOPE) ? file : null;
  }
  const page = path === '/' ? '/index.html' : path;
  if (!PAGES.includes(page) && !PAGE_FOLDERS.some((folder) => page.startsWith(folder))) return null;
  const file = normalize(join(VIEWER, page));
  return file.startsWith(VIEWER) ? file : null;
}

/**
 * Answers with the viewer's own file at `path`, or the file that `files`
 * (URL paths to files elsewhere) names there; resolves to false when
 * there is none.
 */
export async function serveOwnFile(path, files, response) {
  const file = Object.hasOwn(files, path) ? files[path] : ownFile(path);
  if (!file) return false;
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
