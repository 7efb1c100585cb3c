// The viewer's server traces the movies a page sends it: POST /trace with
// a movie's bytes. It works in a temporary folder of its own, removed when
// the server closes, and runs its tools on the uploaded bytes only.

import { mkdir, mkdtemp, readFile, rm, writeFile } from 'node:fs/promises';
import { join } from 'node:path';
import { CLOCKS, TRACES_AT_ONCE, hasTracer, movieSignature, refuseUntraceable, traceMovie } from '../node/trace-movie.js';
import { StepError } from '../node/tools.js';
import { temporaryFolder } from '../node/temporary-folder.js';

/** The largest movie a page may send. */
export const LARGEST_MOVIE = 64 * 1024 * 1024;

/** How many movies may wait for their turn to be traced; past them a page is told to try again. */
export const TRACES_WAITING = 4;

// A problem answered with an HTTP status other than 422.
class RequestProblem extends StepError {
  constructor(status, step, message) {
    super(step, message);
    this.status = status;
  }
}

const tooLarge = () => new RequestProblem(413, 'reading the movie',
                                          `the movie is larger than ${LARGEST_MOVIE >> 20} MB, the most traced here`);

// The body, up to LARGEST_MOVIE: past it, the rest is read and let go, so
// that the page hears why rather than a connection cut.
function readBody(request) {
  return new Promise((done, fail) => {
    const chunks = [];
    let size = 0;
    request.on('data', (chunk) => {
      size += chunk.length;
      if (size <= LARGEST_MOVIE) chunks.push(chunk);
      else if (chunks.length) {
        chunks.length = 0;
        fail(tooLarge());
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
 * step that failed as JSON (413 for a movie too large, 503 while too many
 * wait their turn). `tools` are traceMovie's options: flasm and
 * vimbrel, the tools' time limit, --only and --skip.
 */
export function traceUploads(server, tools = {}) {
  // Made when the first movie is traced; removed when the server closes.
  let root = null;
  server.on('close', () => {
    root?.remove();
    root = null;
  });

  // The uploads being read, waiting their turn or traced.
  let underWay = 0;
  return async (request, response, query) => {
    const clock = query.get('clock') ?? 'date';
    let folder = null;
    let counted = false;
    try {
      if (!CLOCKS.includes(clock)) throw new StepError('tracing the movie', `there is no clock ${clock}`);
      if (Number(request.headers['content-length']) > LARGEST_MOVIE) throw tooLarge();
      if (underWay >= TRACES_AT_ONCE + TRACES_WAITING) {
        throw new RequestProblem(503, 'waiting for the server', `the server is tracing ${underWay} ` +
                                 'movies already: try again once they are done');
      }
      underWay += 1;
      counted = true;
      const bytes = await readBody(request);
      if (!movieSignature(bytes)) throw new StepError('reading the movie', 'what was sent is not a SWF movie');
      refuseUntraceable(bytes, 'the movie');
      if (await hasTracer(bytes)) {
        response.writeHead(200, { 'Content-Type': 'application/x-shockwave-flash', 'X-Vimbrel-Traced': 'already' });
        response.end(bytes);
        return;
      }
      root ??= temporaryFolder('vimbrel-viewer-');
      folder = await mkdtemp(join(root.path, 'movie-'));
      await mkdir(join(folder, 'traced'));
      await writeFile(join(folder, 'movie.swf'), bytes);
      const traced = await traceMovie(join(folder, 'movie.swf'), join(folder, 'traced'),
                                      { ...tools, clock, label: 'the movie' });
      response.writeHead(200, { 'Content-Type': 'application/x-shockwave-flash', 'X-Vimbrel-Traced': 'now' });
      response.end(await readFile(traced.movie));
    } catch (error) {
      if (!(error instanceof StepError)) throw error;
      // What was not read is let go as it comes.
      request.resume();
      answerProblem(response, error.status ?? 422, error);
    } finally {
      if (counted) underWay -= 1;
      if (folder) await rm(folder, { recursive: true, force: true });
    }
  };
}
