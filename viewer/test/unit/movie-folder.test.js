// A folder of movies served read-only: what is inside it, and nothing else.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { mkdirSync, mkdtempSync, rmSync, symlinkSync, writeFileSync } from 'node:fs';
import { request } from 'node:http';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { serve } from '../../serve.js';
import { MovieFolder } from '../../src/movie-folder.js';

// GET `path` exactly as written, no normalising on our side.
function get(port, path) {
  return new Promise((done, fail) => {
    request({ host: '127.0.0.1', port, path }, (response) => {
      let body = '';
      response.on('data', (chunk) => { body += chunk; });
      response.on('end', () => done({ status: response.statusCode, body }));
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
    assert.deepEqual(answer, { status: 200, body: '<items/>' });
    answer = await get(port, '/movies/in.xml');
    assert.deepEqual(answer, { status: 200, body: '<items/>' });
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
