// What a sweep makes of names it did not choose: where a movie's files go,
// and its row, whatever its path holds.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { join, resolve } from 'node:path';
import { movieKey } from '../../../src/terminal/sweep-list.js';
import { lineRow, rowLine } from '../../../src/terminal/sweep-result.js';

test('a movie\'s folder under OUT never leaves it, wherever a list says the movie is', () => {
  const root = resolve('/archive/lists');
  assert.equal(movieKey(join(root, 'games', 'a.swf'), root), 'games/a.swf');
  // Listed from elsewhere: its whole path, below OUT.
  assert.equal(movieKey(resolve('/archive/other/../b.swf'), root), 'archive/b.swf');
  assert.equal(movieKey(resolve(root, '../../etc/passwd'), root), 'etc/passwd');
  for (const key of ['games/a.swf', 'archive/b.swf', 'etc/passwd'].map((name) => resolve('/out', name))) {
    assert.ok(key.startsWith('/out/'), key);
  }
});

test('a row is one line of TSV whatever its cells hold, and reads back as it was', () => {
  const row = { path: 'odd\tname\nwith\\slash.swf', status: 'failed', reason: 'Ruffle could not load it: a\r\nb',
                seconds: 12.5, records: 0, functions: null, frames: 3, median_frame_ms: 33.3, longest_frame_ms: 50,
                ruffle_reported: null };
  const line = rowLine(row);
  assert.equal(line.split('\n').length, 2, 'one line, ended');
  assert.equal(line.split('\t').length, 10, 'ten cells');
  assert.deepEqual(lineRow(line), row);
});
