// A dump's exports: the dump as text, Chrome Trace Event JSON,
// speedscope's own format and collapsed stacks, made by the worker from
// its tables; and the
// dump opened in speedscope, when the server serves it.

import { request } from './dump-worker-client.js';

// A blob handed to another tab or a download is let go after this long.
const BLOB_MS = 60000;

/** Downloads `blob` as `filename`. */
export function download(filename, blob) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = filename;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), BLOB_MS);
}

// speedscope, when the server serves it: each dump opens there too.
const speedscope = fetch('speedscope/index.html', { method: 'HEAD' })
  .then((response) => response.ok).catch(() => false);

/**
 * Offers the exports of dump number `number`, named `title`, from the
 * buttons of `view`; what keeps one from being made is said in its
 * `.export-problem`.
 */
export function offerExports(view, number, title) {
  const said = view.querySelector('.export-problem');
  const exported = async (format) => {
    said.hidden = true;
    try {
      return (await request(number, 'export', { format })).blob;
    } catch (error) {
      said.textContent = `No ${format} export: ${error.message}.`;
      said.hidden = false;
      return null;
    }
  };
  const offer = (selector, format, filename) => view.querySelector(selector).addEventListener('click', async () => {
    const blob = await exported(format);
    if (blob) download(filename, blob);
  });
  offer('.download-text', 'text', `trace-dump-${number}.txt`);
  offer('.download-chrome', 'chrome', `trace-dump-${number}.json`);
  offer('.download-speedscope', 'speedscope', `trace-dump-${number}.speedscope.json`);
  offer('.download-folded', 'folded', `trace-dump-${number}.folded.txt`);
  const open = view.querySelector('.open-speedscope');
  speedscope.then((served) => { open.hidden = !served; });
  open.addEventListener('click', async () => {
    // The tab is opened now, while the click still counts as the user's.
    const tab = window.open('', '_blank');
    const blob = await exported('speedscope');
    if (!blob) {
      tab.close();
      return;
    }
    const url = URL.createObjectURL(blob);
    setTimeout(() => URL.revokeObjectURL(url), BLOB_MS);
    tab.location.href = `speedscope/index.html#profileURL=${encodeURIComponent(url)}&title=${encodeURIComponent(title)}`;
  });
}
