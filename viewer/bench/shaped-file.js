// A dump in the shape of real ones (dump-shape.js's) written to a file a
// piece at a time: one of tens of millions of records is more than one
// string holds.

import { createWriteStream } from 'node:fs';
import { once } from 'node:events';
import { shapedPieces } from './dump-shape.js';

/** Writes the records of shapedRecords(`options`) to `path`, joined by commas. */
export async function writeShapedDump(path, options) {
  const file = createWriteStream(path);
  let first = true;
  for (const piece of shapedPieces(options, 100000)) {
    if (!file.write(first ? piece : `,${piece}`)) await once(file, 'drain');
    first = false;
  }
  file.end();
  await once(file, 'finish');
}
