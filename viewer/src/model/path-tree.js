// The one call tree: calls merged by their path from the top, each node a
// function under its caller, with its calls, total and self time. The
// report folds a dump into it as its records come; the page builds one
// for a stretch, top-down, bottom-up or around a function.

/** A path of the tree: `below` holds its children by key, in the order first seen. */
export class PathNode {
  constructor(name) {
    this.name = name;
    this.calls = 0;
    this.total = 0;
    this.self = 0;
    this.below = null;
    // Its children sorted, once asked for.
    this.sorted = undefined;
  }

  /** Its children, the longest first; sorted when first asked for, as most are never shown. */
  get children() {
    this.sorted ??= this.below ? [...this.below.values()].sort((a, b) => b.total - a.total ||
                                                                         a.name.localeCompare(b.name)) : [];
    return this.sorted;
  }

  /** The child known by `key`, named `name`: made when new. */
  child(key, name) {
    this.below ??= new Map();
    let node = this.below.get(key);
    if (!node) {
      node = new PathNode(name);
      this.below.set(key, node);
      this.sorted = undefined;
    }
    return node;
  }

  /** Counts one call of this path. */
  add(duration, self) {
    this.calls += 1;
    this.total += duration;
    this.self += self;
  }
}

/** A tree's top: a node without a function of its own, whose children are the roots. */
export function pathTree() {
  return new PathNode('');
}

/**
 * The nodes below `roots` (an iterable) depth first, each as [node,
 * depth], `childrenOf(node)` an iterable of its children. Walked without
 * recursion, for trees of any depth.
 */
export function* depthFirst(roots, childrenOf) {
  const levels = [roots[Symbol.iterator]()];
  while (levels.length) {
    const next = levels[levels.length - 1].next();
    if (next.done) {
      levels.pop();
      continue;
    }
    yield [next.value, levels.length - 1];
    levels.push(childrenOf(next.value)[Symbol.iterator]());
  }
}
