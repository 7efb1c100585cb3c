// How times and counts are written, on the page and in the terminal alike.

/**
 * `value` ms as text: whole numbers as they are, others to a tenth; with
 * `fine`, as a chart needs, to a hundredth below 10.
 */
export function formatMs(value, { fine = false } = {}) {
  if (Number.isInteger(value)) return String(value);
  return value.toFixed(fine && value < 10 ? 2 : 1);
}

/** "1 call", "2 calls". */
export function plural(count, one, many) {
  return `${count} ${count === 1 ? one : many}`;
}

/** What the times say when the clock stepped back: CallBuilder's clockBack. */
export function clockBackSaid({ count, most }) {
  return `The clock stepped back ${plural(count, 'time', 'times')}, by up to ${formatMs(most)} ms ` +
         '(the wall clock set back?): times are held where they were, so no call lasts less than nothing.';
}
