// What the capture and the server say of the files a movie asks for: the
// events MovieFolder tells of (a movie traced, one that could not be, a
// file missed), in one place. The paths are the movie's, and are printed
// as text, whatever they hold.

import { printable, printableName } from './printable.js';

/** The most files missed that are named; past it, requests are counted. */
export const MISSED_NAMES = 300;

/** A file that is not there: `standIn` when an empty movie was served, `above` when it is above the folder. */
export function missingFileMessage(event) {
  const { path, standIn, above, parent } = shown(event);
  const where = above ? `${path} is above the folder served` : `${path} is not in the folder`;
  const answer = standIn ? 'an empty movie stood in for it (what it exports is missing)'
    : 'answered 404';
  return `${where}: ${answer}` + (above ? `; give --root ${parent} to serve the folder above` : '');
}

/** A name that several files match in all but case. */
export function ambiguousNameMessage(event) {
  const { path, names } = shown(event);
  return `${path} is not in the folder as written, and ${names.length} files differ from it only in case ` +
         `(${names.join(', ')}): answered 404`;
}

// The event's paths and names as they may be printed.
function shown(event) {
  return { ...event, path: printableName(event.path), parent: event.parent && printableName(event.parent),
           names: event.names?.map(printableName) };
}

/** Any file missed: an event of MovieFolder's onEvent, of a kind other than 'traced' and 'untraceable'. */
export function missedFileMessage(event) {
  if (event.kind === 'ambiguous') return ambiguousNameMessage(event);
  if (event.kind === 'many missing') {
    return `${MISSED_NAMES} files were asked for and not found: the rest are counted, not named`;
  }
  return missingFileMessage(event);
}

/**
 * The files missed, in one sentence, to begin the message that no trace
 * came: the likeliest reason. Empty when none were.
 */
export function missedFilesSaid(missed) {
  if (missed.length === 0) return '';
  const said = missed.map(shown).map((event) => {
    if (event.kind === 'ambiguous') return `${event.path} (404: several files differ from it only in case)`;
    const answer = event.standIn ? 'an empty movie stood in' : '404';
    return event.above ? `${event.path} (${answer}; it is above the folder served: give --root ${event.parent})`
      : `${event.path} (${answer})`;
  });
  return `the movie asked for files that are not in the folder: ${said.join(', ')}. `;
}

/** What the capture says of an event of the folder, as it happens. */
export function captureEventMessage(event) {
  const path = printableName(event.path);
  if (event.kind === 'traced') return `traced ${path}, which the movie loaded, in ${event.seconds.toFixed(2)} s`;
  if (event.kind === 'untraceable') {
    const { step, message } = event.error;
    return `could not trace ${path}, which the movie loaded, so it is served as it is: ${step} failed: ` +
           printableName(message);
  }
  return missedFileMessage(event);
}

/** What the server's log says of an event of the folder. */
export function serverEventMessage(event) {
  const path = printableName(event.path);
  if (event.kind === 'traced') return `traced ${path} in ${event.seconds.toFixed(2)} s`;
  if (event.kind === 'untraceable') {
    const { step, message, output } = event.error;
    return `could not trace ${path}, served as it is: ${step} failed: ${printableName(message)}` +
           (output ? `\n${printable(output).replace(/^/gm, '  ')}` : '');
  }
  return missedFileMessage(event);
}
