// The Compare tab, once a base is chosen: the two dumps in a line, where
// the two runs part, the frames side by side, and the differential flame
// graph of their merged call tree.

import { formatMs, plural } from '../model/format.js';
import { DiffFlameGraph } from './diff-flame-graph.js';
import { signedMs } from './function-table-view.js';

const paragraph = (className, text) => Object.assign(document.createElement('p'), { className, textContent: text });

/** Where the runs part (PartingPlace's result), in words. */
export function partingSaid(parting, compared, title, baseTitle) {
  if (!parting) return `The two runs make the same calls throughout: ${plural(compared, 'record', 'records')} of calls agree.`;
  const made = (call, side) => (call ? `${call.kind === 'Enter' ? 'enters' : 'exits'} ${call.name} (record ${call.record})`
    : `ends (after record ${parting.records[side]})`);
  const where = parting.path.length ? `inside ${parting.path.join(' > ')}` : 'at the top';
  return `The two runs part after ${plural(parting.compared, 'record', 'records')} of calls that agree, ${where}: ` +
         `${title} ${made(parting.made[0], 0)}, ${baseTitle} ${made(parting.made[1], 1)}.`;
}

export class CompareView {
  /** In `box`; `on.select(name)` hears a path of the graph clicked. */
  constructor(box, { on = {} } = {}) {
    this.box = box;
    this.on = on;
  }

  /** Shows `comparison` (compareTables') of the dump `title` against `baseTitle`. */
  show(comparison, title, baseTitle) {
    const { new: fresh, old } = comparison;
    const head = paragraph('compare-head',
      `${title} against ${baseTitle}: ${fresh.records} records (${old.records} in the base), ` +
      `${formatMs(fresh.total)} ms in calls (${formatMs(old.total)}, ${signedMs(fresh.total - old.total)}).`);
    const parting = paragraph('compare-parting', partingSaid(comparison.parting, comparison.compared, title, baseTitle));
    const parts = [head, parting];
    if (fresh.frames && old.frames) {
      const figure = (name, key) => `${name} ${formatMs(+old.frames[key].toFixed(1))} → ${formatMs(+fresh.frames[key].toFixed(1))} ms`;
      parts.push(paragraph('compare-frames', `Frames: ${old.frames.count} → ${fresh.frames.count}; ` +
        `${figure('median', 'median')}, ${figure('95th percentile', 'p95')}, ${figure('longest', 'longest')}.`));
    }
    parts.push(paragraph('compare-legend', 'Each path as wide as its time here; red where it got slower, blue where ' +
                         'faster, grey unchanged, violet with a notch for a path the base did not make. The Functions ' +
                         'tab holds both figures and the change, and the functions gone.'));
    const graph = document.createElement('div');
    graph.className = 'diff-flame-box';
    parts.push(graph);
    this.box.replaceChildren(...parts);
    this.graph = new DiffFlameGraph(graph, { on: this.on });
    this.graph.show(comparison.tree);
  }

  /** Draws the graph again, at the width the tab has now. */
  draw() {
    this.graph?.draw();
  }
}
