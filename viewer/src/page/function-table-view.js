// The Functions tab: the table of functions of the dump or of the stretch
// selected, longest total first; a heading sorts by its column, again the
// other way; a row selects its function. Shows the first rows, then all
// on request.

import { formatMs } from '../model/format.js';

const COLUMNS = [['name', 'Function'], ['calls', 'Calls'], ['total', 'Total ms'], ['self', 'Self ms'], ['max', 'Max ms']];
// Shows this many rows, then a button for the rest.
const SHOWN_ROWS = 500;

export class FunctionTableView {
  /** In `box`; `on.select(name)` hears a row chosen. */
  constructor(box, { on = {} } = {}) {
    this.on = on;
    this.table = document.createElement('table');
    this.table.className = 'stats';
    const head = this.table.createTHead().insertRow();
    for (const [key, title] of COLUMNS) {
      const cell = document.createElement('th');
      cell.dataset.sort = key;
      cell.textContent = title;
      head.append(cell);
    }
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
    head.addEventListener('click', (event) => {
      const heading = event.target.closest('th');
      if (heading) this.sortBy(heading);
    });
    this.body.addEventListener('click', (event) => {
      const row = event.target.closest('tr');
      if (row) this.on.select?.(row.dataset.name);
    });
  }

  /** Shows `stats` (rows of the table of functions). */
  show(stats) {
    this.stats = stats;
    this.rows = null;
    this.fill();
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
    this.rows ??= [...this.stats].sort((a, b) => (descending ? -1 : 1) * order(a, b) || a.name.localeCompare(b.name));
    this.body.replaceChildren(...this.rows.slice(0, this.shown).map((row) => {
      const tr = document.createElement('tr');
      tr.dataset.name = row.name;
      if (this.found?.has(row.name)) tr.classList.add('found');
      if (row.name === this.selected) tr.classList.add('selected');
      for (const value of [row.name, row.calls, formatMs(row.total), formatMs(row.self), formatMs(row.max)]) {
        const td = document.createElement('td');
        td.textContent = String(value);
        tr.append(td);
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
    this.all.textContent = `Show all ${this.rows.length} functions`;
  }
}
