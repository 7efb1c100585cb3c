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

/** A movie of `frames` frames, each with an empty DoAction. */
export function minimalSwf({ version = 8, frames = 1, frameRate = 30 } = {}) {
  const rate = Buffer.alloc(4);
  rate.writeUInt16LE(frameRate << 8, 0);
  rate.writeUInt16LE(frames, 2);
  const tags = [tag(BACKGROUND, Buffer.from([0xff, 0xff, 0xff]))];
  for (let i = 0; i < frames; i++) tags.push(tag(DO_ACTION, Buffer.from([0])), tag(SHOW_FRAME));
  tags.push(tag(0));
  const body = Buffer.concat([frameRectangle(), rate, ...tags]);
  const header = Buffer.alloc(8);
  header.write('FWS', 0, 'latin1');
  header[3] = version;
  header.writeUInt32LE(8 + body.length, 4);
  return Buffer.concat([header, body]);
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
