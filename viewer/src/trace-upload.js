// The viewer's server traces the movies a page sends it: POST /trace with
// a movie's bytes. It works in a temporary folder of its own, removed when
// the server closes, and runs its tools on the uploaded bytes only.

import { mkdtempSync, rmSync } from 'node:fs';
import { mkdir, mkdtemp, readFile, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { CLOCKS, hasTracer, movieSignature, traceMovie } from './trace-movie.js';
import { StepError } from './tools.js';

const LARGEST_MOVIE = 64 * 1024 * 1024;

function readBody(request) {
  return new Promise((done, fail) => {
    const chunks = [];
    let size = 0;
    request.on('data', (chunk) => {
      size += chunk.length;
      if (size > LARGEST_MOVIE) {
        fail(new StepError('reading the movie', `the movie is larger than ${LARGEST_MOVIE >> 20} MB`));
        request.destroy();
      } else {
        chunks.push(chunk);
      }
    });
    request.on('end', () => done(Buffer.concat(chunks)));
    request.on('error', fail);
  });
}

function answerProblem(response, status, error) {
  response.writeHead(status, { 'Content-Type': 'application/json; charset=utf-8' });
  response.end(JSON.stringify({ step: error.step ?? 'tracing the movie', message: error.message,
                                output: error.output ?? '' }));
}

/**
 * A request handler for POST /trace?clock=CLOCK (date by default). Answers
 * with the movie to play: as sent when it has a tracer (X-Vimbrel-Traced:
 * already), else traced here (X-Vimbrel-Traced: now); or with 422 and the
 * step that failed as JSON. `tools` are traceMovie's options: flasm and
 * vimbrel, the tools' time limit, --only and --skip.
 */
export function traceUploads(server, tools = {}) {
  let root = null;
  const removeRoot = () => {
    if (root) rmSync(root, { recursive: true, force: true });
    root = null;
  };
  process.on('exit', removeRoot);
  server.on('close', () => {
    removeRoot();
    process.off('exit', removeRoot);
  });

  return async (request, response, query) => {
    const clock = query.get('clock') ?? 'date';
    let folder = null;
    try {
      if (!CLOCKS.includes(clock)) throw new StepError('tracing the movie', `there is no clock ${clock}`);
      const bytes = await readBody(request);
      if (!movieSignature(bytes)) throw new StepError('reading the movie', 'what was sent is not a SWF movie');
      if (hasTracer(bytes)) {
        response.writeHead(200, { 'Content-Type': 'application/x-shockwave-flash', 'X-Vimbrel-Traced': 'already' });
        response.end(bytes);
        return;
      }
      root ??= mkdtempSync(join(tmpdir(), 'vimbrel-viewer-'));
      folder = await mkdtemp(join(root, 'movie-'));
      await mkdir(join(folder, 'traced'));
      await writeFile(join(folder, 'movie.swf'), bytes);
      const traced = await traceMovie(join(folder, 'movie.swf'), join(folder, 'traced'),
                                      { ...tools, clock, label: 'the movie' });
      response.writeHead(200, { 'Content-Type': 'application/x-shockwave-flash', 'X-Vimbrel-Traced': 'now' });
      response.end(await readFile(traced.movie));
    } catch (error) {
      if (!(error instanceof StepError)) throw error;
      answerProblem(response, 422, error);
    } finally {
      if (folder) await rm(folder, { recursive: true, force: true });
    }
  };
}
