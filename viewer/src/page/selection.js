// The one selection of a dump, which every view shows and any may change:
// a call, a function, a path of one of the trees, a stretch of the trace,
// a frame. Each change says what changed, so that each view does only what
// it needs.

const EMPTY = { call: -1, function: null, path: null, range: null, frame: -1 };

export class Selection {
  constructor() {
    this.state = { ...EMPTY };
    this.listeners = [];
  }

  /** Hears each change: listener(state, changed), `changed` a Set of the keys that did. */
  listen(listener) {
    this.listeners.push(listener);
  }

  /**
   * Changes what `partial` names: `call` (an id, -1 none), `function` (a
   * name or null), `path` ({ kind: 'top-down'|'bottom-up'|'callees',
   * names } or null), `range` ([from, to] on the axis, or null), `frame`.
   */
  set(partial) {
    const changed = new Set();
    for (const [key, value] of Object.entries(partial)) {
      if (!same(this.state[key], value)) {
        this.state[key] = value;
        changed.add(key);
      }
    }
    if (changed.size) for (const listener of this.listeners) listener(this.state, changed);
  }

  /** Lets the call, the function and the path go; then, when there were none, the stretch. */
  clear() {
    const { call, function: name, path } = this.state;
    if (call >= 0 || name !== null || path !== null) this.set({ call: -1, function: null, path: null });
    else this.set({ range: null, frame: -1 });
  }
}

function same(a, b) {
  return a === b || JSON.stringify(a) === JSON.stringify(b);
}
