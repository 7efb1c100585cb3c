// The Bottom-up tab: each function with its own time, the most first; a
// row opens to the callers through which that time was spent, and their
// callers, upwards. A row selects the calls of its path.

import { StretchTree } from './tree-view.js';

/** In `box`; `on.select(names)` hears a path chosen: a function, then its callers upwards. */
export function bottomUpView(box, { on = {} } = {}) {
  return new StretchTree(box, {
    label: 'The call tree, bottom-up',
    of: (analysis) => analysis.bottomUp(),
    columns: [{ title: 'Self ms', value: (node) => node.total }, { title: 'Calls', value: (node) => node.calls, count: true }],
    on,
  });
}
