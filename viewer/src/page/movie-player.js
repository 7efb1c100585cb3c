// The movie on the page: played by Ruffle in a box of its own, traced by
// the server first when it has no tracer, and what its tracer hands over
// caught, each movie into dumps of its own.

import { DumpView } from './dump-view.js';
import { tell } from './dump-worker-client.js';
import { MovieFrame } from './movie-frame.js';
import { fetchOwn, say, sayProblem } from './page-status.js';
import { frameRateOf, inflateLimit, movieSignature, tracerOf, tracerWatch } from '../model/swf.js';
import { recordedEvent } from '../model/input-format.js';

const playerBox = document.querySelector('#player');
const pane = document.querySelector('#movie-pane');
const toggle = document.querySelector('#toggle');
let player = null;
let movieCount = 0;
// The session of the movie playing.
let playing = null;

// The pane folds to a small movie, which goes on playing: a frame out of
// sight would be held back by the browser.
pane.querySelector('.movie-fold').addEventListener('click', (event) => {
  const small = pane.classList.toggle('small');
  event.target.textContent = small ? 'Larger' : 'Smaller';
  event.target.setAttribute('aria-expanded', String(!small));
});

// A movie hands its records over in pieces while it collects, when its
// tracer was made to, and the rest with its save. The pieces are its own:
// another movie loaded meanwhile starts a session of its own. Whether its
// tracer collects is followed from its start, each F12 and each save, and
// shown at all times.
class MovieSession {
  constructor(collectsFromStart, frameRate) {
    this.number = ++movieCount;
    // A frame's budget in ms, by the movie's frame rate.
    this.budget = frameRate > 0 ? 1000 / frameRate : undefined;
    // The input a person gives the movie, by frame since it began to play,
    // at its frame rate: what the capture plays again (--input).
    this.frameMs = this.budget ?? 1000 / 30;
    this.began = null;
    this.input = [];
    this.collecting = null;
    this.ended = false;
    this.active = collectsFromStart;
    this.records = 0;
    this.show();
  }

  show(sent = false) {
    const indicator = document.querySelector('#collecting');
    indicator.hidden = false;
    indicator.dataset.collecting = String(this.active);
    indicator.textContent = (this.active
      ? `Collecting${this.records ? `: ${this.records} records handed over so far` : ''}. F12 stops and sends the records.`
      : 'Not collecting. F12 starts.') + (sent ? ' (F12 sent to the movie.)' : '');
  }

  playing(time) {
    this.began ??= time;
  }

  // Input given to the movie, kept in the order it came, with its frame.
  given(raw, time) {
    const event = recordedEvent(raw);
    if (event && this.began !== null && !this.ended) {
      this.input.push({ frame: Math.max(0, Math.floor((time - this.began) / this.frameMs)), event });
    }
  }

  // The input so far, frame by frame.
  inputFrames() {
    const frames = [[]];
    for (const { frame, event } of this.input) {
      while (frames.length <= frame) frames.push([]);
      frames[frame].push(event);
    }
    return frames;
  }

  // F12 released over the player, by a key or by our button: the tracer
  // starts or stops.
  toggled(sent) {
    if (this.ended) return;
    this.active = !this.active;
    this.records = 0;
    this.show(sent);
  }

  handOver(command, text) {
    if (this.ended) return;
    const started = performance.now();
    if (command === 'records') {
      if (!this.collecting) {
        const view = new DumpView({ fromMovie: true, started, budget: this.budget, onCollecting: (records) => {
          // Read after the save came, it says nothing of now.
          if (this.collecting !== view || this.ended) return;
          this.active = true;
          this.records = records;
          this.show();
        } });
        this.collecting = view;
      }
      tell({ type: 'piece', dump: this.collecting.number, movie: this.number, text });
      return;
    }
    const dump = this.collecting ?? new DumpView({ fromMovie: true, started, budget: this.budget });
    this.collecting = null;
    this.active = false;
    this.records = 0;
    this.show();
    // What was played until this save, to be played again by the capture.
    dump.offerInput(this.inputFrames());
    tell({ type: 'save', dump: dump.number, movie: this.number, text, title: dump.title });
  }

  // The movie gives way to another: what it handed over is a dump of its
  // own, marked incomplete.
  end() {
    this.ended = true;
    if (!this.collecting) return;
    const dump = this.collecting;
    this.collecting = null;
    tell({ type: 'save', dump: dump.number, movie: this.number, text: '', incomplete: true, title: dump.title });
  }
}

// What vimbrel put into a movie's bytes, read here, so that a traced movie
// plays without the server.
async function tracerInBytes(buffer) {
  const bytes = new Uint8Array(buffer);
  const signature = movieSignature(bytes);
  if (!signature || signature === 'ZWS') return { traced: false, collectsFromStart: false };
  let body = bytes.subarray(8);
  if (signature === 'CWS') body = await inflated(bytes);
  return { ...tracerOf(body), frameRate: frameRateOf(body) };
}

// A compressed movie's bytes after its header, as far as its header says,
// no further than a bound, and no further than tells its tracer.
async function inflated(bytes) {
  let left = inflateLimit(bytes);
  const watch = tracerWatch();
  const pieces = [];
  const reader = new Blob([bytes.subarray(8)]).stream().pipeThrough(new DecompressionStream('deflate')).getReader();
  try {
    while (left > 0) {
      const { done, value } = await reader.read();
      if (done) break;
      const piece = value.subarray(0, left);
      pieces.push(piece);
      left -= piece.length;
      if (watch(piece)) break;
    }
  } catch {
    // A movie cut short: what inflated before the break is all we read.
  }
  reader.cancel().catch(() => {});
  // Without the tracer's name, only the header's frame rate is wanted.
  const kept = watch.seen ? pieces : pieces.slice(0, 4);
  return new Uint8Array(await new Blob(kept).arrayBuffer());
}

// A movie without a tracer, sent to the server, which traces a copy.
// Resolves to a URL of it, or to null when that failed.
async function tracedCopy(bytes, label) {
  say(`Tracing ${label}: the server looks for a tracer and, without one, adds it ` +
      '(flasm -d, vimbrel --clock=date --flush-every=50000 --frames --events --trace-output, flasm -a)...');
  let response;
  try {
    response = await fetch('trace?clock=date', {
      method: 'POST', body: bytes, headers: { 'Content-Type': 'application/x-shockwave-flash' },
    });
  } catch (error) {
    sayProblem(`Could not trace ${label}`, `The viewer's server does not answer: ${error.message}`);
    return null;
  }
  if (!response.ok) {
    const failed = await response.json().catch(() => ({ step: 'tracing', message: response.statusText }));
    sayProblem(`Could not trace ${label}: ${failed.step} failed`, failed.message, failed.output);
    return null;
  }
  const how = response.headers.get('X-Vimbrel-Traced');
  const blob = await response.blob();
  const { collectsFromStart, frameRate } = await tracerInBytes(await blob.arrayBuffer());
  return { url: URL.createObjectURL(blob), traced: how, collectsFromStart, frameRate };
}

// A movie the page opens by its URL plays from that URL, so that what it
// loads by relative paths is found beside it. A folder of movies that the
// server serves (npm start -- --movies DIR) traces it, and what it loads,
// on request.
async function movieFromUrl(url, label) {
  const response = await fetchOwn(url, label);
  if (!response) return null;
  const bytes = await response.arrayBuffer();
  const how = response.headers.get('X-Vimbrel-Traced');
  if (how === 'failed') {
    const failed = JSON.parse(decodeURIComponent(response.headers.get('X-Vimbrel-Problem') ?? '%7B%7D'));
    sayProblem(`Could not trace ${label}: ${failed.step} failed`, failed.message ?? '', failed.output);
    return null;
  }
  const tracer = await tracerInBytes(bytes);
  if (!tracer.traced) return tracedCopy(bytes, label);
  // What it loads by a relative path is beside it; Ruffle resolves
  // against the page unless told.
  const base = new URL('.', new URL(url, location.href)).href;
  return { url, base, traced: how === 'now' ? 'now' : 'already', collectsFromStart: tracer.collectsFromStart,
           frameRate: tracer.frameRate };
}

async function movieFromFile(file, label) {
  const bytes = await file.arrayBuffer();
  const tracer = await tracerInBytes(bytes);
  if (!tracer.traced) return tracedCopy(bytes, label);
  return { url: URL.createObjectURL(file), traced: 'already', collectsFromStart: tracer.collectsFromStart,
           frameRate: tracer.frameRate };
}

/** Plays `source` (a File or Blob, or a URL), traced first when it has no tracer. */
export async function loadMovie(source, label) {
  document.body.dataset.movie = 'loading';
  const movie = source instanceof Blob ? await movieFromFile(source, label)
    : await movieFromUrl(source, label);
  if (!movie) return;
  player?.remove();
  playing?.end();
  const session = new MovieSession(movie.collectsFromStart, movie.frameRate);
  playing = session;
  pane.hidden = false;
  pane.querySelector('.movie-name').textContent = label;
  document.querySelector('.welcome-movie').hidden = false;
  say(`Loading ${label}...`);
  let sent = false;
  player = new MovieFrame(playerBox, { url: movie.url, base: movie.base ?? null, on: {
    loaded: () => {
      toggle.hidden = false;
      document.body.dataset.movie = 'loaded';
      document.body.dataset.traced = movie.traced;
      say(`${label} is playing${movie.traced === 'now' ? ', traced by the server' : ''}. ` +
          (movie.collectsFromStart
            ? 'Its tracer collects from its start: click it, then press F12 to see the records.'
            : 'Click it, then press F12 to start collecting.'));
    },
    failed: (message) => sayProblem(`Could not play ${label}`, message),
    playing: (time) => session.playing(time),
    input: (raw, time) => session.given(raw, time),
    command: (command, text) => {
      console.log(`[fscommand] ${command}`);
      session.handOver(command, text);
    },
    // F12 released while the movie has the keyboard reaches its tracer.
    F12: () => {
      session.toggled(sent);
      sent = false;
    },
    trace: (line) => console.log(`[movie] ${line}`),
  } });
  toggle.onclick = () => {
    sent = true;
    player.pressF12();
  };
}
