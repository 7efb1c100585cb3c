// Input to a movie as Ruffle's own test suite keeps it (input.json): a
// JSON list of events, each an object whose `type` names it, `Wait` ending
// one frame's input. Positions are the movie's own pixels. The capture
// reads it to play input into a movie; the page writes it from what a
// person played.

/** The events the capture sends, with the fields each takes. */
export const INPUT_EVENTS = ['MouseMove', 'MouseDown', 'MouseUp', 'MouseWheel', 'KeyDown', 'KeyUp', 'TextInput',
                             'FocusGained', 'FocusLost', 'Wait'];

const BUTTONS = ['Left', 'Middle', 'Right'];

// The suite's names of keys, as browsers (and Playwright) name them.
const NAMED_KEYS = {
  ArrowDown: 'ArrowDown', ArrowLeft: 'ArrowLeft', ArrowRight: 'ArrowRight', ArrowUp: 'ArrowUp',
  Backspace: 'Backspace', CapsLock: 'CapsLock', Delete: 'Delete', End: 'End', Enter: 'Enter', Escape: 'Escape',
  Home: 'Home', Insert: 'Insert', LeftAlt: 'AltLeft', LeftControl: 'ControlLeft', LeftShift: 'ShiftLeft',
  NumLock: 'NumLock', NumpadDelete: 'Delete', NumpadDown: 'ArrowDown', NumpadEnd: 'End', NumpadHome: 'Home',
  NumpadInsert: 'Insert', NumpadLeft: 'ArrowLeft', NumpadPageDown: 'PageDown', NumpadPageUp: 'PageUp',
  NumpadRight: 'ArrowRight', NumpadUp: 'ArrowUp', PageDown: 'PageDown', PageUp: 'PageUp', Pause: 'Pause',
  RightControl: 'ControlRight', RightShift: 'ShiftRight', ScrollLock: 'ScrollLock', Space: 'Space', Tab: 'Tab',
};
for (let f = 1; f <= 24; f++) NAMED_KEYS[`F${f}`] = `F${f}`;
const NUMPAD_SIGNS = { '*': 'NumpadMultiply', '+': 'NumpadAdd', '-': 'NumpadSubtract', '.': 'NumpadDecimal',
                       '/': 'NumpadDivide' };

/** The browser's name (Playwright's) of the suite's key `key`, or null for a key it does not know. */
export function browserKey(key) {
  if (typeof key === 'string') return Object.hasOwn(NAMED_KEYS, key) ? NAMED_KEYS[key] : null;
  if (key && typeof key === 'object') {
    if (typeof key.Char === 'string' && [...key.Char].length === 1) return key.Char;
    if (typeof key.Numpad === 'string') {
      if (/^\d$/.test(key.Numpad)) return `Numpad${key.Numpad}`;
      return NUMPAD_SIGNS[key.Numpad] ?? null;
    }
  }
  return null;
}

const BROWSER_TO_SUITE = Object.fromEntries(Object.entries(NAMED_KEYS)
  .filter(([suite]) => !suite.startsWith('Numpad')).map(([suite, browser]) => [browser, suite]));

/**
 * The suite's name of a key a browser reports as `key` with `code` (a
 * KeyboardEvent's), or null for one it has no name for.
 */
export function suiteKey(key, code) {
  if (/^Numpad\d$/.test(code)) return { Numpad: code.slice(6) };
  const sign = Object.entries(NUMPAD_SIGNS).find(([, name]) => name === code);
  if (sign) return { Numpad: sign[0] };
  if (BROWSER_TO_SUITE[code]) return BROWSER_TO_SUITE[code];
  if (key === ' ') return 'Space';
  if (BROWSER_TO_SUITE[key]) return BROWSER_TO_SUITE[key];
  if ([...key].length === 1) return { Char: key };
  return null;
}

const point = (pos) => Array.isArray(pos) && pos.length === 2 && pos.every(Number.isFinite);

// Why `event` cannot be sent, or null.
function refusal(event) {
  if (!event || typeof event !== 'object' || typeof event.type !== 'string') return 'an event without a type';
  const { type } = event;
  if (!INPUT_EVENTS.includes(type)) {
    return `${type}: the capture sends ${INPUT_EVENTS.slice(0, -1).join(', ')} and Wait, not ${type}`;
  }
  if (['MouseMove', 'MouseDown', 'MouseUp'].includes(type) && !point(event.pos)) {
    return `${type} without a position [x, y] in the movie's pixels`;
  }
  if ((type === 'MouseDown' || type === 'MouseUp') && !BUTTONS.includes(event.btn ?? 'Left')) {
    return `${type} with the button ${JSON.stringify(event.btn)}: the buttons are Left, Middle and Right`;
  }
  if (type === 'MouseWheel' && !Number.isFinite(event.lines) && !Number.isFinite(event.pixels)) {
    return 'MouseWheel without a number of lines or pixels';
  }
  if ((type === 'KeyDown' || type === 'KeyUp') && browserKey(event.key) === null) {
    return `${type} of ${JSON.stringify(event.key)}, a key the capture does not know`;
  }
  if (type === 'TextInput' && (typeof event.codepoint !== 'string' || [...event.codepoint].length !== 1)) {
    return 'TextInput without one character as its codepoint';
  }
  return null;
}

/**
 * The input of `text` (input.json's), frame by frame: an array of the
 * events of each frame, each event checked; throws an Error that names the
 * event, and its place, when one cannot be sent.
 */
export function readInput(text) {
  let events;
  try {
    events = JSON.parse(text);
  } catch (error) {
    throw new Error(`it is not JSON: ${error.message}`);
  }
  if (!Array.isArray(events)) throw new Error('it is not a list of events');
  const frames = [[]];
  events.forEach((event, at) => {
    const refused = refusal(event);
    if (refused) throw new Error(`event ${at + 1}, ${refused}`);
    if (event.type === 'Wait') frames.push([]);
    else frames[frames.length - 1].push(event);
  });
  return frames;
}

/**
 * Input as the suite keeps it, from `frames` (the events of each frame, as
 * readInput gives them): the events with a Wait after each frame but the
 * last. One event a line.
 */
export function writeInput(frames) {
  const events = frames.flatMap((events, at) => (at < frames.length - 1 ? [...events, { type: 'Wait' }] : events));
  return `[\n${events.map((event) => JSON.stringify(event)).join(',\n')}\n]\n`;
}

/**
 * The event of the suite's format for what the movie's frame reports a
 * person did (`raw`: a type, a position, a button, a wheel's pixels, a
 * key as the browser names it), or null for what it cannot say.
 */
export function recordedEvent(raw) {
  const { type } = raw;
  if (['MouseMove', 'MouseDown', 'MouseUp'].includes(type)) {
    if (!point(raw.pos)) return null;
    if (type === 'MouseMove') return { type, pos: raw.pos };
    return BUTTONS.includes(raw.btn) ? { type, pos: raw.pos, btn: raw.btn } : null;
  }
  if (type === 'MouseWheel') return Number.isFinite(raw.pixels) ? { type, pixels: raw.pixels } : null;
  if (type === 'KeyDown' || type === 'KeyUp') {
    if (typeof raw.key !== 'string' || typeof raw.code !== 'string') return null;
    const key = suiteKey(raw.key, raw.code);
    return key === null ? null : { type, key };
  }
  if (type === 'FocusGained' || type === 'FocusLost') return { type };
  return null;
}
