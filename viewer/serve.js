// Serves the viewer on 127.0.0.1 (port 8080, or PORT):
//   node serve.js [--movies DIR] [--no-stand-ins] [--flasm PATH] [--vimbrel PATH]
//                 [--tool-timeout SECONDS] [--no-frames] [--no-events] [--no-trace-output]
//                 [--only PATTERN]... [--skip PATTERN]...
// A movie without a tracer that the page opens is traced here (POST /trace);
// the movies of DIR are served at /movies/, each traced when first asked for.

import { stat } from 'node:fs/promises';
import { resolve } from 'node:path';
import { serve } from './src/server/http-server.js';
import { MOVIES_PATH, MovieFolder, moviePath } from './src/server/movie-folder.js';
import { serverEventMessage } from './src/node/file-messages.js';
import { printable } from './src/node/printable.js';
import { CommandLineError, readCommandLine } from './src/node/command-line.js';
import { temporaryFolder } from './src/node/temporary-folder.js';
import { endRunningTools } from './src/node/tools.js';
import { FLUSH_EVERY, TOOL_TIMEOUT } from './src/node/trace-movie.js';
import { TOOL_TIMEOUT_PROBLEM, onClosedOutput, onStopSignals, parseToolTimeout } from './src/node/lifetime.js';

// How many movies of the folder the start line names.
const STARTING_MOVIES = 10;

function usage(problem) {
  process.stderr.write(`${printable(problem)}\nusage: npm start -- [--movies DIR] [--no-stand-ins] [--flasm PATH] [--vimbrel PATH] ` +
                       '[--tool-timeout SECONDS] [--no-frames] [--no-events] [--no-trace-output] [--only PATTERN]... ' +
                       '[--skip PATTERN]...\n');
  process.exit(2);
}

const path = { value: 'a path' };
const pattern = { value: 'a pattern', multiple: true };
const OPTIONS = {
  '--movies': { value: 'a folder' }, '--no-stand-ins': {}, '--flasm': path, '--vimbrel': path,
  '--tool-timeout': { value: 'a number of seconds', read: (text) => parseToolTimeout(text) ?? undefined,
                      problem: () => TOOL_TIMEOUT_PROBLEM },
  '--no-frames': {}, '--no-events': {}, '--no-trace-output': {}, '--only': pattern, '--skip': pattern,
};

let values;
try {
  const { options, words } = readCommandLine(process.argv.slice(2), OPTIONS);
  if (words.length) usage(`unexpected word ${words[0]}: the server takes options only`);
  values = Object.fromEntries(Object.entries(options).map(([name, value]) => [name.slice(2), value]));
} catch (error) {
  if (!(error instanceof CommandLineError)) throw error;
  usage(error.message);
}
const toolTimeout = values['tool-timeout'] ?? TOOL_TIMEOUT;
// The page takes the records that tracers hand over as they collect, and
// shows frames, the code outside functions and what movies print.
const tools = { flasm: values.flasm, vimbrel: values.vimbrel, toolTimeout, flushEvery: FLUSH_EVERY,
                frames: !values['no-frames'], events: !values['no-events'], traceOutput: !values['no-trace-output'],
                only: values.only ?? [], skip: values.skip ?? [] };
let movies = null;

if (values.movies) {
  if (!(await stat(values.movies).catch(() => null))?.isDirectory()) {
    usage(`--movies names ${values.movies}, which is no folder`);
  }
  const work = temporaryFolder('vimbrel-viewer-movies-').path;
  movies = new MovieFolder({
    // As vimbrel-capture traces them: the trace begins with the first call.
    root: resolve(values.movies), work, traceOptions: { clock: 'date', collectFromStart: true, ...tools },
    standIns: !values['no-stand-ins'],
    onEvent: (event) => console.log(printable(serverEventMessage(event))),
  });
}
const server = await serve(Number(process.env.PORT ?? 8080), '127.0.0.1', { movies, tools });
// The exit handlers end the tools and remove the work folders.
const stop = (status) => {
  endRunningTools();
  server.close(() => process.exit(status));
  server.closeAllConnections();
  setTimeout(() => process.exit(status), 2000).unref();
};
onStopSignals(stop);
// A terminal that closed cannot take our log; we go on serving.
for (const stream of [process.stdout, process.stderr]) onClosedOutput(stream, () => {});
const address = `http://127.0.0.1:${server.address().port}/`;
console.log(`Vimbrel trace viewer on ${address}`);
if (movies) {
  // The first few to open at once; all of them at /movies/.
  const { movies: found, more } = await movies.movieList();
  console.log(`The movies of ${values.movies}, listed at ${address}${MOVIES_PATH.slice(1)}:`);
  for (const movie of found.slice(0, STARTING_MOVIES)) {
    console.log(`  ${address}?movie=${moviePath(movie)}`);
  }
  const others = found.length - STARTING_MOVIES;
  if (others > 0 || more) console.log(`  and ${more ? 'more than ' : ''}${Math.max(others, 0)} more`);
  if (found.length === 0) console.log('  none: the folder holds no .swf');
}
