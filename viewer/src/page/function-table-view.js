// The Functions tab: the table of functions of the dump or of the stretch
// selected, longest total first; or, while the dump is compared with a
// base, both figures and the change, the largest change first. A heading
// sorts by its column, again the other way; a row selects its function.
// Shows the first rows, then all on request.

import { formatMs } from '../model/format.js';

const COLUMNS = [['name', 'Function'], ['calls', 'Calls'], ['total', 'Total ms'], ['self', 'Self ms'], ['max', 'Max ms']];
const COMPARED_COLUMNS = [['name', 'Function'], ['calls', 'Calls'], ['baseCalls', 'Base calls'], ['total', 'Total ms'],
                          ['baseTotal', 'Base total ms'], ['change', 'Change ms'], ['self', 'Self ms'],
                          ['baseSelf', 'Base self ms'], ['selfChange', 'Self change ms']];

/** A change as text: "+60", "-5", "0". */
export function signedMs(change) {
  const rounded = Math.round(change * 1000) / 1000;
  return Math.abs(rounded) < 0.05 ? '0' : `${rounded > 0 ? '+' : '-'}${formatMs(Math.abs(rounded))}`;
}

// A compared row (comparison.js's) as the table sorts it.
const comparedRow = (row) => ({ name: row.name, status: row.status, calls: row.new.calls, baseCalls: row.old.calls,
                                total: row.new.total, baseTotal: row.old.total, change: row.change.total,
                                self: row.new.self, baseSelf: row.old.self, selfChange: row.change.self });
// Shows this many rows, then a button for the rest.
const SHOWN_ROWS = 500;

export class FunctionTableView {
  /** In `box`; `on.select(name)` hears a row chosen. */
  constructor(box, { on = {} } = {}) {
    this.on = on;
    this.table = document.createElement('table');
    this.table.className = 'stats';
    this.head = this.table.createTHead().insertRow();
    this.heads(COLUMNS);
    this.compared = false;
    this.body = this.table.createTBody();
    this.all = document.createElement('button');
    this.all.type = 'button';
    this.all.className = 'all-functions';
    this.all.hidden = true;
    box.replaceChildren(this.table, this.all);
    this.stats = [];
    this.rows = null;
    this.sortedBy = 'total';
    this.descending = true;
    this.shown = SHOWN_ROWS;
    this.found = null;
    this.selected = null;
    this.all.addEventListener('click', () => {
      this.shown = Infinity;
      this.fill();
    });
    this.head.addEventListener('click', (event) => {
      const heading = event.target.closest('th');
      if (heading) this.sortBy(heading);
    });
    this.body.addEventListener('click', (event) => {
      const row = event.target.closest('tr');
      if (row) this.on.select?.(row.dataset.name);
    });
  }

  heads(columns) {
    this.head.replaceChildren(...columns.map(([key, title]) => {
      const cell = document.createElement('th');
      cell.dataset.sort = key;
      cell.textContent = title;
      return cell;
    }));
  }

  /** Shows `stats` (rows of the table of functions). */
  show(stats) {
    this.mode(false);
    this.stats = stats;
    this.rows = null;
    this.fill();
  }

  /** Shows the rows of a comparison with a base (compareFunctions'), in their order. */
  showComparison(rows) {
    this.mode(true);
    this.stats = rows.map(comparedRow);
    this.rows = null;
    this.fill();
  }

  // Compared or not: the headings, and the order the rows come in.
  mode(compared) {
    if (compared === this.compared) return;
    this.compared = compared;
    this.table.classList.toggle('compared', compared);
    this.heads(compared ? COMPARED_COLUMNS : COLUMNS);
    this.sortedBy = compared ? null : 'total';
    this.descending = true;
  }

  /** Marks the functions with calls cut short at a frame: `counts`, a Map of names to their number. */
  setCutShort(counts) {
    this.cutShort = counts;
    this.fill();
  }

  /** Marks the functions in `found` (a Set of names, or null). */
  setFound(found) {
    this.found = found;
    this.fill();
  }

  /** Marks the function `name` (or none) as selected, and brings its row into view. */
  setSelected(name) {
    this.selected = name;
    if (name !== null && this.rows && !this.rows.slice(0, this.shown).some((row) => row.name === name)) {
      this.shown = Infinity;
    }
    this.fill();
    this.body.querySelector('tr.selected')?.scrollIntoView({ block: 'nearest' });
  }

  // A compared row's cells: a side it is not in shows "-".
  comparedCells(row) {
    const here = row.status !== 'gone';
    const there = row.status !== 'new';
    return [row.name, here ? row.calls : '-', there ? row.baseCalls : '-', here ? formatMs(row.total) : '-',
            there ? formatMs(row.baseTotal) : '-', signedMs(row.change), here ? formatMs(row.self) : '-',
            there ? formatMs(row.baseSelf) : '-', signedMs(row.selfChange)];
  }

  sortBy(heading) {
    const key = heading.dataset.sort;
    this.descending = key === this.sortedBy ? !this.descending : key !== 'name';
    this.sortedBy = key;
    this.rows = null;
    for (const other of this.table.querySelectorAll('th')) other.removeAttribute('aria-sort');
    heading.setAttribute('aria-sort', this.descending ? 'descending' : 'ascending');
    this.fill();
  }

  // The rows in their order, sorted again only when the order or the rows
  // change, not for each letter typed in Find.
  fill() {
    const { sortedBy, descending } = this;
    const order = sortedBy === 'name' ? (a, b) => a.name.localeCompare(b.name) : (a, b) => a[sortedBy] - b[sortedBy];
    // Compared rows come largest change first until a heading sorts them.
    this.rows ??= sortedBy === null ? [...this.stats]
      : [...this.stats].sort((a, b) => (descending ? -1 : 1) * order(a, b) || a.name.localeCompare(b.name));
    this.body.replaceChildren(...this.rows.slice(0, this.shown).map((row) => {
      const tr = document.createElement('tr');
      tr.dataset.name = row.name;
      if (this.found?.has(row.name)) tr.classList.add('found');
      if (row.name === this.selected) tr.classList.add('selected');
      const values = this.compared ? this.comparedCells(row)
        : [row.name, row.calls, formatMs(row.total), formatMs(row.self), formatMs(row.max)];
      for (const value of values) {
        const td = document.createElement('td');
        td.textContent = String(value);
        tr.append(td);
      }
      if (this.compared) {
        tr.dataset.change = row.status !== 'both' ? row.status : row.change > 0 ? 'slower' : row.change < 0 ? 'faster' : 'same';
        if (row.status !== 'both') {
          const mark = document.createElement('span');
          mark.className = 'compared-mark';
          mark.textContent = row.status;
          mark.title = row.status === 'new' ? 'Called in this dump only, not in the base' : 'Called in the base only, not in this dump';
          tr.firstElementChild.append(mark);
        }
      }
      const cut = this.cutShort?.get(row.name);
      if (cut) {
        const mark = document.createElement('span');
        mark.className = 'cut-short-mark';
        mark.textContent = `${cut} cut short`;
        mark.title = `${cut} of its calls were cut short at a frame: the clip that ran them removed, or an exception`;
        tr.firstElementChild.append(mark);
      }
      return tr;
    }));
    this.all.hidden = this.rows.length <= this.shown;
    this.table.dataset.rows = String(this.rows.length);
    this.all.textContent = `Show all ${this.rows.length} functions`;
  }
}
