// The Problems tab: what of the dump could not be used as it stands:
// pieces that are no record, calls cut short at a frame, records that do
// not pair up, a clock that stepped back, a session cut short.

import { clockBackSaid, cutShortSaid } from '../model/format.js';

// A line that says what went wrong, and the list of each under it.
function problemList(title, items, count) {
  const box = document.createElement('section');
  const heading = document.createElement('p');
  heading.className = 'warning';
  heading.textContent = title;
  const list = document.createElement('ul');
  for (const text of items) {
    const item = document.createElement('li');
    item.textContent = text;
    list.append(item);
  }
  if (count > items.length) {
    const more = document.createElement('li');
    more.textContent = `and ${count - items.length} more`;
    list.append(more);
  }
  box.append(heading, list);
  return box;
}

// A paragraph that warns of one problem.
function warning(className, text) {
  return Object.assign(document.createElement('p'), { className, textContent: text });
}

/** Fills `box` with the problems of `model` (the worker's); returns how many kinds there are. */
export function showProblems(box, model) {
  const found = [];
  if (model.errorCount) {
    found.push(problemList(`${model.errorCount} piece(s) of the dump are no record:`,
      model.errors.map((e) => `after record ${e.position}: ${JSON.stringify(e.text)}`), model.errorCount));
  }
  if (model.cutShort.count) {
    found.push(warning('warning cut-short', cutShortSaid(model.cutShort)));
  }
  if (model.anomalyCount) {
    found.push(problemList(`${model.anomalyCount} enter/exit record(s) do not pair up: calls left by an ` +
      'exception (throw), or cut short when the clip that ran them was removed (a gotoAndPlay), which ' +
      'record no exit; their calls are closed where the records go on, or at the next frame\'s mark.',
      model.anomalies.map((a) => a.text), model.anomalyCount));
  }
  if (model.clockBack.count) {
    found.push(warning('warning clock-back', clockBackSaid(model.clockBack)));
  }
  if (model.incomplete) {
    found.push(warning('warning', 'Another movie was loaded before this one saved: these are the records it had handed over.'));
  }
  if (!found.length) {
    const none = document.createElement('p');
    none.className = 'hint';
    none.textContent = 'None: every record is whole, every enter has its exit, and the clock never stepped back.';
    box.replaceChildren(none);
    return 0;
  }
  box.replaceChildren(...found);
  return found.length;
}
