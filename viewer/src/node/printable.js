// Text that came from a dump, a movie or a request, made safe to print on
// a terminal or in a log: a name or a path with ESC[2J or ESC]0;...BEL
// would otherwise clear the screen, set the title or forge a log line.
// Control characters, and those that reorder what follows, are shown as
// escapes.

const CONTROLS = /[\u0000-\u001f\u007f-\u009f\u061c\u200e\u200f\u2028\u2029\u202a-\u202e\u2066-\u2069]/g;
const LINE_CONTROLS = /[\u0000-\u0009\u000b-\u001f\u007f-\u009f\u061c\u200e\u200f\u2028\u2029\u202a-\u202e\u2066-\u2069]/g;

const NAMED = { '\t': '\\t', '\n': '\\n', '\r': '\\r' };

function escape(character) {
  const code = character.charCodeAt(0);
  return NAMED[character] ?? (code < 0x100 ? `\\x${code.toString(16).padStart(2, '0')}`
    : `\\u{${code.toString(16)}}`);
}

/** `text` on one line: every control character escaped, line breaks too. */
export function printableName(text) {
  return String(text).replace(CONTROLS, escape);
}

/** `text` as lines: control characters escaped but for the line breaks. */
export function printable(text) {
  return String(text).replace(LINE_CONTROLS, escape);
}
