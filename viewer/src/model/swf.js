// What the capture, the server and the page need to know of a movie's
// bytes: whether vimbrel traced it, and whether its tracer collects from
// the start. Plain functions over bytes, for node and the browser alike;
// the caller inflates a compressed movie, as far as these say.

const LATIN1 = new TextDecoder('latin1');

/** 'FWS', 'CWS' (zlib) or 'ZWS' (LZMA) for a movie's bytes, else null. */
export function movieSignature(bytes) {
  if (bytes.length < 8) return null;
  const signature = LATIN1.decode(bytes.subarray(0, 3));
  return ['FWS', 'CWS', 'ZWS'].includes(signature) ? signature : null;
}

const TRACER = new TextEncoder().encode('_tracer_\0');

/**
 * The most bytes a compressed movie is inflated to here: more than any
 * movie that plays holds, far less than what a movie made to fill memory
 * would.
 */
export const MOST_INFLATED = 256 << 20;

/** The length a movie's header gives for it whole, header included. */
export function declaredLength(bytes) {
  return (bytes[4] | (bytes[5] << 8) | (bytes[6] << 16) | (bytes[7] << 24)) >>> 0;
}

/** How far a compressed movie is inflated: to its header's length, and no further than MOST_INFLATED. */
export function inflateLimit(bytes) {
  return Math.min(Math.max(declaredLength(bytes) - 8, 0), MOST_INFLATED);
}

// The tracer's pool, where its name first stands, and its prologue, which
// says whether it collects from the start, lie within this of its name.
const TRACER_REACH = 1 << 18;

/**
 * For a movie inflated a piece at a time: a function that takes each piece
 * and says whether enough is there to tell its tracer (tracerOf), so that
 * a traced movie is not inflated further. Its `seen` is true once the
 * tracer's name was: without it, a movie has no tracer.
 */
export function tracerWatch() {
  let size = 0;
  let seenAt = -1;
  let tail = new Uint8Array(0);
  const watch = (piece) => {
    if (seenAt < 0) {
      const joined = new Uint8Array(tail.length + piece.length);
      joined.set(tail);
      joined.set(piece, tail.length);
      const at = indexOf(joined, TRACER);
      if (at >= 0) {
        seenAt = size - tail.length + at;
        watch.seen = true;
      }
      tail = joined.slice(Math.max(0, joined.length - TRACER.length + 1));
    }
    size += piece.length;
    return seenAt >= 0 && size >= seenAt + TRACER_REACH;
  };
  watch.seen = false;
  return watch;
}

function indexOf(bytes, needle) {
  search: for (let i = bytes.indexOf(needle[0]); i >= 0 && i + needle.length <= bytes.length;
    i = bytes.indexOf(needle[0], i + 1)) {
    for (let j = 1; j < needle.length; j++) {
      if (bytes[i + j] !== needle[j]) continue search;
    }
    return i;
  }
  return -1;
}

const END = 0;
const SHOW_FRAME = 1;
const DO_ACTION = 12;
const DEFINE_SPRITE = 39;
const DO_INIT_ACTION = 59;

const GET_MEMBER = 0x4e;
const SET_MEMBER = 0x4f;
const CONSTANT_POOL = 0x88;
const PUSH = 0x96;

// A reader of little-endian values that stops, rather than throws, at the
// end of what it reads: a movie cut short is read as far as it goes.
class Reader {
  constructor(bytes, at = 0, end = bytes.length) {
    this.bytes = bytes;
    this.at = at;
    this.end = Math.min(end, bytes.length);
  }
  get done() { return this.at >= this.end; }
  u8() { return this.at < this.end ? this.bytes[this.at++] : 0; }
  u16() { return this.u8() | (this.u8() << 8); }
  u32() { return (this.u16() | (this.u16() << 16)) >>> 0; }
  skip(count) { this.at += count; }
  string() {
    const start = this.at;
    while (this.at < this.end && this.bytes[this.at] !== 0) this.at++;
    const text = LATIN1.decode(this.bytes.subarray(start, this.at));
    this.at++;
    return text;
  }
}

// The values of one push action, strings and booleans as such, anything
// else as null.
function pushedValues(reader, pool) {
  const values = [];
  while (!reader.done) {
    const type = reader.u8();
    switch (type) {
      case 0: values.push(reader.string()); break;
      case 1: case 7: reader.skip(4); values.push(null); break;
      case 2: case 3: values.push(null); break;
      case 4: reader.skip(1); values.push(null); break;
      case 5: values.push(reader.u8() !== 0); break;
      case 6: reader.skip(8); values.push(null); break;
      case 8: values.push(pool[reader.u8()] ?? null); break;
      case 9: values.push(pool[reader.u16()] ?? null); break;
      default: return values;
    }
  }
  return values;
}

// The value the tracer's `collect` is set to first in an action block:
// push '_tracer_', getMember, push 'collect', push TRUE or FALSE,
// setMember. Undefined when the block sets none.
function firstCollect(reader) {
  let pool = [];
  let pushed = [];
  let tracerFetched = false;
  while (!reader.done) {
    const code = reader.u8();
    if (code === END) break;
    const length = code >= 0x80 ? reader.u16() : 0;
    const body = new Reader(reader.bytes, reader.at, reader.at + length);
    reader.skip(length);
    if (code === PUSH) {
      pushed.push(...pushedValues(body, pool));
      continue;
    }
    if (code === SET_MEMBER && tracerFetched && pushed.length === 2 && pushed[0] === 'collect' &&
        typeof pushed[1] === 'boolean') {
      return pushed[1];
    }
    tracerFetched = code === GET_MEMBER && pushed.at(-1) === '_tracer_';
    if (code === CONSTANT_POOL) {
      pool = [];
      for (let count = body.u16(); count > 0 && !body.done; count--) pool.push(body.string());
    }
    pushed = [];
  }
  return undefined;
}

// Sprites hold no sprites in a movie that plays; a movie made to nest
// them without end is read this deep.
const DEEPEST_SPRITE = 4;

// The first `collect` value set by the action blocks among the tags, in
// sprites too.
function collectInTags(reader, depth = 0) {
  while (!reader.done) {
    const header = reader.u16();
    const code = header >> 6;
    let length = header & 63;
    if (length === 63) length = reader.u32();
    const start = reader.at;
    reader.skip(length);
    if (code === END) break;
    let found;
    if (code === DO_ACTION) found = firstCollect(new Reader(reader.bytes, start, start + length));
    else if (code === DO_INIT_ACTION) found = firstCollect(new Reader(reader.bytes, start + 2, start + length));
    else if (code === DEFINE_SPRITE && depth < DEEPEST_SPRITE) {
      found = collectInTags(new Reader(reader.bytes, start + 4, start + length), depth + 1);
    }
    else if (code === SHOW_FRAME) continue;
    if (found !== undefined) return found;
  }
  return undefined;
}

/**
 * What vimbrel put into a movie, from its bytes after the 8-byte header,
 * inflated: { traced, collectsFromStart }. A traced movie pushes
 * '_tracer_'; one traced with --collect-from-start sets the tracer's
 * `collect` to true where it creates it.
 */
export function tracerOf(body) {
  if (indexOf(body, TRACER) < 0) return { traced: false, collectsFromStart: false };
  // The frame rectangle: 5 bits give the bits of each of its 4 values.
  const rectangleBits = 5 + 4 * (body[0] >> 3);
  const tags = new Reader(body, Math.ceil(rectangleBits / 8) + 4);
  return { traced: true, collectsFromStart: collectInTags(tags) === true };
}

/**
 * The stage's size in the movie's own pixels, { width, height }, from its
 * bytes after the 8-byte header, inflated: the frame rectangle, in twips.
 */
export function stageOf(body) {
  const bits = body[0] >> 3;
  let at = 5;
  const value = () => {
    let read = 0;
    for (let i = 0; i < bits; i++, at++) read = (read << 1) | ((body[at >> 3] >> (7 - (at & 7))) & 1);
    // Signed, as the rectangle's values are.
    return bits && read & (1 << (bits - 1)) ? read - (1 << bits) : read;
  };
  const [xMin, xMax, yMin, yMax] = [value(), value(), value(), value()];
  return { width: (xMax - xMin) / 20, height: (yMax - yMin) / 20 };
}

/** Frames a second, from a movie's bytes after the 8-byte header, inflated. */
export function frameRateOf(body) {
  const rectangleBits = 5 + 4 * (body[0] >> 3);
  const at = Math.ceil(rectangleBits / 8);
  return (body[at + 1] ?? 0) + (body[at] ?? 0) / 256;
}

/**
 * A movie of one empty frame and no actions, of `version`: what stands in
 * for a library that is not there, so that the movie that imports from it
 * still runs.
 */
export function emptyMovie(version) {
  const bytes = new Uint8Array([
    0x46, 0x57, 0x53, version, 17, 0, 0, 0,
    0x00, // a frame of 0 by 0: five bits that say the values take none
    0x00, 12, // 12 frames a second
    1, 0, // one frame
    SHOW_FRAME << 6, 0,
    END, 0,
  ]);
  return bytes;
}
