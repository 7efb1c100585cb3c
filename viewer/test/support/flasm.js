// Tests that trace or assemble movies use the flasm that FLASM names, and
// skip without it.

/** Why such a test skips, or false when FLASM is set. */
export const NO_FLASM = process.env.FLASM ? false
  : 'FLASM is not set: this test traces or assembles movies with flasm 1.62 ' +
    '(.ci/run uses ../shared/tools/flasm/flasm)';
