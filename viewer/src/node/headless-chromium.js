// How the capture, the tests and the benchmark start Chromium: headless, and
// fetching nothing beyond what the page asks of our own server.

import { constants } from 'node:fs';
import { access } from 'node:fs/promises';

const DEBIAN_CHROMIUM = '/usr/bin/chromium';

/** The Chromium to start: CHROMIUM, else Debian's. */
export function chromiumPath() {
  return process.env.CHROMIUM ?? DEBIAN_CHROMIUM;
}

const ARGUMENTS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                   '--disable-background-networking', '--disable-component-update', '--disable-sync'];

/** Options for playwright's launch and launchPersistentContext; `extra` wins. */
export function headlessOptions(extra = {}) {
  return { executablePath: chromiumPath(), headless: true, args: ARGUMENTS, ...extra };
}

async function isProgram(path) {
  try {
    await access(path, constants.X_OK);
    return true;
  } catch {
    return false;
  }
}

/**
 * Starts a headless browser with playwright's `chromium`: the one CHROMIUM
 * names, else Debian's Chromium, else an installed Chrome or Edge (found
 * where playwright knows they are installed, on Windows and macOS too).
 * `extra` goes into the launch options. Rejects with an Error that says
 * what was tried when there is none.
 */
export async function launchBrowser(chromium, extra = {}) {
  const tried = [];
  if (process.env.CHROMIUM !== undefined) {
    if (await isProgram(process.env.CHROMIUM)) return chromium.launch(headlessOptions(extra));
    tried.push(`CHROMIUM names ${process.env.CHROMIUM}, which is not a program`);
  } else if (await isProgram(DEBIAN_CHROMIUM)) {
    return chromium.launch(headlessOptions(extra));
  } else {
    tried.push(`no ${DEBIAN_CHROMIUM}`);
  }
  for (const [channel, name] of [['chrome', 'Google Chrome'], ['msedge', 'Microsoft Edge']]) {
    try {
      return await chromium.launch({ channel, headless: true, args: ARGUMENTS, ...extra });
    } catch (error) {
      tried.push(`no ${name} (${String(error.message).split('\n')[0].replace(/^browserType\.launch: /, '')})`);
    }
  }
  throw new Error(`no browser to play the movie in: ${tried.join('; ')}. Install Chromium ` +
                  '("sudo apt-get install chromium" on Debian), Chrome or Edge, or set CHROMIUM to ' +
                  'a Chromium or Chrome.');
}
