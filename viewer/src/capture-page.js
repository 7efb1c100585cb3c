// The page that vimbrel-capture, the browser tests and the benchmarks
// drive: plays the movie named by ?movie= and keeps every "save" the movie
// sends, and every "records" it hands over while it collects, exactly as
// sent; or hands them to vimbrel-capture as they come, when it offers
// window.vimbrelHandOver, so that a long session is not held here.

const capture = { state: 'loading', error: null, dumps: [], pieces: [], ticks: [], marks: [], count: null,
                  wasmMemories: [] };
window.vimbrelCapture = capture;
// For movies that ask for the true time through ExternalInterface, or say
// when a frame runs (and, if they like, a count of their own, which a
// watcher outside the page hears when the movie saves, so as not to weigh
// on every frame: window.vimbrelWatch).
window.vimbrelNow = () => performance.now();
window.vimbrelTick = (count) => {
  capture.ticks.push(performance.now());
  if (count !== undefined) capture.count = count;
};
window.vimbrelMark = () => { capture.marks.push(performance.now()); };

// Ruffle's WebAssembly memory, which the benchmarks weigh: its instances'
// exported memories, as they are made.
for (const name of ['instantiate', 'instantiateStreaming']) {
  const original = WebAssembly[name];
  WebAssembly[name] = async (...args) => {
    const made = await original.apply(WebAssembly, args);
    const instance = made.instance ?? made;
    for (const value of Object.values(instance.exports ?? {})) {
      if (value instanceof WebAssembly.Memory) capture.wasmMemories.push(value);
    }
    return made;
  };
}
window.vimbrelWasmBytes = () => capture.wasmMemories.reduce((sum, memory) => sum + memory.buffer.byteLength, 0);

async function play(url) {
  if (!window.RufflePlayer) throw new Error('the Ruffle player is missing: run "npm ci" in viewer/');
  const player = window.RufflePlayer.newest().createPlayer();
  player.style.width = '100%';
  player.style.height = '100%';
  document.querySelector('#player').append(player);
  player.addEventListener('loadedmetadata', () => { capture.state = 'playing'; });
  const api = player.ruffle();
  // What the movie loads by a relative path is beside it, as on the
  // movie's own site; Ruffle resolves against the page unless told.
  await api.load({ url, base: new URL('.', new URL(url, location.href)).href, autoplay: 'on',
                   splashScreen: false, unmuteOverlay: 'hidden', openUrlMode: 'deny',
                   preferredRenderer: 'canvas', allowScriptAccess: true });
  api.addFSCommandHandler((command, args) => {
    if (command !== 'save' && command !== 'records') return false;
    const text = String(args);
    if (command === 'save') window.vimbrelWatch?.(capture.count);
    if (window.vimbrelHandOver) window.vimbrelHandOver(command, text);
    else (command === 'save' ? capture.dumps : capture.pieces).push(text);
    return true;
  });
}

play(new URLSearchParams(location.search).get('movie')).catch((error) => {
  capture.state = 'failed';
  capture.error = String(error?.message ?? error);
});
