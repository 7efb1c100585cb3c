// The smallest movie that flasm fills with a text of frames: one DoAction
// and one ShowFrame per frame. For movies written by the tests and the
// benchmark as flasm text.

function tag(code, body = Buffer.alloc(0)) {
  if (body.length < 63) {
    const header = Buffer.alloc(2);
    header.writeUInt16LE((code << 6) | body.length);
    return Buffer.concat([header, body]);
  }
  const header = Buffer.alloc(6);
  header.writeUInt16LE((code << 6) | 63);
  header.writeUInt32LE(body.length, 2);
  return Buffer.concat([header, body]);
}

// 550 by 400 pixels in twips, 15 bits a value.
function frameRectangle() {
  let bits = '01111';
  for (const value of [0, 11000, 0, 8000]) bits += value.toString(2).padStart(15, '0');
  bits = bits.padEnd(Math.ceil(bits.length / 8) * 8, '0');
  return Buffer.from(bits.match(/.{8}/g).map((byte) => parseInt(byte, 2)));
}

const DO_ACTION = 12;
const SHOW_FRAME = 1;
const BACKGROUND = 9;

// A movie of `frames` frames whose tags after the background are `tags`.
function movieOf(tags, { version, frames, frameRate }) {
  const rate = Buffer.alloc(4);
  rate.writeUInt16LE(frameRate << 8, 0);
  rate.writeUInt16LE(frames, 2);
  const body = Buffer.concat([frameRectangle(), rate, tag(BACKGROUND, Buffer.from([0xff, 0xff, 0xff])),
                              ...tags, tag(0)]);
  const header = Buffer.alloc(8);
  header.write('FWS', 0, 'latin1');
  header[3] = version;
  header.writeUInt32LE(8 + body.length, 4);
  return Buffer.concat([header, body]);
}

const emptyFrame = () => [tag(DO_ACTION, Buffer.from([0])), tag(SHOW_FRAME)];

/** A movie of `frames` frames, each with an empty DoAction. */
export function minimalSwf({ version = 8, frames = 1, frameRate = 30 } = {}) {
  return movieOf(Array.from({ length: frames }, emptyFrame).flat(), { version, frames, frameRate });
}

const PLACE_OBJECT_2 = 26;
const REMOVE_OBJECT_2 = 28;
const FRAME_LABEL = 43;

/**
 * A movie made like a game's preloader: its first frame places clip 1, of
 * `clipFrames` frames, at depth 1; its second, labelled `label`, removes it;
 * `frames` frames in all. Every frame of both has an empty DoAction.
 */
export function preloaderSwf({ version = 8, frames = 2, clipFrames = 2, frameRate = 30, label = 'loaded' } = {}) {
  const head = Buffer.alloc(4);
  head.writeUInt16LE(1, 0);
  head.writeUInt16LE(clipFrames, 2);
  const clipTags = Array.from({ length: clipFrames }, emptyFrame).flat();
  const sprite = tag(DEFINE_SPRITE, Buffer.concat([head, ...clipTags, tag(0)]));
  const place = tag(PLACE_OBJECT_2, Buffer.from([0x02, 1, 0, 1, 0]));
  const removing = [tag(FRAME_LABEL, Buffer.from(`${label}\0`, 'latin1')), tag(REMOVE_OBJECT_2, Buffer.from([1, 0]))];
  const later = Array.from({ length: frames - 2 }, emptyFrame).flat();
  return movieOf([sprite, place, ...emptyFrame(), ...removing, ...emptyFrame(), ...later],
                 { version, frames, frameRate });
}

const EXPORT_ASSETS = 56;
const IMPORT_ASSETS = 57;
const DEFINE_SPRITE = 39;

function names(entries) {
  const parts = [];
  const count = Buffer.alloc(2);
  count.writeUInt16LE(entries.length);
  parts.push(count);
  for (const [id, name] of entries) {
    const tagId = Buffer.alloc(2);
    tagId.writeUInt16LE(id);
    parts.push(tagId, Buffer.from(`${name}\0`, 'latin1'));
  }
  return Buffer.concat(parts);
}

/** A library of one empty clip, id 1, exported as `name`. */
export function libraryMovie({ version = 8, name = 'Shared' } = {}) {
  const movie = minimalSwf({ version });
  // An empty sprite of one frame: its id, its frame count, ShowFrame, End.
  const sprite = tag(DEFINE_SPRITE, Buffer.from([1, 0, 1, 0, 0x40, 0, 0, 0]));
  return withTags(movie, [sprite, tag(EXPORT_ASSETS, names([[1, name]]))]);
}

/** `movie` importing `name` from the library at `url`, before its first frame. */
export function importingFrom(movie, url, name = 'Shared') {
  const body = Buffer.concat([Buffer.from(`${url}\0`, 'latin1'), names([[1, name]])]);
  return withTags(movie, [tag(IMPORT_ASSETS, body)]);
}

// `movie` with `tags` after its background colour, the first tag.
function withTags(movie, tags) {
  const rectangleBytes = Math.ceil((5 + 4 * (movie[8] >> 3)) / 8);
  const firstTag = 8 + rectangleBytes + 4;
  const afterBackground = firstTag + 2 + (movie.readUInt16LE(firstTag) & 63);
  const bytes = Buffer.concat([movie.subarray(0, afterBackground), ...tags, movie.subarray(afterBackground)]);
  bytes.writeUInt32LE(bytes.length, 4);
  return bytes;
}
