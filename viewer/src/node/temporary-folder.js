// The one clean-up of temporary folders: each folder our programs work in
// is removed when it is done with, and at the latest when the process
// exits, however it exits (the signal handlers exit too).

import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

const folders = new Set();

/** Removes every temporary folder still there. Synchronous, for exit handlers. */
export function removeTemporaryFolders() {
  for (const folder of folders) rmSync(folder, { recursive: true, force: true });
  folders.clear();
}
process.on('exit', removeTemporaryFolders);

/** A new folder in the system's temporary folder, named from `prefix`: { path, remove() }. */
export function temporaryFolder(prefix) {
  const path = mkdtempSync(join(tmpdir(), prefix));
  folders.add(path);
  return {
    path,
    remove() {
      if (!folders.delete(path)) return;
      rmSync(path, { recursive: true, force: true });
    },
  };
}
