// The Sandwich tab: the function selected between the callers of its
// calls (above, read upwards) and what those calls called (below), each
// path with its time. A row selects the calls of its path.

import { TreeView } from './tree-view.js';

export class SandwichView {
  /** In `box`; `on.select(path)` hears a path chosen: { kind: 'bottom-up'|'callees', names }. */
  constructor(box, { on = {} } = {}) {
    this.heading = document.createElement('p');
    this.heading.className = 'sandwich-heading';
    const callers = document.createElement('div');
    callers.className = 'sandwich-callers';
    const callees = document.createElement('div');
    callees.className = 'sandwich-callees';
    box.replaceChildren(this.heading, callers, callees);
    const timed = [{ title: 'Total ms', value: (node) => node.total },
                   { title: 'Calls', value: (node) => node.calls, count: true }];
    this.callers = new TreeView(callers, { label: 'Its callers', columns: timed,
                                           on: { select: (names) => on.select?.({ kind: 'bottom-up', names }) } });
    this.callees = new TreeView(callees, {
      label: 'Its callees',
      columns: [...timed.slice(0, 1), { title: 'Self ms', value: (node) => node.self }, timed[1]],
      on: { select: (names) => on.select?.({ kind: 'callees', names }) },
    });
    this.show(null, null);
  }

  /** Shows the function `name` of `analysis` (call-analysis.js's), or says to choose one. */
  show(analysis, name) {
    const around = name !== null && analysis ? analysis.around(name) : null;
    this.name = name;
    this.heading.textContent = around
      ? `${name}: its callers above, read upwards; what it called below.`
      : 'Select a function (a call on the chart, a row of a table or a tree) to see its callers and its callees.';
    this.callers.show(around?.callers ?? { children: [] });
    this.callees.show(around?.callees ?? { children: [] });
  }

  reveal({ kind, names }) {
    return (kind === 'callees' ? this.callees : this.callers).reveal(names);
  }
}
