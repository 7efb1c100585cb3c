// The movie in a box of its own, for the viewer's page and the capture's:
// Ruffle plays it in player.html, in a frame sandboxed to an origin of its
// own, so that what the movie's scripts do (getURL 'javascript:',
// ExternalInterface) acts neither as the viewer nor on another site. The
// frame and this page speak through one port, given to the frame once:
// what comes from elsewhere, and what does not say what it is, is not
// heard. What the movie loads, this page fetches for it, from its own
// origin only, and never the list of a folder or the tracing of movies.

const PLAYER_PAGE = new URL('../../player.html', import.meta.url).href;

// What the movie may be given that it asks for.
const FETCHED_METHODS = ['GET', 'HEAD'];

/**
 * Why `url` (asked for with `method` by the movie `movie`) is not fetched
 * for it, or null. Its own URL, else only this origin's files.
 */
export function refusedFetch(url, method, movie) {
  let target;
  try {
    target = new URL(url);
  } catch {
    return `${url} is no URL`;
  }
  if (!FETCHED_METHODS.includes(method)) return `${method} ${url} sends, and a movie here only reads`;
  if (target.href === movie) return null;
  if (!['http:', 'https:'].includes(target.protocol) || target.origin !== location.origin) {
    return `${url} is not on the viewer's own site`;
  }
  if (target.pathname.endsWith('/') || target.pathname === '/trace') return `${url} is not a file of the movie's`;
  return null;
}

/**
 * Plays `url` (base: where what it loads by a relative path is) in a frame
 * put into `container`. `on` hears what comes from the movie:
 *   playing(time)          it began to play
 *   loaded()               Ruffle took it
 *   failed(message)        Ruffle could not play it
 *   command(command, text) an FSCommand "save" or "records"
 *   F12()                  F12 released over it
 *   trace(line)            a line of its trace()
 *   input(event, time)     input a person gave it, as input-format.js
 *                          writes it (keys as the browser names them)
 *   tick(time, count, wasm), mark(time)  its calls of vimbrelTick and
 *                          vimbrelMark (with `clock`: the capture's test
 *                          movies), time in this page's performance.now()
 */
export class MovieFrame {
  constructor(container, { url, base = null, clock = false, on = {} }) {
    this.movie = new URL(url, location.href).href;
    this.on = on;
    this.port = null;
    this.frame = document.createElement('iframe');
    this.frame.sandbox = 'allow-scripts';
    this.frame.className = 'movie-frame';
    this.frame.title = 'The movie';
    this.frame.src = PLAYER_PAGE;
    this.listener = (event) => {
      if (this.port || event.source !== this.frame.contentWindow || event.data?.type !== 'vimbrel player ready') return;
      const channel = new MessageChannel();
      this.port = channel.port1;
      this.port.onmessage = ({ data }) => this.heard(data);
      this.frame.contentWindow.postMessage({ url: this.movie, base: base && new URL(base, location.href).href, clock },
                                           '*', [channel.port2]);
      removeEventListener('message', this.listener);
    };
    addEventListener('message', this.listener);
    container.replaceChildren(this.frame);
  }

  /** Releases F12 over the movie, as a key the browser keeps for itself cannot. */
  pressF12() {
    this.port?.postMessage({ type: 'press F12' });
  }

  /** Gives the frame the keyboard. */
  focus() {
    this.frame.focus();
  }

  /** Ends the movie. */
  remove() {
    removeEventListener('message', this.listener);
    this.port?.close();
    this.port = null;
    this.frame.remove();
  }

  // A message of the frame: only what it may say, each as what it says.
  heard(data) {
    const { on } = this;
    const text = (value) => typeof value === 'string';
    const number = (value) => typeof value === 'number' && Number.isFinite(value);
    switch (data?.type) {
      case 'fetch':
        if (Number.isInteger(data.id) && text(data.url) && text(data.method)) this.fetchFor(data);
        break;
      case 'command':
        if ((data.command === 'save' || data.command === 'records') && text(data.text)) on.command?.(data.command, data.text);
        break;
      case 'playing': on.playing?.(number(data.at) ? data.at - performance.timeOrigin : performance.now()); break;
      case 'input':
        if (number(data.at) && data.event && typeof data.event === 'object') {
          on.input?.(data.event, data.at - performance.timeOrigin);
        }
        break;
      case 'loaded': on.loaded?.(); break;
      case 'F12': on.F12?.(); break;
      case 'failed': if (text(data.message)) on.failed?.(data.message); break;
      case 'trace': if (text(data.line)) on.trace?.(data.line); break;
      case 'tick':
        if (number(data.at)) on.tick?.(data.at - performance.timeOrigin, number(data.count) ? data.count : undefined,
                                       number(data.wasm) ? data.wasm : 0);
        break;
      case 'mark': if (number(data.at)) on.mark?.(data.at - performance.timeOrigin); break;
      default: break;
    }
  }

  async fetchFor({ id, url, method }) {
    const answer = (message, transfer = []) => this.port?.postMessage({ type: 'fetched', id, ...message }, transfer);
    const refused = refusedFetch(url, method, this.movie);
    if (refused) {
      console.warn(`[movie] not fetched: ${refused}`);
      answer({ error: `not fetched: ${refused}` });
      return;
    }
    try {
      const response = await fetch(url, { method, redirect: 'error', credentials: 'omit' });
      const body = await response.arrayBuffer();
      answer({ status: response.status, statusText: response.statusText, headers: [...response.headers], body }, [body]);
    } catch (error) {
      answer({ error: String(error?.message ?? error) });
    }
  }
}
