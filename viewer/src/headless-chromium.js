// How the capture, the tests and the benchmark start Chromium: headless, and
// fetching nothing beyond what the page asks of our own server.

/** The Chromium to start: CHROMIUM, else Debian's. */
export function chromiumPath() {
  return process.env.CHROMIUM ?? '/usr/bin/chromium';
}

/** Options for playwright's launch and launchPersistentContext; `extra` wins. */
export function headlessOptions(extra = {}) {
  return {
    executablePath: chromiumPath(),
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    ...extra,
  };
}
