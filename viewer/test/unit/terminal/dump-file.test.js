// What vimbrel-capture writes of what a movie hands over: dump.txt whole,
// and trace.json only while Chrome trace readers could open it.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { DumpFile } from '../../../src/terminal/dump-file.js';

const PIECES = ['a Enter 1,a Exit 2', 'b Enter 3,b Exit 4', 'c Enter 5,c Exit 6'];

for (const chrome of [false, true]) {
  test(`past its limit trace.json is ${chrome ? 'written all the same with --chrome' : 'given up'}; dump.txt is whole`, async () => {
    const folder = mkdtempSync(join(tmpdir(), 'vimbrel-dump-file-'));
    try {
      const dump = new DumpFile(folder, { chrome, traceRecords: 3 });
      for (const piece of PIECES) await dump.take('records', piece);
      await dump.take('save', '');
      const { records } = await dump.finish();
      assert.equal(records, 6);
      assert.equal(readFileSync(join(folder, 'dump.txt'), 'utf8'), PIECES.join(','));
      assert.equal(dump.traceSkipped, !chrome);
      assert.equal(existsSync(join(folder, 'trace.json')), chrome);
      if (chrome) assert.equal(JSON.parse(readFileSync(join(folder, 'trace.json'), 'utf8')).traceEvents.length, 6);
    } finally {
      rmSync(folder, { recursive: true, force: true });
    }
  });
}
