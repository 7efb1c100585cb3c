// Tracing a copy of a movie with flasm and vimbrel, without a browser.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { copyFileSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { hasTracer, traceMovie, tracerInMovie } from '../../src/trace-movie.js';
import { NO_FLASM } from '../support/flasm.js';

const fixture = (name) => fileURLToPath(new URL(`../fixtures/${name}`, import.meta.url));
test('tells traced movies from untraced ones, compressed or not', () => {
  assert.equal(hasTracer(readFileSync(fixture('demo-traced.swf'))), true);
  assert.equal(hasTracer(readFileSync(fixture('demo.swf'))), false);
  assert.equal(hasTracer(Buffer.from('FWS\x08\x20\x00\x00\x00_tracer_\x00', 'latin1')), true);
  assert.equal(hasTracer(Buffer.from('not a movie _tracer_\x00', 'latin1')), false);
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

test('tells a tracer made to collect from the start, its names pushed whole or from the pool', () => {
  const GET_MEMBER = Buffer.from([0x4e]);
  const SET_MEMBER = Buffer.from([0x4f]);
  const setCollect = (value) => Buffer.concat([push('_tracer_'), GET_MEMBER, push('collect'),
                                               push([5, value]), SET_MEMBER]);
  assert.deepEqual(tracerInMovie(movieOf(setCollect(1))), { traced: true, collectsFromStart: true });
  assert.deepEqual(tracerInMovie(movieOf(setCollect(0))), { traced: true, collectsFromStart: false });
  assert.deepEqual(tracerInMovie(movieOf(setCollect(1), true)), { traced: true, collectsFromStart: true });

  const pool = Buffer.from('\x88\0\0\x02\0_tracer_\0collect\0', 'latin1');
  pool.writeUInt16LE(pool.length - 3, 1);
  const fromPool = Buffer.concat([pool, push([8, 0]), GET_MEMBER, push([8, 1]), push([5, 1]), SET_MEMBER]);
  assert.deepEqual(tracerInMovie(movieOf(fromPool)), { traced: true, collectsFromStart: true });
  // A movie's own `collect` set to true is not the tracer's.
  const own = Buffer.concat([push('_tracer_'), push('player'), GET_MEMBER, push('collect'), push([5, 1]),
                             SET_MEMBER]);
  assert.deepEqual(tracerInMovie(movieOf(own)), { traced: true, collectsFromStart: false });
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
    assert.equal(hasTracer(readFileSync(traced.movie)), true);
    assert.deepEqual(readFileSync(movie), readFileSync(fixture('demo.swf')));
    assert.match(readFileSync(traced.fln, 'latin1'), /^movie 'movie\.swf'/);
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
});
