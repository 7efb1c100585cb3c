// Why vimbrel-capture or vimbrel-sweep stops short, with its exit status:
// thrown where it is found, said once, by the bin, after the browser is
// closed.

import { CommandLineError, readCommandLine } from '../node/command-line.js';

export class Failure extends Error {
  constructor(message, status) {
    super(message);
    this.status = status;
  }
}

export function fail(message, status = 1) {
  throw new Failure(message, status);
}

/**
 * The command line `argv` read by `options` (readCommandLine's); --help
 * prints `usage` and exits; a wrong one is a Failure of status 2, said
 * with the usage.
 */
export function commandLineOf(argv, options, usage) {
  if (argv.includes('--help') || argv.includes('-h')) {
    process.stdout.write(usage);
    process.exit(0);
  }
  try {
    return readCommandLine(argv, options);
  } catch (error) {
    if (!(error instanceof CommandLineError)) throw error;
    return fail(`${error.message}\n\n${usage}`, 2);
  }
}
