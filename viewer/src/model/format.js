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

/**
 * What the calls cut short at a frame's mark say: CallBuilder's cutShort,
 * the names as `shown` makes them.
 */
export function cutShortSaid({ count, byName }, shown = (name) => name) {
  const most = [...byName].sort((a, b) => b[1] - a[1] || (a[0] < b[0] ? -1 : 1));
  const named = most.slice(0, 5).map(([name, calls]) => `${shown(name)} (${calls})`).join(', ');
  return `${plural(count, 'call was', 'calls were')} cut short at a frame (the clip that ran it removed, ` +
         `or an exception): ${named}${most.length > 5 ? `, and ${most.length - 5} more functions` : ''}; ` +
         'each ends at its last record.';
}
