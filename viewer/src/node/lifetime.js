// How our commands end when they are told to, or when no one reads them any
// more: the same in the server, vimbrel-capture and vimbrel-report.

/** The signals that stop us, each with the status a shell expects after it. */
export const STOP_SIGNALS = { SIGINT: 130, SIGTERM: 143, SIGHUP: 129 };

/**
 * Calls `stop(status)` once, on the first of the stop signals. Without a
 * handler Node ends on SIGHUP (a terminal closed) without running its exit
 * handlers, and the tools and folders they end would stay.
 */
export function onStopSignals(stop) {
  let stopped = false;
  for (const [signal, status] of Object.entries(STOP_SIGNALS)) {
    process.on(signal, () => {
      if (stopped) return;
      stopped = true;
      stop(status);
    });
  }
}

/** The errors of our standard output when its reader went away: no failure of ours. */
export const CLOSED_OUTPUT = ['EPIPE', 'EIO', 'ECONNRESET'];

/**
 * Calls `closed()` when `stream`, our standard output or error, can no
 * longer be written because its reader went away (`| head`) or its
 * terminal closed: no failure of ours. Any other error (a disk full) goes
 * to `failed(error)`.
 */
export function onClosedOutput(stream, closed, failed = (error) => { throw error; }) {
  stream.on('error', (error) => {
    if (CLOSED_OUTPUT.includes(error.code)) closed();
    else failed(error);
  });
}

/** The time limit of a tool as given on a command line: whole seconds. */
export const TOOL_TIMEOUT_RANGE = [1, 86400];

/** `value` as a tool time limit in seconds, or null when it is none. */
export function parseToolTimeout(value) {
  const [least, most] = TOOL_TIMEOUT_RANGE;
  if (!/^\d+$/.test(String(value))) return null;
  const seconds = Number(value);
  return seconds >= least && seconds <= most ? seconds : null;
}

export const TOOL_TIMEOUT_PROBLEM =
  `--tool-timeout takes whole seconds from ${TOOL_TIMEOUT_RANGE[0]} to ${TOOL_TIMEOUT_RANGE[1]}`;
