// The viewer's server traces the movies that its own pages send it, and
// only those; a tool that does not end is stopped, and the page is told
// which step failed; however the server is stopped, no tool outlives it.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawn, spawnSync } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { request } from 'node:http';
import { connect } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { UPLOAD_TYPE, serve } from '../../../src/server/http-server.js';
import { MovieFolder } from '../../../src/server/movie-folder.js';
import { LARGEST_MOVIE, TRACES_WAITING } from '../../../src/server/trace-upload.js';
import { TRACES_AT_ONCE, tracesUnderWay } from '../../../src/node/trace-movie.js';
import { STOP_SIGNALS } from '../../../src/node/lifetime.js';
import { minimalSwf } from '../../support/minimal-swf.js';

const SERVE = fileURLToPath(new URL('../../../serve.js', import.meta.url));
const POSIX = { skip: process.platform === 'win32' && 'the fake tools are shell scripts' };

// Process ids of the shell scripts at `path` still running (not of those
// that name them in their arguments).
function running(path) {
  try {
    return execFileSync('pgrep', ['-f', `^/bin/sh ${path}`], { encoding: 'utf8' }).trim();
  } catch {
    return '';
  }
}

function withFolder(body) {
  const folder = mkdtempSync(join(tmpdir(), 'vimbrel-upload-'));
  return Promise.resolve(body(folder)).finally(() => rmSync(folder, { recursive: true, force: true }));
}

// A request exactly as given, Host header included: fetch sets its own.
// The smallest movie, posted to the server's /trace.
function postMovie(server) {
  return fetch(`http://127.0.0.1:${server.address().port}/trace`, {
    method: 'POST', body: minimalSwf({ version: 8 }), headers: { 'Content-Type': UPLOAD_TYPE },
  });
}

function send(port, { method = 'GET', path = '/', headers = {}, body = null }) {
  return new Promise((done, fail) => {
    const outgoing = request({ host: '127.0.0.1', port, method, path, headers }, (response) => {
      response.resume();
      response.on('end', () => done(response.statusCode));
    });
    outgoing.on('error', fail);
    outgoing.end(body);
  });
}

test('a flasm that never ends is stopped at --tool-timeout, and the page hears which step failed',
     POSIX, () => withFolder(async (folder) => {
  const stuck = join(folder, 'flasm');
  writeFileSync(stuck, '#!/bin/sh\nwhile :; do :; done\n', { mode: 0o755 });
  const server = await serve(0, '127.0.0.1', { tools: { flasm: stuck, vimbrel: stuck, toolTimeout: 1 } });
  try {
    const started = Date.now();
    const response = await postMovie(server);
    assert.equal(response.status, 422);
    assert.deepEqual(await response.json(), {
      step: 'disassembling with flasm',
      message: 'flasm did not finish within 1 s (--tool-timeout) and was stopped',
      output: '',
    });
    assert.ok(Date.now() - started < 5000);
    assert.equal(running(stuck), '');
  } finally {
    server.close();
  }
}));

test('a flasm that leaves a child holding its pipes, outside its process group, is not waited for',
     POSIX, () => withFolder(async (folder) => {
  const stuck = join(folder, 'flasm');
  const left = join(folder, 'left');
  writeFileSync(stuck, `#!/bin/sh\nsetsid sleep 60 &\necho $! > '${left}'\nwhile :; do :; done\n`, { mode: 0o755 });
  const server = await serve(0, '127.0.0.1', { tools: { flasm: stuck, vimbrel: stuck, toolTimeout: 1 } });
  try {
    const started = Date.now();
    const response = await postMovie(server);
    assert.equal(response.status, 422);
    assert.equal((await response.json()).message, 'flasm did not finish within 1 s (--tool-timeout) and was stopped');
    assert.ok(Date.now() - started < 5000, `answered after ${Date.now() - started} ms`);
  } finally {
    server.close();
    try {
      process.kill(Number(readFileSync(left, 'utf8')), 'SIGKILL');
    } catch {
      // It was never started, or has ended.
    }
  }
}));

test('requests of other sites are refused and run no tool; our own page\'s are not',
     POSIX, () => withFolder(async (folder) => {
  // A flasm that leaves a mark when it runs, and fails.
  const mark = join(folder, 'flasm ran');
  const flasm = join(folder, 'flasm');
  writeFileSync(flasm, `#!/bin/sh\ntouch '${mark}'\nexit 1\n`, { mode: 0o755 });
  const movies = join(folder, 'movies');
  mkdirSync(movies);
  writeFileSync(join(movies, 'movie.swf'), minimalSwf({ version: 8 }));
  const tools = { flasm, vimbrel: flasm, toolTimeout: 5 };
  const server = await serve(0, '127.0.0.1', {
    tools,
    movies: new MovieFolder({ root: movies, work: join(folder, 'work'), traceOptions: tools }),
  });
  const port = server.address().port;
  const movie = minimalSwf({ version: 8 });
  const own = `127.0.0.1:${port}`;
  try {
    const refused = [
      [403, { method: 'POST', path: '/trace', body: movie,
              headers: { Host: `evil.example:${port}`, Origin: 'http://evil.example', 'Content-Type': 'text/plain' } }],
      [403, { method: 'POST', path: '/trace', body: movie,
              headers: { Host: own, Origin: 'http://evil.example', 'Content-Type': UPLOAD_TYPE } }],
      [403, { method: 'POST', path: '/trace', body: movie,
              headers: { Host: own, Origin: 'null', 'Content-Type': UPLOAD_TYPE } }],
      [415, { method: 'POST', path: '/trace', body: movie, headers: { Host: own, 'Content-Type': 'text/plain' } }],
      [415, { method: 'POST', path: '/trace', body: movie, headers: { Host: own } }],
      [403, { path: '/', headers: { Host: `evil.example:${port}` } }],
      [403, { path: '/movies/movie.swf', headers: { Host: `evil.example:${port}` } }],
      [403, { path: '/movies/movie.swf', headers: { Host: `127.0.0.1:${port + 1}` } }],
      [403, { path: '/movies/movie.swf', headers: { Host: own, Origin: 'http://evil.example' } }],
      // Browsers send no Origin on a cross-site GET, but say where it comes from.
      ...['cross-site', 'same-site'].flatMap((site) => [
        [403, { path: '/movies/movie.swf', headers: { Host: own, 'Sec-Fetch-Site': site, 'Sec-Fetch-Mode': 'no-cors' } }],
        [403, { method: 'POST', path: '/trace', body: movie,
                headers: { Host: own, 'Sec-Fetch-Site': site, 'Content-Type': UPLOAD_TYPE } }],
        [403, { path: '/x1.swf', headers: { Host: own, 'Sec-Fetch-Site': site } }],
        [403, { path: '/', headers: { Host: own, 'Sec-Fetch-Site': site, 'Sec-Fetch-Mode': 'navigate' } }],
      ]),
      // A path above the folder gets a stand-in only for our own page.
      [404, { path: '/x1.swf', headers: { Host: own } }],
      [404, { path: '/x1.swf', headers: { Host: own, 'Sec-Fetch-Site': 'none' } }],
      [404, { path: '/x1.swf', headers: { Host: own, Origin: 'http://evil.example' } }],
    ];
    for (const [status, what] of refused) {
      assert.equal(await send(port, what), status, JSON.stringify(what.headers));
    }
    assert.equal(existsSync(mark), false, 'no tool ran');

    // What our own pages send, by each name of the server, and what the
    // user opens by hand.
    for (const host of [own, `localhost:${port}`, `[::1]:${port}`]) {
      assert.equal(await send(port, { path: '/index.html', headers: { Host: host } }), 200, host);
    }
    assert.equal(await send(port, { path: '/', headers: { Host: own, 'Sec-Fetch-Site': 'none' } }), 200);
    assert.equal(await send(port, { path: '/x1.swf', headers: { Host: own, 'Sec-Fetch-Site': 'same-origin' } }), 200);
    assert.equal(await send(port, { path: '/movies/movie.swf', headers: { Host: own, 'Sec-Fetch-Site': 'none' } }), 200);
    assert.equal(existsSync(mark), true, 'flasm ran on the movie the user opened');
    rmSync(mark);
    assert.equal(await send(port, { method: 'POST', path: '/trace', body: movie,
                                    headers: { Host: own, Origin: `http://${own}`, 'Content-Type': UPLOAD_TYPE } }), 422);
    assert.equal(existsSync(mark), true, 'flasm ran on our own page\'s movie');
    assert.equal(await send(port, { path: '/movies/movie.swf', headers: { Host: `localhost:${port}` } }), 200);
  } finally {
    server.close();
  }
}));

// Starts `node serve.js` with `args`; resolves once it listens.
function startServer(args, env) {
  const child = spawn(process.execPath, [SERVE, ...args], { env: { ...process.env, PORT: '0', ...env } });
  let said = '';
  return new Promise((done, fail) => {
    child.stdout.on('data', (chunk) => {
      said += chunk;
      const address = /on (http:\/\/127\.0\.0\.1:\d+\/)/.exec(said);
      if (address) done({ child, address: address[1] });
    });
    child.on('exit', (status) => fail(new Error(`the server ended with ${status}: ${said}`)));
  });
}

async function until(condition, what) {
  for (let waited = 0; !condition(); waited += 50) {
    if (waited > 10000) throw new Error(`waited 10 s for ${what}`);
    await new Promise((done) => setTimeout(done, 50));
  }
}

for (const [signal, status] of Object.entries(STOP_SIGNALS)) {
  test(`${signal} ends the server with ${status}, its stuck tool and its work folder`, POSIX, () => withFolder(async (folder) => {
    const stuck = join(folder, 'flasm');
    writeFileSync(stuck, '#!/bin/sh\nwhile :; do :; done\n', { mode: 0o755 });
    const movies = join(folder, 'movies');
    mkdirSync(movies);
    writeFileSync(join(movies, 'movie.swf'), minimalSwf({ version: 8 }));
    const temporary = join(folder, 'tmp');
    mkdirSync(temporary);
    const { child, address } = await startServer(
      ['--movies', movies, '--flasm', stuck, '--vimbrel', stuck, '--tool-timeout', '600'], { TMPDIR: temporary });
    fetch(`${address}movies/movie.swf`).catch(() => {});
    await until(() => running(stuck) !== '', 'flasm to start');
    assert.notDeepEqual(readdirSync(temporary), []);
    const ended = new Promise((done) => child.on('exit', done));
    child.kill(signal);
    assert.equal(await ended, status);
    assert.equal(running(stuck), '', 'no tool is left');
    assert.deepEqual(readdirSync(temporary), [], 'no work folder is left');
  }));
}

test('--tool-timeout takes whole seconds from 1 to 86400', () => {
  for (const value of ['0', '86401', '1.5', 'Infinity', '-3', '1e3', '']) {
    const run = spawnSync(process.execPath, [SERVE, `--tool-timeout=${value}`], { encoding: 'utf8' });
    assert.equal(run.status, 2, value);
    assert.match(run.stderr, /^--tool-timeout takes whole seconds from 1 to 86400\nusage: npm start/, value);
  }
});

test('traces run two at a time and four wait; past them, and past 64 MB, the page hears why', POSIX, () => withFolder(async (folder) => {
  const stuck = join(folder, 'flasm');
  writeFileSync(stuck, '#!/bin/sh\nwhile :; do :; done\n', { mode: 0o755 });
  const server = await serve(0, '127.0.0.1', { tools: { flasm: stuck, vimbrel: stuck, toolTimeout: 1 } });
  const url = `http://127.0.0.1:${server.address().port}/trace`;
  const upload = (body) => fetch(url, { method: 'POST', body, duplex: 'half',
                                         headers: { 'Content-Type': UPLOAD_TYPE } });
  try {
    const first = Array.from({ length: TRACES_AT_ONCE + TRACES_WAITING }, () => upload(minimalSwf({ version: 8 })));
    await until(() => tracesUnderWay() === TRACES_AT_ONCE + TRACES_WAITING, 'the uploads to be taken');
    const refused = await upload(minimalSwf({ version: 8 }));
    assert.equal(refused.status, 503);
    assert.deepEqual(await refused.json(), { step: 'waiting for the server', output: '',
      message: 'the server is tracing 6 movies already: try again once they are done' });
    const most = { flasm: 0 };
    while (tracesUnderWay() > 0) {
      most.flasm = Math.max(most.flasm, running(stuck).split('\n').filter(Boolean).length);
      await new Promise((done) => setTimeout(done, 50));
    }
    assert.ok(most.flasm <= TRACES_AT_ONCE, `${most.flasm} flasm at once`);
    for (const response of await Promise.all(first)) assert.equal(response.status, 422);

    // Too large, said by its length or found as it comes: the answer, not a connection cut.
    const large = Buffer.alloc(LARGEST_MOVIE + 1);
    large.write('FWS\x08', 'latin1');
    const byLength = await upload(large);
    assert.equal(byLength.status, 413);
    assert.equal((await byLength.json()).message, 'the movie is larger than 64 MB, the most traced here');
    const streamed = await upload(new Blob([large]).stream()).catch((error) => error);
    assert.ok(!(streamed instanceof Error), `the streamed upload was answered: ${streamed.message}`);
    assert.equal(streamed.status, 413);

    // A movie that says it inflates past 256 MB runs no tool.
    const bomb = Buffer.from('CWS\x08\xff\xff\xff\xff\x78\x9c', 'latin1');
    const inflating = await upload(bomb);
    assert.equal(inflating.status, 422);
    assert.match((await inflating.json()).message, /^the movie says it inflates to 4096 MB/);
  } finally {
    server.close();
  }
}));

// The status line of the answer to `lines`, sent as they are.
function sendRaw(port, lines) {
  return new Promise((done, fail) => {
    const socket = connect(port, '127.0.0.1', () => socket.write(lines));
    let said = '';
    socket.on('data', (chunk) => { said += chunk; });
    socket.on('close', () => done(said.split('\r\n')[0]));
    socket.on('error', fail);
  });
}

test('no request ends the server: what it cannot read is answered 400; it serves the page\'s own files only', async () => {
  const server = await serve(0, '127.0.0.1', {});
  const port = server.address().port;
  const host = `Host: 127.0.0.1:${port}`;
  try {
    for (const [line, status] of [
      // What a page elsewhere makes with <img src="http://127.0.0.1:8080//[">.
      ['GET //[ HTTP/1.1', 'HTTP/1.1 404 Not Found'],
      ['GET http://[ HTTP/1.1', 'HTTP/1.1 400 Bad Request'],
      ['GET http://127.0.0.1/index.html HTTP/1.1', 'HTTP/1.1 400 Bad Request'],
      ['OPTIONS * HTTP/1.1', 'HTTP/1.1 400 Bad Request'],
      ['GET /%E0%A4%A HTTP/1.1', 'HTTP/1.1 400 Bad Request'],
      ['GET /trace?clock=%ZZ HTTP/1.1', 'HTTP/1.1 405 Method Not Allowed'],
      ['GET /\u0000 HTTP/1.1', 'HTTP/1.1 400 Bad Request'],
      ['NOT A REQUEST', 'HTTP/1.1 400 Bad Request'],
    ]) {
      assert.equal(await sendRaw(port, `${line}\r\n${host}\r\nConnection: close\r\n\r\n`), status, line);
    }
    // Of the viewer's folder, only the pages and what they load.
    for (const [path, status] of [
      ['/', 200], ['/index.html', 200], ['/player.html', 200], ['/style.css', 200], ['/src/page/app.js', 200],
      ['/src/model/records.js', 200], ['/src/worker/dump-worker.js', 200], ['/src/player/player-frame.js', 200],
      ['/node_modules/@ruffle-rs/ruffle/ruffle.js', 200], ['/speedscope/index.html', 200],
      ['/serve.js', 404], ['/package.json', 404], ['/src/node/tools.js', 404], ['/src/server/own-files.js', 404],
      ['/src/terminal/report.js', 404], ['/test/unit/trace.test.js', 404], ['/bench/dump-shape.js', 404],
      ['/node_modules/playwright-core/package.json', 404], ['/src/page/../node/tools.js', 404],
    ]) {
      assert.equal(await send(port, { path, headers: { Host: `127.0.0.1:${port}` } }), status, path);
    }
  } finally {
    server.close();
  }
});
