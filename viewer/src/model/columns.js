// A column of numbers that grows a chunk at a time, for tables of tens of
// millions of rows: growing never copies what is there, and the whole
// column is made once, at its length, when it is handed on. Two kinds keep
// their numbers narrow until one needs more: then the chunk that holds it
// widens.

const CHUNK_BITS = 20;
const CHUNK = 1 << CHUNK_BITS;
const MASK = CHUNK - 1;

export class Column {
  /** Values of `Type`, a typed array. */
  constructor(Type) {
    this.Type = Type;
    this.chunks = [];
    // The chunk that takes the next value.
    this.last = null;
    this.length = 0;
  }

  push(value) {
    const index = this.length++;
    const offset = index & MASK;
    if (offset === 0) {
      this.last = new this.Type(CHUNK);
      this.chunks.push(this.last);
    }
    this.last[offset] = value;
    return index;
  }

  set(index, value) {
    this.chunks[index >>> CHUNK_BITS][index & MASK] = value;
  }

  get(index) {
    return this.chunks[index >>> CHUNK_BITS][index & MASK];
  }

  /** The column as one typed array of its length; the chunks are let go as they are copied. */
  take() {
    const Type = this.chunks.some((chunk) => !(chunk instanceof this.Type)) ? this.wider : this.Type;
    const whole = new Type(this.length);
    for (let at = 0; at < this.chunks.length; at++) {
      const chunk = this.chunks[at];
      whole.set(chunk.subarray(0, Math.min(CHUNK, this.length - at * CHUNK)), at * CHUNK);
      this.chunks[at] = null;
    }
    this.chunks = [];
    this.last = null;
    this.length = 0;
    return whole;
  }

  // Makes the chunk that holds `index` one of the wider type.
  widen(index) {
    const at = index >>> CHUNK_BITS;
    const chunk = this.chunks[at];
    if (chunk instanceof this.wider) return;
    this.chunks[at] = this.wider.from(chunk);
    if (this.last === chunk) this.last = this.chunks[at];
  }
}

// The kinds below write through code of their own: a store that sees more
// than four kinds of typed array is far slower, and the plain columns of a
// table already show it four.

/** Times: whole 32-bit numbers, until one is not. */
export class TimeColumn extends Column {
  constructor() {
    super(Int32Array);
    this.wider = Float64Array;
  }

  push(value) {
    const index = this.length++;
    const offset = index & MASK;
    if (offset === 0) {
      this.last = new Int32Array(CHUNK);
      this.chunks.push(this.last);
    }
    if ((value | 0) !== value) this.widen(index);
    this.last[offset] = value;
    return index;
  }
}

/** Numbers up to 65535, until one is larger. */
export class SmallNumberColumn extends Column {
  constructor() {
    super(Uint16Array);
    this.wider = Uint32Array;
  }

  push(value) {
    const index = this.length++;
    const offset = index & MASK;
    if (offset === 0) {
      this.last = new Uint16Array(CHUNK);
      this.chunks.push(this.last);
    }
    if (value > 0xffff) this.widen(index);
    this.last[offset] = value;
    return index;
  }
}
