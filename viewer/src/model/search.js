// The one binary search: rows of calls, frames and durations are sorted,
// and the views find their place in them without walking them.

/**
 * The first index in [0, length) at which `past(index)` holds, `past`
 * being false up to some index and true from it on; `length` when it
 * never holds.
 */
export function firstIndex(length, past) {
  let low = 0;
  let high = length;
  while (low < high) {
    const middle = (low + high) >>> 1;
    if (past(middle)) high = middle;
    else low = middle + 1;
  }
  return low;
}
