// What a file is, by its ending, for the server's answers: the viewer's
// own files and the movies' folders, which are never taken for pages.

import { extname } from 'node:path';

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

// What a browser would show as a page of its own, with scripts.
const PAGE_TYPES = ['.html', '.htm', '.xhtml', '.xht', '.svg', '.svgz', '.xml', '.xsl', '.xslt', '.mht', '.mhtml'];

/**
 * The content type of a file of a folder of movies: as contentType says,
 * but text for what a browser would run as a page. A movie reads its
 * files whatever their type; they are never pages of the viewer's.
 */
export function folderContentType(path) {
  return PAGE_TYPES.includes(extname(path).toLowerCase()) ? 'text/plain; charset=utf-8' : contentType(path);
}

/**
 * What every answer for a file of a folder of movies says: if a browser
 * shows it anyway, it is shown in a box of its own, without scripts,
 * apart from the viewer's pages.
 */
export const FOLDER_FILE_HEADERS = {
  'Content-Security-Policy': "sandbox; default-src 'none'", 'X-Content-Type-Options': 'nosniff',
  'Cache-Control': 'no-store',
};
