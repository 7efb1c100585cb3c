// The viewer's server traces the movies that pages send it; a tool that
// does not end is stopped, and the page is told which step failed.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { serve } from '../../serve.js';
import { minimalSwf } from '../support/minimal-swf.js';

// Process ids of the programs at `path` still running.
function running(path) {
  try {
    return execFileSync('pgrep', ['-f', path], { encoding: 'utf8' }).trim();
  } catch {
    return '';
  }
}

test('a flasm that never ends is stopped at --tool-timeout, and the page hears which step failed',
     { skip: process.platform === 'win32' }, async () => {
  const folder = mkdtempSync(join(tmpdir(), 'vimbrel-upload-'));
  const stuck = join(folder, 'flasm');
  writeFileSync(stuck, '#!/bin/sh\nwhile :; do :; done\n', { mode: 0o755 });
  const server = await serve(0, '127.0.0.1', { tools: { flasm: stuck, vimbrel: stuck, toolTimeout: 1 } });
  try {
    const started = Date.now();
    const response = await fetch(`http://127.0.0.1:${server.address().port}/trace`, {
      method: 'POST', body: minimalSwf({ version: 8 }),
    });
    assert.equal(response.status, 422);
    assert.deepEqual(await response.json(), {
      step: 'disassembling with flasm',
      message: 'flasm did not finish within 1 s (--tool-timeout) and was stopped',
      output: '',
    });
    assert.ok(Date.now() - started < 5000);
    assert.equal(running(stuck), '');
  } finally {
    server.close();
    rmSync(folder, { recursive: true, force: true });
  }
});
