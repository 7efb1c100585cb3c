// Tracing a copy of a movie with flasm and vimbrel, without a browser.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { copyFileSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { hasTracer, traceMovie } from '../../src/trace-movie.js';
import { NO_FLASM } from '../support/flasm.js';

const fixture = (name) => fileURLToPath(new URL(`../fixtures/${name}`, import.meta.url));
test('tells traced movies from untraced ones, compressed or not', () => {
  assert.equal(hasTracer(readFileSync(fixture('demo-traced.swf'))), true);
  assert.equal(hasTracer(readFileSync(fixture('demo.swf'))), false);
  assert.equal(hasTracer(Buffer.from('FWS\x08\x20\x00\x00\x00_tracer_\x00', 'latin1')), true);
  assert.equal(hasTracer(Buffer.from('not a movie _tracer_\x00', 'latin1')), false);
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
