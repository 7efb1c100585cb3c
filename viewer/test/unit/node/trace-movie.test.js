// Tracing a copy of a movie with flasm and vimbrel, without a browser.

import { after, test } from 'node:test';
import assert from 'node:assert/strict';
import { copyFileSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { createDeflate, deflateSync } from 'node:zlib';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { hasTracer, traceMovie, tracerInMovie } from '../../../src/node/trace-movie.js';
import { NO_FLASM } from '../../support/flasm.js';

const fixture = (name) => fileURLToPath(new URL(`../../fixtures/${name}`, import.meta.url));
test('tells traced movies from untraced ones, compressed or not', async () => {
  const traced = readFileSync(fixture('demo-traced.swf'));
  assert.equal(await hasTracer(traced), true);
  assert.equal(await hasTracer(readFileSync(fixture('demo.swf'))), false);
  // Compressed, a small movie inflates whole in one piece.
  const compressed = Buffer.concat([Buffer.from('CWS', 'latin1'), traced.subarray(3, 8), deflateSync(traced.subarray(8))]);
  assert.deepEqual(await tracerInMovie(compressed), await tracerInMovie(traced));
  assert.equal(await hasTracer(Buffer.from('FWS\x08\x20\x00\x00\x00_tracer_\x00', 'latin1')), true);
  assert.equal(await hasTracer(Buffer.from('not a movie _tracer_\x00', 'latin1')), false);
});

// A movie of one frame whose actions are `actions`, in a sprite when asked.
function movieOf(actions, inSprite) {
  const tag = (code, body) => {
    const header = Buffer.alloc(6);
    header.writeUInt16LE((code << 6) | 63);
    header.writeUInt32LE(body.length, 2);
    return Buffer.concat([header, body]);
  };
  let frame = tag(12, Buffer.concat([actions, Buffer.from([0])]));
  if (inSprite) frame = tag(39, Buffer.concat([Buffer.from([1, 0, 1, 0]), frame, Buffer.from([0x40, 0, 0, 0])]));
  // A frame rectangle of 5-bit values (2 bytes), the rate and the count.
  const body = Buffer.concat([Buffer.from([0x08, 0, 0, 12, 1, 0]), frame, Buffer.from([0x40, 0, 0, 0])]);
  const header = Buffer.from('FWS\x08\0\0\0\0', 'latin1');
  header.writeUInt32LE(8 + body.length, 4);
  return Buffer.concat([header, body]);
}

function push(...values) {
  const body = Buffer.concat(values.map((value) => (typeof value === 'string'
    ? Buffer.from(`\0${value}\0`, 'latin1')
    : Buffer.from(value))));
  const header = Buffer.from([0x96, 0, 0]);
  header.writeUInt16LE(body.length, 1);
  return Buffer.concat([header, body]);
}

test('tells a tracer made to collect from the start, its names pushed whole or from the pool', async () => {
  const GET_MEMBER = Buffer.from([0x4e]);
  const SET_MEMBER = Buffer.from([0x4f]);
  const setCollect = (value) => Buffer.concat([push('_tracer_'), GET_MEMBER, push('collect'),
                                               push([5, value]), SET_MEMBER]);
  assert.deepEqual(await tracerInMovie(movieOf(setCollect(1))), { traced: true, collectsFromStart: true });
  assert.deepEqual(await tracerInMovie(movieOf(setCollect(0))), { traced: true, collectsFromStart: false });
  assert.deepEqual(await tracerInMovie(movieOf(setCollect(1), true)), { traced: true, collectsFromStart: true });

  const pool = Buffer.from('\x88\0\0\x02\0_tracer_\0collect\0', 'latin1');
  pool.writeUInt16LE(pool.length - 3, 1);
  const fromPool = Buffer.concat([pool, push([8, 0]), GET_MEMBER, push([8, 1]), push([5, 1]), SET_MEMBER]);
  assert.deepEqual(await tracerInMovie(movieOf(fromPool)), { traced: true, collectsFromStart: true });
  // A movie's own `collect` set to true is not the tracer's.
  const own = Buffer.concat([push('_tracer_'), push('player'), GET_MEMBER, push('collect'), push([5, 1]),
                             SET_MEMBER]);
  assert.deepEqual(await tracerInMovie(movieOf(own)), { traced: true, collectsFromStart: false });
});

test('a movie whose path has spaces and letters beyond ASCII', { skip: NO_FLASM }, async () => {
  const folder = mkdtempSync(join(tmpdir(), 'vimbrel trace-'));
  try {
    const games = join(folder, 'mes jeux');
    mkdirSync(games);
    const movie = join(games, 'démo à jouer.swf');
    copyFileSync(fixture('demo.swf'), movie);
    const work = join(folder, 'work');
    mkdirSync(work);
    const steps = [];
    const traced = await traceMovie(movie, work, { onStep: (step) => steps.push(step) });
    assert.deepEqual(steps, ['reading the movie', 'disassembling with flasm',
                             'tracing with vimbrel --clock=date', 'assembling with flasm']);
    // flasm writes the name into its text: the copy gets one it can write.
    assert.equal(traced.movie, join(work, 'movie.swf'));
    assert.ok(readdirSync(work).includes('movie.tmp'), 'flasm leaves the .tmp alone');
    assert.equal(await hasTracer(readFileSync(traced.movie)), true);
    assert.deepEqual(readFileSync(movie), readFileSync(fixture('demo.swf')));
    assert.match(readFileSync(traced.fln, 'latin1'), /^movie 'movie\.swf'/);
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
});

// A compressed movie of `size` bytes after its header, all zeros but for
// the tracer's name at `tracerAt`, whose header says it is `declared`
// bytes long; deflated as it is made, never held whole.
async function compressedMovie({ size, tracerAt, declared }) {
  const deflate = createDeflate();
  const pieces = [];
  deflate.on('data', (piece) => pieces.push(piece));
  const piece = Buffer.alloc(1 << 20);
  for (let at = 0; at < size; at += piece.length) {
    const part = piece.subarray(0, Math.min(piece.length, size - at));
    if (tracerAt >= at && tracerAt < at + part.length) {
      const marked = Buffer.from(part);
      marked.write('_tracer_\0', tracerAt - at, 'latin1');
      deflate.write(marked);
    } else if (!deflate.write(part)) {
      await new Promise((done) => deflate.once('drain', done));
    }
  }
  await new Promise((done) => deflate.end(done));
  const header = Buffer.from('CWS\x08\0\0\0\0', 'latin1');
  header.writeUInt32LE(declared, 4);
  return Buffer.concat([header, ...pieces]);
}

test('a compressed movie is inflated no further than its header says, nor past 256 MB', async () => {
  const within = await compressedMovie({ size: 20 << 20, tracerAt: 5 << 20, declared: (10 << 20) + 8 });
  assert.equal(await hasTracer(within), true);
  // Past the length its header gives, the movie holds nothing more.
  const beyond = await compressedMovie({ size: 20 << 20, tracerAt: 15 << 20, declared: (10 << 20) + 8 });
  assert.equal(await hasTracer(beyond), false);
  // A header that says 4 GB is read to 256 MB.
  const bomb = await compressedMovie({ size: 300 << 20, tracerAt: 280 << 20, declared: 0xffffffff });
  assert.ok(bomb.length < 1 << 20, `${bomb.length} bytes`);
  assert.equal(await hasTracer(bomb), false);
  await assert.rejects(traceMovie(await writtenTo('bomb.swf', bomb), tmpdir()), {
    step: 'reading the movie', message: /says it inflates to 4096 MB: movies of more than 256 MB are not traced\.$/,
  });
});

// `bytes` in a file of a temporary folder: its path.
const written = [];
async function writtenTo(name, bytes) {
  const folder = mkdtempSync(join(tmpdir(), 'vimbrel-trace-movie-'));
  written.push(folder);
  const path = join(folder, name);
  writeFileSync(path, bytes);
  return path;
}
after(() => {
  for (const folder of written) rmSync(folder, { recursive: true, force: true });
});
