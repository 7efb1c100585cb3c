// vimbrel-capture's session with the page: load the movie in Ruffle,
// release F12, wait for what it hands over, and read on Ruffle's console
// why a movie did not load or play.

import { join } from 'node:path';
import { fail } from './failure.js';
import { launchBrowser } from '../node/headless-chromium.js';
import { missedFilesSaid } from '../node/file-messages.js';
import { serve } from '../server/http-server.js';
import { playInput } from './input-player.js';

const LOAD_SECONDS = 30;
const SAVE_SECONDS = 10;
const SETTLE_MS = 500;

export function sleep(ms) {
  return new Promise((done) => setTimeout(done, ms));
}

async function releaseF12(page) {
  await page.keyboard.down('F12');
  await page.keyboard.up('F12');
}

/** Headless Chromium, left to our own signal handlers to end. */
export async function startBrowser() {
  const { chromium } = await import('playwright-core');
  try {
    // Our own handlers end it on Ctrl-C, after the tools and the folder.
    return await launchBrowser(chromium, { handleSIGINT: false, handleSIGTERM: false, handleSIGHUP: false });
  } catch (error) {
    fail(error.message);
  }
}

/**
 * Plays the movie of `served` (servedFolder's) in `browser` for
 * `options.seconds`, with `movies` (a MovieFolder) served: `releases` is 2
 * for a tracer that waits for F12 to collect, 1 for one that collects from
 * its start. With `input` ({ frames, frameRate, stage }: input-player.js's)
 * it plays that input into the movie meanwhile. What the movie prints
 * with trace() goes to `dump` too. What it hands over goes to `dump` (a DumpFile) as it comes;
 * `progress(text)` hears what is going on, `say(text)` what is worth a
 * line of its own. Resolves to the seconds from the last F12 to the save.
 */
export async function playAndCollect({ browser, options, served, movies, releases, dump, progress, say,
                                      input = null }) {
  const server = await serve(0, '127.0.0.1', { movies });
  try {
    const page = await browser.newPage({ viewport: { width: 820, height: 620 } });
    const origin = `http://127.0.0.1:${server.address().port}`;
    await refuseOtherSites(page, origin, say);
    // Playwright offers the bindings to every frame: only our page's calls are taken.
    await page.exposeBinding('vimbrelHandOver', ({ frame }, command, text) => {
      if (frame === page.mainFrame() && typeof command === 'string' && typeof text === 'string') {
        return dump.take(command, text);
      }
      return undefined;
    });
    await page.exposeBinding('vimbrelOutput', ({ frame }, line) => {
      if (frame === page.mainFrame() && typeof line === 'string') dump.takeOutput(line);
    });
    // Ruffle says why a movie does not load, or plays only in part, only on
    // the console.
    let ruffleError = null;
    let ruffleTrouble = null;
    page.on('console', (message) => {
      const reason = /(Invalid SWF.*?|Serious error loading Ruffle.*?)(?: color:|$)/.exec(message.text());
      if (reason && !ruffleError) ruffleError = reason[1].replace(/%c/g, '').trim();
      const trouble = /^%cERROR%c \S+%c (.*?)(?: color:|$)/.exec(message.text());
      if (trouble && !ruffleTrouble) ruffleTrouble = trouble[1].trim();
    });
    progress(`loading ${options.movie}`);
    await page.goto(`${origin}/capture.html?movie=${encodeURIComponent(served.url)}`);
    let state = null;
    for (let waited = 0; ; waited += 100) {
      state = await page.evaluate(() => window.vimbrelCapture);
      if (state?.state !== 'loading' || ruffleError) break;
      if (waited >= LOAD_SECONDS * 1000) {
        fail(`Ruffle could not load ${options.movie}: it did not start within ${LOAD_SECONDS} s`);
      }
      await sleep(100);
    }
    if (ruffleError) fail(`Ruffle could not load ${options.movie}: ${ruffleError}`);
    if (state.state === 'failed') fail(`Ruffle could not load ${options.movie}: ${state.error}`);

    // The movie has the keyboard once clicked, or focused: played input
    // has no click of ours in it. A tracer that waits for F12 exists once
    // its first frame has run.
    const player = moviePlayer(page);
    if (!input) await player.click();
    await player.focus();
    if (releases === 2) {
      await sleep(SETTLE_MS);
      await releaseF12(page);
    }
    let recording = true;
    const played = input ? playInput(page, player, input.frames, { frameRate: input.frameRate, stage: input.stage,
                                                                    stopped: () => !recording }) : null;
    for (let left = options.seconds; left > 0; left -= 1) {
      progress(`recording: ${Math.ceil(left)} s left` + (dump.pieces ? `, ${dump.records} records so far` : '') +
               (input ? ', playing its input' : ''));
      await sleep(Math.min(left, 1) * 1000);
    }
    recording = false;
    await played;
    await player.focus();
    const released = Date.now();
    await releaseF12(page);
    progress('waiting for the dump');
    if (!(await dump.waitForSave(SAVE_SECONDS))) {
      const releasesSaid = releases === 2 ? 'of the second F12' : 'of F12';
      const handed = dump.pieces ? await keptWithoutSave(dump) : '';
      fail(`no trace arrived: ${missedFilesSaid(movies.missedFiles)}` +
           `${options.movie} sent no FSCommand "save" within ${SAVE_SECONDS} s ` +
           `${releasesSaid}. ${handed || 'Its tracer did not run: the frame that holds it was not ' +
           'played, or the movie takes no keys.'}` +
           (ruffleTrouble ? ` Ruffle reported: ${ruffleTrouble}` : ''), 3);
    }
    // What went wrong in part is said, as the message that names it.
    if (ruffleTrouble) say(`Ruffle reported: ${ruffleTrouble}`);
    return (Date.now() - released) / 1000;
  } finally {
    server.close();
  }
}

/** The movie's player, in its frame on the capture's page. */
export function moviePlayer(page) {
  return page.frameLocator('iframe.movie-frame').locator('ruffle-player');
}

/**
 * Refuses every request of `page` to a site other than `origin`, ours:
 * whatever a movie makes the browser ask for elsewhere never leaves it.
 * `said(text)` hears of each site refused, once.
 */
export async function refuseOtherSites(page, origin, said = () => {}) {
  const refused = new Set();
  await page.route((url) => url.origin !== origin, (route) => {
    const site = new URL(route.request().url()).origin;
    if (!refused.has(site)) {
      refused.add(site);
      said(`refused the movie's request to ${site}: the capture reaches no other site`);
    }
    return route.abort('blockedbyclient');
  });
  return refused;
}

// What was handed over before the save that did not come is kept.
async function keptWithoutSave(dump) {
  try {
    const { records } = await dump.finish();
    return `The ${records} records it handed over before are in ${join(dump.folder, 'dump.txt')}.`;
  } catch (error) {
    return `The records it handed over before were not kept: ${error.message}.`;
  }
}
