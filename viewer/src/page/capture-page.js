// The page that vimbrel-capture, the browser tests and the benchmarks
// drive: plays the movie named by ?movie= in a box of its own and keeps
// every "save" the movie sends, and every "records" it hands over while it
// collects, exactly as sent; or hands them to vimbrel-capture as they
// come, when it offers window.vimbrelHandOver, so that a long session is
// not held here. The movie's frame is offered a clock (vimbrelNow) and a
// way to say when a frame runs (vimbrelTick, vimbrelMark): their ticks
// and marks are kept here, and a watcher outside the page hears the count
// a movie gives with its ticks when the movie saves (window.vimbrelWatch),
// so as not to weigh on every frame.

import { MovieFrame } from './movie-frame.js';

const capture = { state: 'loading', error: null, dumps: [], pieces: [], ticks: [], marks: [], count: null,
                  wasm: 0, traces: [] };
window.vimbrelCapture = capture;
// What Ruffle's WebAssembly memory held at the movie's last tick.
window.vimbrelWasmBytes = () => capture.wasm;

// The movie fills the page from its corner: the page's points are the frame's.
document.body.style.margin = '0';
const box = document.querySelector('#player');
box.style.width = '800px';
box.style.height = '600px';
const movie = new URL(new URLSearchParams(location.search).get('movie'), location.href);
// What the movie loads by a relative path is beside it, as on the movie's
// own site; Ruffle resolves against the page unless told.
const frame = new MovieFrame(box, { url: movie.href, base: new URL('.', movie).href, clock: true, on: {
  playing: () => { capture.state = 'playing'; },
  failed: (message) => {
    capture.state = 'failed';
    capture.error = message;
  },
  command: (command, text) => {
    if (command === 'save') window.vimbrelWatch?.(capture.count);
    if (window.vimbrelHandOver) window.vimbrelHandOver(command, text);
    else (command === 'save' ? capture.dumps : capture.pieces).push(text);
  },
  // What the movie prints with trace(), for vimbrel-capture's output.txt.
  trace: (line) => {
    if (window.vimbrelOutput) window.vimbrelOutput(line);
    else capture.traces.push(line);
  },
  tick: (time, count, wasm) => {
    capture.ticks.push(time);
    if (count !== undefined) capture.count = count;
    capture.wasm = wasm;
  },
  mark: (time) => capture.marks.push(time),
} });
frame.frame.style.width = '100%';
frame.frame.style.height = '100%';
frame.frame.style.border = '0';
