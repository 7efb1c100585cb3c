// A folder of movies served read-only: what is inside it, and nothing else.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { mkdirSync, mkdtempSync, rmSync, symlinkSync, writeFileSync } from 'node:fs';
import { request } from 'node:http';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { serve } from '../../../src/server/http-server.js';
import { MovieFolder, PROBLEM_HEADER_BYTES } from '../../../src/server/movie-folder.js';
import { missingFileMessage } from '../../../src/node/file-messages.js';
import { minimalSwf } from '../../support/minimal-swf.js';

// GET `path` exactly as written, no normalising on our side.
// What the page's player asks for: the browser says it is the page's own.
function get(port, path) {
  return new Promise((done, fail) => {
    request({ host: '127.0.0.1', port, path, headers: { 'Sec-Fetch-Site': 'same-origin' } }, (response) => {
      const chunks = [];
      response.on('data', (chunk) => chunks.push(chunk));
      response.on('end', () => done({ status: response.statusCode, body: Buffer.concat(chunks).toString('latin1'),
                                      headers: response.headers }));
    }).on('error', fail).end();
  });
}

test('serves the files inside the folder only: no .., no link that leads out', async () => {
  const top = mkdtempSync(join(tmpdir(), 'vimbrel-folder-'));
  let server;
  try {
    const root = join(top, 'movies');
    mkdirSync(join(root, 'data'), { recursive: true });
    writeFileSync(join(root, 'data', 'items.xml'), '<items/>');
    writeFileSync(join(top, 'secret.txt'), 'secret');
    symlinkSync(join(top, 'secret.txt'), join(root, 'out.txt'));
    symlinkSync(join(root, 'data', 'items.xml'), join(root, 'in.xml'));
    server = await serve(0, '127.0.0.1', { movies: new MovieFolder({ root, work: join(top, 'work') }) });
    const port = server.address().port;

    let answer = await get(port, '/movies/data/items.xml');
    assert.deepEqual([answer.status, answer.body], [200, '<items/>']);
    answer = await get(port, '/movies/in.xml');
    assert.deepEqual([answer.status, answer.body], [200, '<items/>']);
    for (const path of ['/movies/../secret.txt', '/movies/%2e%2e/secret.txt', '/movies/..%2fsecret.txt',
                        '/movies/data/..%2F..%2Fsecret.txt', '/movies/out.txt', '/movies/..%5csecret.txt']) {
      answer = await get(port, path);
      assert.notEqual(answer.status, 200, path);
      assert.ok(!answer.body.includes('secret'), path);
    }
    assert.equal((await get(port, '/movies/out.txt')).status, 403);
    assert.equal((await get(port, '/movies/nothere.xml')).status, 404);

    // The folder itself lists its movies, links that open them, names escaped.
    writeFileSync(join(root, 'data', '<b>&.swf'), '');
    answer = await get(port, '/movies/');
    assert.equal(answer.status, 200);
    assert.match(answer.body, /<li><a href="\/\?movie=%2Fmovies%2Fdata%2F%253Cb%253E%2526\.swf">data\/&#60;b&#62;&#38;\.swf<\/a><\/li>/);
    assert.ok(!answer.body.includes('secret'));
  } finally {
    server?.close();
    rmSync(top, { recursive: true, force: true });
  }
});

test('a movie whose tracing fails is served as it is, its problem in a header of 2 KB at most',
     { skip: process.platform === 'win32' }, async () => {
  const top = mkdtempSync(join(tmpdir(), 'vimbrel-folder-'));
  let server;
  try {
    const root = join(top, 'movies');
    mkdirSync(root);
    const movie = minimalSwf({ version: 8 });
    writeFileSync(join(root, 'level.swf'), movie);
    // A flasm that says 300 KB and fails.
    const flasm = join(top, 'flasm');
    writeFileSync(flasm, '#!/bin/sh\nhead -c 300000 /dev/zero | tr "\\0" "x"\necho\nexit 1\n', { mode: 0o755 });
    // The work folder cannot be made at first: a file stands in its way.
    const work = join(top, 'work');
    writeFileSync(work, 'in the way');
    const events = [];
    const folder = new MovieFolder({ root, work, traceOptions: { flasm, vimbrel: flasm },
                                     onEvent: (event) => events.push(event) });
    server = await serve(0, '127.0.0.1', { movies: folder });
    const port = server.address().port;

    // Not a tool's failure: answered 500, and not for good.
    assert.equal((await get(port, '/movies/level.swf')).status, 500);
    rmSync(work);
    const answer = await get(port, '/movies/level.swf');
    assert.equal(answer.status, 200);
    assert.equal(answer.body, movie.toString('latin1'));
    assert.equal(answer.headers['x-vimbrel-traced'], 'failed');
    const header = answer.headers['x-vimbrel-problem'];
    assert.ok(header.length <= PROBLEM_HEADER_BYTES, `${header.length} bytes`);
    const problem = JSON.parse(decodeURIComponent(header));
    assert.equal(problem.step, 'disassembling with flasm');
    assert.match(problem.output, /^x+$/);
    // The whole of what flasm said is for the log.
    assert.equal(events.at(-1).error.output.length, 300000);
  } finally {
    server?.close();
    rmSync(top, { recursive: true, force: true });
  }
});

test('names in another case are found as Windows finds them, inside the folder only',
     { skip: process.platform !== 'linux' && 'needs a file system that tells case' }, async () => {
  const top = mkdtempSync(join(tmpdir(), 'vimbrel-folder-'));
  let server;
  try {
    const root = join(top, 'movies');
    mkdirSync(join(root, 'Inventory components'), { recursive: true });
    writeFileSync(join(root, 'Inventory components', 'itemcard.xml'), '<card/>');
    writeFileSync(join(root, 'dup.xml'), 'lower');
    writeFileSync(join(root, 'Dup.xml'), 'capital');
    writeFileSync(join(top, 'secret.txt'), 'secret');
    symlinkSync(join(top, 'secret.txt'), join(root, 'out.txt'));
    mkdirSync(join(top, 'elsewhere'));
    writeFileSync(join(top, 'elsewhere', 'x.txt'), 'secret');
    symlinkSync(join(top, 'elsewhere'), join(root, 'linked'));
    const events = [];
    server = await serve(0, '127.0.0.1', {
      movies: new MovieFolder({ root, work: join(top, 'work'), onEvent: (event) => events.push(event) }),
    });
    const port = server.address().port;

    let answer = await get(port, '/movies/inventory%20components/ItemCard.XML');
    assert.deepEqual([answer.status, answer.body], [200, '<card/>']);
    // Several in all but case: the exact one, else none.
    answer = await get(port, '/movies/Dup.xml');
    assert.deepEqual([answer.status, answer.body], [200, 'capital']);
    assert.equal((await get(port, '/movies/DUP.xml')).status, 404);
    assert.deepEqual(events, [{ kind: 'ambiguous', path: 'DUP.xml', names: ['Dup.xml', 'dup.xml'] }]);

    for (const path of ['/movies/../SECRET.txt', '/movies/%2e%2E/Secret.TXT', '/movies/OUT.txt',
                        '/movies/Out.Txt', '/movies/LINKED/x.txt', '/movies/Linked/X.TXT']) {
      answer = await get(port, path);
      assert.notEqual(answer.status, 200, path);
      assert.ok(!answer.body.includes('secret'), path);
    }
    assert.equal((await get(port, '/movies/OUT.txt')).status, 403);
    assert.equal((await get(port, '/movies/Linked/X.TXT')).status, 403);
  } finally {
    server?.close();
    rmSync(top, { recursive: true, force: true });
  }
});

test('a movie the folder lacks is answered with an empty movie, once said; other files with 404',
     async () => {
  const top = mkdtempSync(join(tmpdir(), 'vimbrel-folder-'));
  const servers = [];
  try {
    const root = join(top, 'interface');
    mkdirSync(root);
    // A traced movie is served as it is: no tool runs.
    writeFileSync(join(root, 'menu.swf'), Buffer.concat([minimalSwf({ version: 7 }), Buffer.from('_tracer_\0')]));
    for (const standIns of [true, false]) {
      const events = [];
      const folder = new MovieFolder({ root, work: join(top, 'work'), standIns, onEvent: (event) => events.push(event) });
      const server = await serve(0, '127.0.0.1', { movies: folder });
      servers.push(server);
      const port = server.address().port;
      assert.equal((await get(port, '/movies/menu.swf')).status, 200);
      for (let i = 0; i < 2; i++) {
        const answer = await get(port, '/movies/gfxfontlib.swf');
        if (standIns) {
          assert.equal(answer.status, 200);
          assert.equal(answer.headers['x-vimbrel-traced'], 'stand-in');
          // One empty frame, in the version of the movie that asked.
          assert.deepEqual([...Buffer.from(answer.body, 'latin1')],
                           [0x46, 0x57, 0x53, 7, 17, 0, 0, 0, 0, 0, 12, 1, 0, 0x40, 0, 0, 0]);
        } else {
          assert.equal(answer.status, 404);
        }
      }
      assert.equal((await get(port, '/movies/items.xml')).status, 404);
      // ../skyui_icons.swf from a movie of the folder: the browser asks above it.
      assert.equal((await get(port, '/skyui_icons.swf')).status, standIns ? 200 : 404);
      assert.equal((await get(port, '/favicon.ico')).status, 404);
      assert.deepEqual(events.map(missingFileMessage), [
        `gfxfontlib.swf is not in the folder: ${standIns ? 'an empty movie stood in for it (what it exports is missing)' : 'answered 404'}`,
        'items.xml is not in the folder: answered 404',
        `../skyui_icons.swf is above the folder served: ${standIns ? 'an empty movie stood in for it (what it exports is missing)' : 'answered 404'}; give --root ${top} to serve the folder above`,
      ]);
      assert.deepEqual(folder.missedFiles, events);
    }
  } finally {
    for (const server of servers) server.close();
    rmSync(top, { recursive: true, force: true });
  }
});
