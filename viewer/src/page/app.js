// The page: a movie or a dump chosen, dropped or named in the address, and
// where each goes. The movie plays in movie-player.js; each dump is read by
// the worker and shown by dump-view.js, in the tabs of dump-tabs.js.

import { DumpView } from './dump-view.js';
import { tell } from './dump-worker-client.js';
import { loadMovie } from './movie-player.js';
import { fetchOwn, say } from './page-status.js';
import { readViewLink } from './view-link.js';
import { movieSignature } from '../model/swf.js';

/** Shows the dump in `file` (a File or a Blob), read by the worker as it comes; `link` the view to show. */
function openDump(file, title, started, link = null) {
  const dump = new DumpView({ fromMovie: false, title, started, link });
  say(`Reading ${title}...`);
  tell({ type: 'open', dump: dump.number, file, title });
}

// A file chosen or dropped: a movie, or a dump (records joined by commas).
async function openFile(file) {
  const started = performance.now();
  const head = new Uint8Array(await file.slice(0, 8).arrayBuffer());
  if (movieSignature(head) || /\.swf$/i.test(file.name)) loadMovie(file, file.name);
  else openDump(file, file.name, started);
}

document.querySelector('#file').addEventListener('change', (event) => {
  const [file] = event.target.files;
  if (file) openFile(file);
  event.target.value = '';
});

// A file dropped anywhere on the page.
const drop = document.querySelector('#drop');
addEventListener('dragover', (event) => {
  event.preventDefault();
  drop.classList.add('over');
});
addEventListener('dragleave', () => drop.classList.remove('over'));
addEventListener('drop', (event) => {
  event.preventDefault();
  drop.classList.remove('over');
  const [file] = event.dataTransfer.files;
  if (file) openFile(file);
});

async function openDumpUrl(url) {
  const started = performance.now();
  const response = await fetchOwn(url, url);
  if (response) openDump(await response.blob(), url, started, readViewLink());
}

const query = new URLSearchParams(location.search);
if (query.get('movie')) loadMovie(query.get('movie'), query.get('movie'));
if (query.get('dump')) openDumpUrl(query.get('dump'));
