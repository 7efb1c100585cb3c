// The Call tree tab: what ran, top-down, each path from the top with its
// total and self time and its calls; a row selects the calls of its path.

import { StretchTree } from './tree-view.js';

/** In `box`; `on.select(names)` hears a path chosen, from the top. */
export function callTreeView(box, { on = {} } = {}) {
  return new StretchTree(box, {
    label: 'The call tree, top-down',
    of: (analysis) => analysis.tree,
    columns: [{ title: 'Total ms', value: (node) => node.total }, { title: 'Self ms', value: (node) => node.self },
              { title: 'Calls', value: (node) => node.calls, count: true }],
    on,
  });
}
