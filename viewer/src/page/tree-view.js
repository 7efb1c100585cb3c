// A tree of paths (model/path-tree.js's nodes) as rows, the way profilers
// show call trees: each row a path, indented by its depth, with its times;
// a row opens to its children, the longest first. Made as rows are
// opened, so that a tree of many thousand paths costs what is shown.

import { formatMs } from '../model/format.js';

// How many children a row shows before a row that shows the rest.
const SHOWN_CHILDREN = 100;
// How deep the heaviest path is opened when a tree is shown.
const OPENED_DEPTH = 8;
const INDENT = 14;

export class TreeView {
  /**
   * In `box`. `columns` are [{ title, value(node) }], numbers shown as ms
   * unless `count`; `on.select(names)` hears a row chosen, `names` its path
   * from the top of the tree.
   */
  constructor(box, { columns, on = {}, label = 'A call tree' }) {
    this.columns = columns;
    this.on = on;
    this.element = document.createElement('div');
    this.element.className = 'tree';
    this.element.setAttribute('role', 'tree');
    this.element.setAttribute('aria-label', label);
    this.head = document.createElement('div');
    this.head.className = 'tree-row tree-head';
    for (const column of [...columns, { title: 'Function' }]) {
      const cell = document.createElement('span');
      cell.textContent = column.title;
      this.head.append(cell);
    }
    box.replaceChildren(this.head, this.element);
    box.style.setProperty('--numbers', String(columns.length));
    this.top = null;
    this.selected = null;
    this.element.addEventListener('click', (event) => {
      const row = event.target.closest('.tree-row');
      if (!row || !row.node) return;
      if (event.target.closest('.tree-twisty')) this.toggle(row);
      else this.choose(row);
    });
  }

  /** Shows the tree whose top is `top` (a node whose children are the roots), its heaviest path open. */
  show(top) {
    this.top = top;
    this.selected = null;
    this.element.replaceChildren(...this.rows(top.children, 0, []));
    let row = this.element.firstElementChild;
    for (let depth = 0; row?.node && depth < OPENED_DEPTH && row.node.children.length; depth++) {
      this.open(row);
      row = row.nextElementSibling;
    }
  }

  rows(nodes, depth, path) {
    const rows = nodes.slice(0, SHOWN_CHILDREN).map((node) => this.row(node, depth, [...path, node.name]));
    if (nodes.length > SHOWN_CHILDREN) {
      const more = document.createElement('div');
      more.className = 'tree-row tree-more';
      more.depth = depth;
      more.style.paddingLeft = `${depth * INDENT}px`;
      const button = document.createElement('button');
      button.type = 'button';
      button.textContent = `and ${nodes.length - SHOWN_CHILDREN} more`;
      button.addEventListener('click', () => more.replaceWith(...nodes.slice(SHOWN_CHILDREN)
        .map((node) => this.row(node, depth, [...path, node.name]))));
      more.append(button);
      rows.push(more);
    }
    return rows;
  }

  row(node, depth, path) {
    const row = document.createElement('div');
    row.className = 'tree-row';
    row.setAttribute('role', 'treeitem');
    row.setAttribute('aria-level', String(depth + 1));
    row.node = node;
    row.path = path;
    row.depth = depth;
    for (const column of this.columns) {
      const cell = document.createElement('span');
      cell.className = 'tree-number';
      const value = column.value(node);
      cell.textContent = column.count ? String(value) : formatMs(value);
      row.append(cell);
    }
    const name = document.createElement('span');
    name.className = 'tree-name';
    name.style.paddingLeft = `${depth * INDENT}px`;
    const twisty = document.createElement('span');
    twisty.className = 'tree-twisty';
    twisty.textContent = node.children.length ? '▸' : '';
    if (node.children.length) row.setAttribute('aria-expanded', 'false');
    const text = document.createElement('span');
    text.textContent = node.name;
    name.append(twisty, text);
    row.append(name);
    return row;
  }

  // The rows shown below `row`, deeper than it.
  below(row) {
    const rows = [];
    for (let next = row.nextElementSibling; next && next.depth > row.depth; next = next.nextElementSibling) rows.push(next);
    return rows;
  }

  open(row) {
    if (row.getAttribute('aria-expanded') !== 'false') return;
    row.setAttribute('aria-expanded', 'true');
    row.querySelector('.tree-twisty').textContent = '▾';
    row.after(...this.rows(row.node.children, row.depth + 1, row.path));
  }

  close(row) {
    if (row.getAttribute('aria-expanded') !== 'true') return;
    for (const below of this.below(row)) below.remove();
    row.setAttribute('aria-expanded', 'false');
    row.querySelector('.tree-twisty').textContent = '▸';
  }

  toggle(row) {
    if (row.getAttribute('aria-expanded') === 'true') this.close(row);
    else this.open(row);
  }

  choose(row) {
    this.mark(row);
    this.on.select?.(row.path);
  }

  mark(row) {
    this.selected?.classList.remove('selected');
    this.selected = row;
    row?.classList.add('selected');
    row?.setAttribute('aria-selected', 'true');
  }

  /**
   * Opens the rows along `names`, a path from the top, and marks the last;
   * false when the tree holds no such path (then nothing is marked).
   */
  reveal(names) {
    let rows = [...this.element.children];
    let row = null;
    for (const [depth, name] of names.entries()) {
      row = rows.find((candidate) => candidate.depth === depth && candidate.node?.name === name) ?? null;
      if (!row) {
        // It may be past the rows a node shows at first.
        const more = rows.find((candidate) => candidate.depth === depth && candidate.classList.contains('tree-more'));
        if (more) {
          more.querySelector('button').click();
          return this.reveal(names);
        }
        break;
      }
      if (depth < names.length - 1) {
        this.open(row);
        rows = this.below(row).filter((candidate) => candidate.depth === depth + 1);
      }
    }
    const found = row?.path.length === names.length ? row : null;
    this.mark(found);
    found?.scrollIntoView({ block: 'nearest' });
    return Boolean(found);
  }

  /** Marks the rows shown of the function `name` (null: none), as the function selected. */
  markFunction(name) {
    for (const row of this.element.querySelectorAll('.tree-row')) {
      row.classList.toggle('of-function', name !== null && row.node?.name === name);
    }
  }
}

/**
 * A tree of a stretch (call-analysis.js's analysis), made for it when it is
 * first shown: `of(analysis)` gives its top. The other options are
 * TreeView's.
 */
export class StretchTree {
  constructor(box, { of, ...options }) {
    this.tree = new TreeView(box, options);
    this.of = of;
    this.shown = null;
  }

  /** Shows the tree of `analysis`, unless it is shown already. */
  show(analysis) {
    if (this.shown === analysis) return;
    this.shown = analysis;
    this.tree.show(this.of(analysis));
  }

  /** Marks the path `names` from the top of the tree, opening the rows to it. */
  reveal(names) {
    return this.tree.reveal(names);
  }

  markFunction(name) {
    this.tree.markFunction(name);
  }
}
