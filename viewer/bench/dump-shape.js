// Dumps in the shape of real ones, for the benchmarks: frames of calls
// nested up to 30 deep, thousands of names called as unevenly as real
// code calls them (a few very often), many calls in each millisecond.

// A small generator of the same numbers for the same seed.
function random(seed) {
  let state = seed >>> 0;
  return () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = state;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

const CLASSES = ['Game', 'Player', 'Enemy', 'Level', 'Menu', 'Button', 'EventDispatcher', 'Delegate',
                 'Tween', 'Sound', 'Inventory', 'ItemCard', 'Map', 'Camera', 'Physics', 'Renderer'];
const METHODS = ['update', 'draw', 'onEnterFrame', '__get__x', '__set__x', 'dispatchEvent', 'create',
                 'init', 'layout', 'hitTest', 'onPress', 'step', 'apply', 'resize', 'getItem', 'load'];

/**
 * The records of a dump of about `records` records, one at a time:
 * `names` names, depth up to `depth`, about `perMs` records a millisecond
 * while a frame runs, a frame every 33 ms.
 */
export function* shapedRecords({ records, names = 3000, depth = 30, perMs = 25, seed = 1 }) {
  const next = random(seed);
  const pool = Array.from({ length: names }, (_, i) =>
    `${CLASSES[i % CLASSES.length]}${Math.floor(i / 256) || ''}.${METHODS[(i >> 4) % METHODS.length]}${i}`);
  // A few names are called far more often than the rest.
  const pick = () => pool[Math.floor(names * next() ** 3)];
  let made = 0;
  let time = 100;
  let inMs = 0;
  const stamp = () => {
    if (++inMs >= perMs * (0.5 + next())) {
      time += 1;
      inMs = 0;
    }
    return time;
  };
  function* call(name, level) {
    made += 1;
    yield `${name} Enter ${stamp()}`;
    const children = level >= depth - 1 ? 0 : Math.floor(next() * (level < 3 ? 6 : 3.2));
    for (let i = 0; i < children && made < records; i++) yield* call(pick(), level + 1);
    made += 1;
    yield `${name} Exit ${stamp()}`;
  }
  while (made < records) {
    const frameStart = time;
    yield* call('_root.onEnterFrame', 0);
    time = Math.max(time + 1, frameStart + 33);
  }
}

/** The records of shapedRecords, joined by commas, `size` at a time. */
export function* shapedPieces(options, size) {
  let piece = [];
  for (const record of shapedRecords(options)) {
    piece.push(record);
    if (piece.length === size) {
      yield piece.join(',');
      piece = [];
    }
  }
  if (piece.length) yield piece.join(',');
}

/** A dump of shapedRecords, as one text. */
export function shapedDump(options) {
  return [...shapedPieces(options, 100000)].join(',');
}
