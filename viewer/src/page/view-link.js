// A link that reopens what one is looking at: the dump (?dump=URL), and
// in the fragment the axis, the stretch, the function selected and the
// tab, kept up to date as they change.

/** What the address's fragment asks for: { axis, range, function, tab }, each when it says it. */
export function readViewLink() {
  const fragment = new URLSearchParams(location.hash.slice(1));
  const link = {};
  if (['time', 'sequence'].includes(fragment.get('axis'))) link.axis = fragment.get('axis');
  const range = fragment.get('range')?.split(',').map(Number);
  if (range?.length === 2 && range.every(Number.isFinite) && range[0] < range[1]) link.range = range;
  if (fragment.has('function')) link.function = fragment.get('function');
  if (fragment.get('tab')) link.tab = fragment.get('tab');
  return link;
}

/** Puts the view into the address's fragment, without a step in the history. */
export function writeViewLink({ axis, range, function: name, tab }) {
  const fragment = new URLSearchParams();
  fragment.set('axis', axis);
  if (range) fragment.set('range', range.map((value) => +value.toFixed(3)).join(','));
  if (name !== null) fragment.set('function', name);
  if (tab) fragment.set('tab', tab);
  history.replaceState(null, '', `${location.pathname}${location.search}#${fragment}`);
}
