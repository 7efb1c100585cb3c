// The page the benchmark drives: plays ?movie=, gives the movie the true
// time through ExternalInterface, and keeps what it reports.

const bench = { state: 'loading', error: null, ticks: [], marks: [], saves: [] };
window.vimbrelBench = bench;
window.vimbrelNow = () => performance.now();
window.vimbrelTick = () => { bench.ticks.push(performance.now()); };
window.vimbrelMark = () => { bench.marks.push(performance.now()); };

async function play(url) {
  const player = window.RufflePlayer.newest().createPlayer();
  player.style.width = '100%';
  player.style.height = '100%';
  document.querySelector('#player').append(player);
  player.addEventListener('loadedmetadata', () => { bench.state = 'playing'; });
  const api = player.ruffle();
  await api.load({ url, autoplay: 'on', splashScreen: false, unmuteOverlay: 'hidden',
                   openUrlMode: 'deny', preferredRenderer: 'canvas', allowScriptAccess: true,
                   maxExecutionDuration: 60 });
  api.addFSCommandHandler((command, args) => {
    if (command !== 'save') return false;
    bench.saves.push(String(args));
    return true;
  });
  window.vimbrelPlayer = player;
}

play(new URLSearchParams(location.search).get('movie')).catch((error) => {
  bench.state = 'failed';
  bench.error = String(error?.message ?? error);
});
