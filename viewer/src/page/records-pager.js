// The raw records a page at a time: a dump of millions of records is never
// all in the document. The records come from the worker that holds them.

const PAGE = 100;

export class RecordsPager {
  /**
   * Shows records in `box` from `total`, numbered from `offset + 1`;
   * `fetchPage(from, count)` resolves to their texts.
   */
  constructor(box, total, offset, fetchPage) {
    this.total = total;
    this.offset = offset;
    this.fetchPage = fetchPage;
    this.from = 0;
    // The record marked, or -1.
    this.marked = -1;
    // Only the page asked for last is shown.
    this.asked = 0;
    this.list = document.createElement('ol');
    this.list.className = 'records';
    const controls = document.createElement('div');
    controls.className = 'pager';
    const button = (label, action) => {
      const element = document.createElement('button');
      element.type = 'button';
      element.textContent = label;
      element.addEventListener('click', action);
      controls.append(element);
      return element;
    };
    this.buttons = {
      first: button('First', () => this.show(0)),
      previous: button('Previous', () => this.show(this.from - PAGE)),
      next: button('Next', () => this.show(this.from + PAGE)),
      last: button('Last', () => this.show(Math.floor((this.total - 1) / PAGE) * PAGE)),
    };
    this.place = document.createElement('span');
    this.place.className = 'pager-place';
    const go = document.createElement('label');
    go.textContent = 'Record ';
    this.input = document.createElement('input');
    this.input.type = 'number';
    this.input.min = String(offset + 1);
    this.input.max = String(offset + total);
    this.input.addEventListener('change', () => this.showRecord(Number(this.input.value) - offset - 1));
    go.append(this.input);
    controls.prepend(this.place);
    controls.append(go);
    box.replaceChildren(controls, this.list);
    this.show(0);
  }

  /**
   * Shows the page that holds record `index` (counted from 0 in this
   * dump); with `mark`, marks that record and brings it into view.
   */
  async showRecord(index, { mark = false } = {}) {
    const at = Math.max(0, Math.min(index, this.total - 1));
    this.marked = mark ? at : -1;
    await this.show(Math.floor(at / PAGE) * PAGE);
  }

  async show(from) {
    this.from = Math.max(0, Math.min(from, Math.max(this.total - 1, 0)));
    const asked = ++this.asked;
    const records = this.total ? await this.fetchPage(this.from, PAGE) : [];
    if (asked !== this.asked) return;
    this.list.start = this.offset + this.from + 1;
    this.list.replaceChildren(...records.map((text, i) => {
      const item = document.createElement('li');
      item.className = / Enter [^ ]*$/.test(text) ? 'enter' : 'exit';
      if (this.from + i === this.marked) item.classList.add('marked');
      item.textContent = text;
      return item;
    }));
    // The marked record in view within its tab; the page stays where it is.
    this.list.querySelector('.marked')?.scrollIntoView({ block: 'center' });
    const last = this.from + records.length;
    this.place.textContent = this.total
      ? `records ${this.offset + this.from + 1} to ${this.offset + last} of ${this.offset + this.total}`
      : 'no records';
    this.buttons.first.disabled = this.buttons.previous.disabled = this.from === 0;
    this.buttons.next.disabled = this.buttons.last.disabled = last >= this.total;
  }
}
