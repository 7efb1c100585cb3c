// The page's side of the worker that reads dumps: what it says of a dump
// goes to that dump's view; a request is answered by its own number, so
// that two alike never take each other's answer.

const worker = new Worker(new URL('../worker/dump-worker.js', import.meta.url), { type: 'module' });
// The views of the dumps, by number, and the requests not answered yet.
const views = new Map();
const pending = new Map();
let requests = 0;

worker.onmessage = ({ data }) => {
  if (data.type === 'answer') {
    const { done, failed } = pending.get(data.request);
    pending.delete(data.request);
    if (data.error) failed(new Error(data.error));
    else done(data);
    return;
  }
  views.get(data.dump)?.[data.type]?.(data);
};

/** Sends `view` what the worker says of dump number `dump`. */
export function listen(dump, view) {
  views.set(dump, view);
}

/** Hands the worker a dump's text: a file to open, or a movie's piece or save. */
export function tell(message) {
  worker.postMessage(message);
}

/** Asks what dump number `dump` holds: resolves to the answer, rejects with why it cannot be had. */
export function request(dump, what, details) {
  const number = ++requests;
  return new Promise((done, failed) => {
    pending.set(number, { done, failed });
    worker.postMessage({ type: 'request', request: number, dump, what, ...details });
  });
}
