// Each room of src/ imports only what its README says it may: the model
// stays pure, the page never reaches node's modules, the frame's script
// imports nothing.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readdirSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';

const SRC = fileURLToPath(new URL('../../src/', import.meta.url));

// What each room may import, of the others; `node:` for node's own modules,
// 'a package' for what npm installs (playwright-core).
const MAY_IMPORT = {
  model: ['model'],
  page: ['model', 'page'],
  worker: ['model', 'worker'],
  player: [],
  server: ['model', 'node', 'server', 'node:'],
  terminal: ['model', 'node', 'server', 'terminal', 'node:', 'a package'],
  node: ['model', 'node', 'node:'],
};

test('every module of src/ imports only from the rooms it may', () => {
  const wrong = [];
  for (const room of readdirSync(SRC)) {
    for (const file of readdirSync(join(SRC, room)).filter((name) => name.endsWith('.js'))) {
      const text = readFileSync(join(SRC, room, file), 'utf8');
      const imported = [...text.matchAll(/^(?:import|export)\s[^'"]*?from\s+'([^']+)'/gm),
                        ...text.matchAll(/import\(\s*'([^']+)'\s*\)/g)].map((match) => match[1]);
      for (const specifier of imported) {
        const from = specifier.startsWith('node:') ? 'node:'
          : specifier.startsWith('./') ? room
            : /^\.\.\/([^/]+)\//.exec(specifier)?.[1] ?? 'a package';
        if (!MAY_IMPORT[room].includes(from)) wrong.push(`${room}/${file} imports ${specifier}`);
      }
    }
  }
  assert.deepEqual(wrong, []);
  assert.deepEqual(readdirSync(SRC).filter((name) => !name.endsWith('.md')).sort(), Object.keys(MAY_IMPORT).sort());
});
