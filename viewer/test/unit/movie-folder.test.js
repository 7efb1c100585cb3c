// A folder of movies served read-only: what is inside it, and nothing else.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { mkdirSync, mkdtempSync, rmSync, symlinkSync, writeFileSync } from 'node:fs';
import { request } from 'node:http';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { serve } from '../../serve.js';
import { MovieFolder, PROBLEM_HEADER_BYTES } from '../../src/movie-folder.js';
import { minimalSwf } from '../support/minimal-swf.js';

// GET `path` exactly as written, no normalising on our side.
function get(port, path) {
  return new Promise((done, fail) => {
    request({ host: '127.0.0.1', port, path }, (response) => {
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
    assert.equal((await get(port, '/movies/nothere.swf')).status, 404);
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
