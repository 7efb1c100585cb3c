// Runs in the movie's box (player.html), a frame sandboxed to an origin of
// its own, before Ruffle: the movie's scripts (getURL 'javascript:',
// ExternalInterface) run here, and reach neither the viewer's page nor any
// site. The page that holds the frame gives it one port; through it go
// the movie's FSCommands, F12, what Ruffle fetches (the page fetches it,
// from its own origin only), the input a person gives the movie, what it
// prints with trace() and, for the capture, a clock and its ticks.
//
// A plain script, not a module: a sandboxed frame loads modules as another
// site's. What it calls is taken now, before the movie can change it.

(() => {
  const post = MessagePort.prototype.postMessage;
  const apply = Reflect.apply;
  const toText = String;
  const defineProperty = Object.defineProperty;
  const ResponseOf = Response;
  const RequestOf = Request;
  const now = performance.now.bind(performance);
  const timeOrigin = performance.timeOrigin;
  const home = new URL(location.href).origin;
  const memories = [];
  let port = null;

  const tell = (message, transfer = []) => apply(post, port, [message, transfer]);

  // What Ruffle fetches is fetched by the page. Until the port comes, there
  // is nothing to fetch with.
  const answers = new Map();
  let asked = 0;
  window.fetch = (input, init) => new Promise((done, fail) => {
    if (!port) {
      fail(new TypeError('nothing is fetched before the movie is given'));
      return;
    }
    const request = new RequestOf(input, init);
    const id = ++asked;
    answers.set(id, { done, fail, url: request.url });
    tell({ type: 'fetch', id, url: request.url, method: request.method });
  });

  function fetched({ id, error, status, statusText, headers, body }) {
    const answer = answers.get(id);
    if (!answer) return;
    answers.delete(id);
    if (error !== undefined) {
      answer.fail(new TypeError(toText(error)));
      return;
    }
    const response = new ResponseOf(body, { status, statusText, headers });
    // Ruffle takes a movie's own URL from its response.
    defineProperty(response, 'url', { value: answer.url });
    answer.done(response);
  }

  // Ruffle's WebAssembly memory, which the capture's benchmarks weigh.
  for (const name of ['instantiate', 'instantiateStreaming']) {
    const original = WebAssembly[name];
    WebAssembly[name] = async (...args) => {
      const made = await apply(original, WebAssembly, args);
      const instance = made.instance ?? made;
      for (const value of Object.values(instance.exports ?? {})) {
        if (value instanceof WebAssembly.Memory) memories.push(value);
      }
      return made;
    };
  }
  const wasmBytes = () => memories.reduce((sum, memory) => sum + memory.buffer.byteLength, 0);

  // For the capture's test movies, which ask through ExternalInterface for
  // the time, and say when a frame runs.
  function offerClock() {
    window.vimbrelNow = () => now();
    window.vimbrelTick = (count) => tell({ type: 'tick', at: timeOrigin + now(), count, wasm: wasmBytes() });
    window.vimbrelMark = () => tell({ type: 'mark', at: timeOrigin + now() });
  }

  // What a person gives the movie, for the page to keep as input the
  // capture can play again: positions in the movie's own pixels.
  function watchInput(player) {
    const stagePoint = (event) => {
      const box = player.getBoundingClientRect();
      const { width, height } = player.ruffle().metadata ?? {};
      if (!width || !height) return null;
      const scale = Math.min(box.width / width, box.height / height);
      const x = (event.clientX - box.left - (box.width - width * scale) / 2) / scale;
      const y = (event.clientY - box.top - (box.height - height * scale) / 2) / scale;
      return [Math.round(x * 100) / 100, Math.round(y * 100) / 100];
    };
    const told = (event) => tell({ type: 'input', at: timeOrigin + now(), event });
    const button = (event) => ['Left', 'Middle', 'Right'][event.button] ?? 'Left';
    const pointer = (type) => (event) => {
      const pos = stagePoint(event);
      if (pos) told({ type, pos, ...(type === 'MouseMove' ? {} : { btn: button(event) }) });
    };
    player.addEventListener('pointermove', pointer('MouseMove'), true);
    player.addEventListener('pointerdown', pointer('MouseDown'), true);
    player.addEventListener('pointerup', pointer('MouseUp'), true);
    player.addEventListener('wheel', (event) => told({ type: 'MouseWheel', pixels: -event.deltaY }), true);
    for (const [name, type] of [['keydown', 'KeyDown'], ['keyup', 'KeyUp']]) {
      document.addEventListener(name, (event) => {
        // F12 is the tracer's, not the movie's.
        if (event.code !== 'F12' && event.keyCode !== 123) told({ type, key: event.key, code: event.code });
      }, true);
    }
    player.addEventListener('focus', () => told({ type: 'FocusGained' }), true);
    player.addEventListener('blur', () => told({ type: 'FocusLost' }), true);
  }

  function pressF12(player) {
    player.focus();
    for (const type of ['keydown', 'keyup']) {
      player.dispatchEvent(new KeyboardEvent(type, { key: 'F12', code: 'F12', keyCode: 123, which: 123, bubbles: true }));
    }
  }

  async function play({ url, base, clock }) {
    if (!window.RufflePlayer) {
      tell({ type: 'failed', message: 'the Ruffle player is missing: run "npm ci" in viewer/' });
      return;
    }
    if (clock) offerClock();
    for (const element of [document.documentElement, document.body]) {
      element.style.margin = '0';
      element.style.height = '100%';
      element.style.overflow = 'hidden';
    }
    const player = window.RufflePlayer.newest().createPlayer();
    player.style.width = '100%';
    player.style.height = '100%';
    player.style.display = 'block';
    document.body.append(player);
    player.addEventListener('loadedmetadata', () => tell({ type: 'playing', at: timeOrigin + now() }));
    watchInput(player);
    document.addEventListener('keyup', (event) => {
      if (event.code === 'F12' || event.keyCode === 123) tell({ type: 'F12' });
    }, true);
    port.onmessage = ({ data }) => {
      if (data.type === 'fetched') fetched(data);
      else if (data.type === 'press F12') pressF12(player);
    };
    const api = player.ruffle();
    try {
      await api.load({ url, base, autoplay: 'on', splashScreen: false, unmuteOverlay: 'hidden',
                       openUrlMode: 'deny', preferredRenderer: 'canvas', allowScriptAccess: true });
    } catch (error) {
      tell({ type: 'failed', message: toText(error?.message ?? error) });
      return;
    }
    api.traceObserver = (line) => tell({ type: 'trace', line: toText(line) });
    api.addFSCommandHandler((command, args) => {
      if (command !== 'save' && command !== 'records') return false;
      tell({ type: 'command', command, text: toText(args) });
      return true;
    });
    tell({ type: 'loaded' });
  }

  // The page's one message, with the port: only from the page that holds
  // the frame, and only once.
  addEventListener('message', (event) => {
    if (port || event.source !== parent || event.origin !== home || !event.ports[0]) return;
    [port] = event.ports;
    play(event.data);
  });
  addEventListener('DOMContentLoaded', () => parent.postMessage({ type: 'vimbrel player ready' }, '*'));
})();
