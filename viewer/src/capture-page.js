// The page that vimbrel-capture, the browser tests and the benchmark drive:
// plays the movie named by ?movie= and keeps every "save" the movie sends,
// exactly as sent.

const capture = { state: 'loading', error: null, dumps: [], ticks: [], marks: [] };
window.vimbrelCapture = capture;
// For movies that ask for the true time through ExternalInterface.
window.vimbrelNow = () => performance.now();
window.vimbrelTick = () => { capture.ticks.push(performance.now()); };
window.vimbrelMark = () => { capture.marks.push(performance.now()); };

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
    if (command !== 'save') return false;
    capture.dumps.push(String(args));
    return true;
  });
}

play(new URLSearchParams(location.search).get('movie')).catch((error) => {
  capture.state = 'failed';
  capture.error = String(error?.message ?? error);
});
