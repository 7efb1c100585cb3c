// The one table of functions: per function, its calls, total time (that
// of its outermost calls, so that recursion counts once), self time (less
// the calls made from it) and its longest call. The report, the capture
// and the page (the whole dump, or a stretch of it) all count with it.

/** The longest total first; ties by name. */
export function longestFirst(rows) {
  return rows.sort((a, b) => b.total - a.total || a.name.localeCompare(b.name));
}

export class FunctionTable {
  constructor() {
    this.byKey = new Map();
  }

  /** One call of the function known by `key` (named `name`); `outermost` when no call of it holds it. */
  add(key, name, duration, self, outermost) {
    let row = this.byKey.get(key);
    if (!row) {
      row = { name, calls: 0, total: 0, self: 0, max: 0 };
      this.byKey.set(key, row);
    }
    row.calls += 1;
    if (outermost) row.total += duration;
    row.self += self;
    if (duration > row.max) row.max = duration;
  }

  /** The functions, longest total first. */
  rows() {
    return longestFirst([...this.byKey.values()]);
  }
}
