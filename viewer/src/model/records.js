// Reading the records that the tracer sends with "FSCommand:save", as
// their text comes.
//
// A dump is the tracer's list in its string form: records joined by commas,
// each "name Enter t" or "name Exit t", t in milliseconds since the movie
// started, "n Frame t" where a tracer marks the frames of the player, and
// "text Trace t" where it records what the movie prints with trace(). A
// name, or a text, may itself hold commas and spaces, so a record is known
// by its end: the marker and a number.

// The end of a record: its marker and its time. The marker and the time
// hold no comma, so the last piece of a record, alone, says whether it
// ends one.
const RECORD_END = / (Enter|Exit|Frame|Trace) (-?\d+(?:\.\d+)?)$/;
const MARKED = /^[\s\S]* (Enter|Exit|Frame|Trace) \S*$/;

/**
 * The longest record read, in characters: text past it, with no record's
 * end, is no record, and is not kept waiting for one.
 */
export const LONGEST_RECORD = 1 << 16;

const SPACE = 32;
const MINUS = 45;
const DOT = 46;
const isDigit = (code) => code >= 48 && code <= 57;

// The common record read from its end without a regular expression:
// "name Enter 12" or "name Exit 12.5" in text[from, to). Returns the index
// of the space before the marker, or -1 when the piece is not that simple
// (the regular expressions then decide).
function simpleRecordAt(text, from, to) {
  let at = to - 1;
  while (at >= from && isDigit(text.charCodeAt(at))) at--;
  if (at === to - 1) return -1;
  if (text.charCodeAt(at) === DOT) {
    const fraction = at;
    at--;
    while (at >= from && isDigit(text.charCodeAt(at))) at--;
    if (at === fraction - 1) return -1;
  }
  if (text.charCodeAt(at) === MINUS) at--;
  if (text.charCodeAt(at) !== SPACE) return -1;
  if (text.startsWith(' Exit', at - 5) && at - 5 >= from) return at - 5;
  if (text.startsWith(' Enter', at - 6) && at - 6 >= from) return at - 6;
  if (text.startsWith(' Frame', at - 6) && at - 6 >= from) return at - 6;
  if (text.startsWith(' Trace', at - 6) && at - 6 >= from) return at - 6;
  return -1;
}

// The marker's kind by its second and third letters: En(ter), Ex(it),
// Fr(ame), Tr(ace).
const KIND_BY_LETTERS = { 69110: 'Enter', 69120: 'Exit', 70114: 'Frame', 84114: 'Trace' };
const kindAt = (text, marker) => KIND_BY_LETTERS[text.charCodeAt(marker + 1) * 1000 + text.charCodeAt(marker + 2)];

/**
 * Reads records from text that comes in pieces of any size, as a file or a
 * pipe gives it: `record(name, kind, time, start, end)`, kind 'Enter',
 * 'Exit', 'Frame' or 'Trace', [start, end) the record's place in the whole
 * text; and
 * `error(position, text)` for each piece that is no record, position being
 * the index the next record will have. Call end() after the last piece.
 */
export class RecordReader {
  constructor(record, error = () => {}) {
    this.record = record;
    this.error = error;
    this.count = 0;
    // The text not read yet, from where it stands in the whole text.
    this.rest = '';
    this.base = 0;
    // In `rest`: where the next piece begins, and where the record being
    // read began (earlier pieces may be part of its name, which may hold
    // commas), or -1.
    this.pieceFrom = 0;
    this.pendingFrom = -1;
    // True while the piece being read is the rest of one past
    // LONGEST_RECORD, which was said to be no record.
    this.skipping = false;
    this.seen = false;
  }

  push(text) {
    if (text === '') return;
    this.seen = true;
    this.joined = false;
    const buffer = this.rest + text;
    let from = this.pieceFrom;
    let pending = this.pendingFrom;
    for (let to = buffer.indexOf(',', from); to >= 0; to = buffer.indexOf(',', from)) {
      if (this.skipping) this.skipping = false;
      else pending = this.piece(buffer, pending, from, to);
      from = to + 1;
    }
    if (!this.skipping && buffer.length - from > LONGEST_RECORD) {
      // A piece this long ends no record, however it ends: said now, not kept.
      if (pending >= 0) this.error(this.count, buffer.slice(pending, from - 1));
      this.error(this.count, buffer.slice(from, from + LONGEST_RECORD));
      pending = -1;
      this.skipping = true;
    }
    if (this.skipping) from = buffer.length;
    const keep = pending >= 0 ? pending : from;
    this.rest = buffer.slice(keep);
    this.base += keep;
    this.pieceFrom = from - keep;
    this.pendingFrom = pending >= 0 ? 0 : -1;
  }

  /**
   * Reads `text`, which ends where a record does (what a movie hands over
   * at a time), as though a comma followed it: its last record is read now.
   */
  pushWhole(text) {
    if (text === '') return;
    this.push(`${text},`);
    this.joined = true;
  }

  /**
   * Reads the last piece; returns the number of records. A dump saved from
   * a host may end with a line break, which is no part of a record.
   */
  end() {
    if (this.seen && !this.skipping) {
      const buffer = this.rest.replace(/\r?\n$/, '');
      if (this.joined) {
        // Ended by pushWhole: no piece is left, but one that was no record.
        if (this.pendingFrom >= 0) this.error(this.count, buffer.slice(this.pendingFrom, -1));
      } else {
        const pending = this.piece(buffer, this.pendingFrom, this.pieceFrom, buffer.length);
        if (pending >= 0) this.error(this.count, buffer.slice(pending));
      }
    }
    this.rest = '';
    this.seen = false;
    this.skipping = false;
    return this.count;
  }

  // Reads the piece buffer[from, to); returns where the record being read
  // began when the piece did not end it, else -1. Each piece is looked at
  // once, whatever came before it.
  piece(buffer, pendingFrom, from, to) {
    let start = pendingFrom < 0 ? from : pendingFrom;
    if (to - start > LONGEST_RECORD) {
      // What waited for a record's end is no record: this piece starts anew,
      // unless it is too long itself.
      if (start < from) this.error(this.count, buffer.slice(start, from - 1));
      start = from;
      if (to - from > LONGEST_RECORD) {
        this.error(this.count, buffer.slice(from, from + LONGEST_RECORD));
        return -1;
      }
    }
    const marker = simpleRecordAt(buffer, from, to);
    if (marker >= 0) {
      const kind = kindAt(buffer, marker);
      return this.found(buffer, start, marker, kind, Number(buffer.slice(marker + kind.length + 2, to)), to);
    }
    const piece = buffer.slice(from, to);
    const match = RECORD_END.exec(piece);
    if (match) return this.found(buffer, start, from + match.index, match[1], Number(match[2]), to);
    if (MARKED.test(piece)) {
      // A marker with no time after it: this piece is broken, not a name.
      this.error(this.count, buffer.slice(start, to));
      return -1;
    }
    return start;
  }

  // The record buffer[start, to), its name before `marker`.
  found(buffer, start, marker, kind, time, to) {
    this.count++;
    this.record(buffer.slice(start, marker), kind, time, this.base + start, this.base + to);
    return -1;
  }
}
