// A game in two movies, made with flasm as the tests make movies: main.swf
// calls start() in its first frame and loads level.swf, from its own
// folder, into _level1; level.swf calls level(), which calls helper().

import { buildMovie } from './build-movie.js';

/** A frame that defines `name` and calls it once, then `then`, and stops. */
export function callOnce(name, then = '') {
  return `
    constants '${name}'
    function ${name} ()
    end // of function

    push 0.0, '${name}'
    callFunction
    pop${then}
    stop
`;
}

/** A frame that defines c0 ... c`count - 1` (or `prefix`0 ...) and calls each once, in order, and stops. */
export function callsInOrder(count, prefix = 'c') {
  const names = Array.from({ length: count }, (_, i) => `${prefix}${i}`);
  return `
    constants ${names.map((name) => `'${name}'`).join(', ')}
${names.map((name) => `    function ${name} ()
    end // of function
`).join('')}
${names.map((name) => `    push 0.0, '${name}'
    callFunction
    pop
`).join('')}    stop
`;
}

/** The records of callsInOrder(count, prefix), without their times. */
export function recordsInOrder(count, prefix = 'c') {
  return Array.from({ length: count }, (_, i) => [`${prefix}${i} Enter`, `${prefix}${i} Exit`]).flat();
}

/**
 * Writes the game's two movies, untraced, into `folder`; main.swf asks for
 * the level as `levelUrl`.
 */
export async function buildGame(folder, { levelUrl = 'level.swf' } = {}) {
  await buildMovie({ folder, name: 'main', frames: [callOnce('start', `
    push '${levelUrl}', '_level1'
    loadMovieNum`)] });
  await buildMovie({ folder, name: 'level', frames: [`
    constants 'level', 'helper'
    function helper ()
    end // of function

    function level ()
      push 0.0, 'helper'
      callFunction
      pop
    end // of function

    push 0.0, 'level'
    callFunction
    pop
    stop
`] });
}
