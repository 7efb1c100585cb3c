// What is selected, in words, beside the tabs: a call (its name, start,
// duration, own time, depth, records and callers), or a function (its
// calls and times), or how to select one.

import { formatMs } from '../model/format.js';

export class CallDetails {
  constructor(box) {
    this.box = box;
    this.hint();
  }

  hint() {
    const hint = document.createElement('p');
    hint.className = 'hint';
    hint.textContent = 'Click a call for its details.';
    this.box.replaceChildren(hint);
    delete this.box.dataset.call;
  }

  /** Says call `id` of `model` (the dump's, from the worker), `depth` deep, held by `callers` (ids, innermost first). */
  showCall(model, id, depth, callers) {
    const { calls, names } = model;
    const flags = calls.flags[id];
    this.list(names[calls.name[id]], [
      ['start', `${formatMs(calls.start[id] + calls.origin)} ms`],
      ['duration', `${formatMs(calls.duration[id])} ms`],
      ['self', `${formatMs(calls.self[id])} ms`],
      ['depth', String(depth + 1)],
      ['records', `${model.repeated + calls.first[id] + 1} to ${model.repeated + calls.last[id] + 1}` +
                  (flags ? ' (not all recorded)' : '')],
      ['callers', callers.length ? callers.map((caller) => names[calls.name[caller]]).join(' ← ') : 'none: it is at the top'],
    ]);
    this.box.dataset.call = String(id);
  }

  /** Says the function of `row` (a row of the table of functions), `scope` the stretch it is counted in. */
  showFunction(row, scope) {
    this.list(row.name, [['calls', String(row.calls)], ['total', `${formatMs(row.total)} ms`],
                         ['self', `${formatMs(row.self)} ms`], ['longest', `${formatMs(row.max)} ms`], ['in', scope]]);
    delete this.box.dataset.call;
  }

  list(title, terms) {
    const heading = document.createElement('h4');
    heading.textContent = title;
    const list = document.createElement('dl');
    for (const [term, value] of terms) {
      const dt = document.createElement('dt');
      dt.textContent = term;
      const dd = document.createElement('dd');
      dd.textContent = value;
      list.append(dt, dd);
    }
    this.box.replaceChildren(heading, list);
  }
}
