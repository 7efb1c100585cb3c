// The Find box of a dump: part of a name (any case) lights the calls of
// the functions that match, and marks their rows; Enter goes to the next
// call found.

export class Find {
  /**
   * The box `input`, its count in `said`, over the names of `model`.
   * `on.found(found)` hears the functions found ({ names: a Set, byName: a
   * mask with an entry per name } or null), `on.next()` Enter.
   */
  constructor(input, said, model, { on = {} } = {}) {
    this.input = input;
    this.said = said;
    this.model = model;
    this.on = on;
    this.found = null;
    input.addEventListener('input', () => this.find(input.value));
    input.addEventListener('keydown', (event) => {
      if (event.key === 'Enter') {
        event.preventDefault();
        this.on.next?.();
      } else if (event.key === 'Escape') {
        event.preventDefault();
        this.clear();
        input.blur();
      }
    });
  }

  clear() {
    this.input.value = '';
    this.find('');
  }

  /** Finds the functions whose names hold `text` (any case). */
  find(text) {
    const { names, stats } = this.model;
    if (text === '') {
      this.found = null;
      this.said.textContent = '';
      this.on.found?.(null);
      return;
    }
    const wanted = text.toLowerCase();
    const byName = new Uint8Array(names.length);
    const found = new Set();
    for (let i = 0; i < names.length; i++) {
      if (names[i].toLowerCase().includes(wanted)) {
        byName[i] = 1;
        found.add(names[i]);
      }
    }
    let calls = 0;
    for (const row of stats) if (found.has(row.name)) calls += row.calls;
    this.found = { names: found, byName };
    this.said.textContent = `${calls} calls of ${found.size} function(s) found` + (calls ? '; Enter goes to the next.' : '.');
    this.said.dataset.found = String(calls);
    this.on.found?.(this.found);
  }
}
