// The dumps open on the page, as tabs in the toolbar: one is shown at a
// time and takes the keyboard; the others keep their view, a click away.
// The keys work as profilers' do: / finds, Esc lets the selection go, the
// arrows, + and - move and zoom the chart, ? opens the help.

import { toggleHelp, helpOpen } from './help.js';

class DumpTabs {
  constructor() {
    this.dumps = [];
    this.current = null;
    this.list = document.querySelector('#dump-tabs');
    document.addEventListener('keydown', (event) => this.key(event));
  }

  /** A new dump, shown at once. */
  add(dump) {
    const tab = document.createElement('span');
    tab.className = 'dump-tab';
    tab.dataset.dump = String(dump.number);
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'dump-tab-title';
    button.textContent = dump.title;
    button.setAttribute('role', 'tab');
    button.addEventListener('click', () => this.show(dump));
    const close = document.createElement('button');
    close.type = 'button';
    close.className = 'dump-tab-close';
    close.textContent = '×';
    close.title = `Close ${dump.title}`;
    close.addEventListener('click', () => this.close(dump));
    tab.append(button, close);
    this.list.append(tab);
    dump.tab = tab;
    this.dumps.push(dump);
    this.counted();
    this.show(dump);
  }

  /** The dump open as number `number`, or null. */
  byNumber(number) {
    return this.dumps.find((dump) => dump.number === number) ?? null;
  }

  /** Each dump read offers the others read to compare with. */
  offerBases() {
    const read = this.dumps.filter((dump) => dump.model);
    for (const dump of read) dump.offerBases(read.filter((other) => other !== dump));
  }

  show(dump) {
    this.current = dump;
    for (const other of this.dumps) {
      other.tab.querySelector('.dump-tab-title').setAttribute('aria-selected', String(other === dump));
      other.setShown(other === dump);
    }
  }

  close(dump) {
    const at = this.dumps.indexOf(dump);
    this.dumps.splice(at, 1);
    dump.tab.remove();
    dump.remove();
    this.counted();
    this.offerBases();
    if (this.current === dump) {
      this.current = null;
      const next = this.dumps[Math.min(at, this.dumps.length - 1)];
      if (next) this.show(next);
    }
  }

  // The welcome shows while no dump is open.
  counted() {
    document.body.dataset.dumps = String(this.dumps.length);
    document.querySelector('#drop').hidden = this.dumps.length > 0;
  }

  key(event) {
    const typing = event.target.closest?.('input, select, textarea');
    if (event.key === '?' && !typing) {
      event.preventDefault();
      toggleHelp();
      return;
    }
    if (event.key === 'Escape' && helpOpen()) {
      toggleHelp(false);
      return;
    }
    if (typing || event.ctrlKey || event.metaKey || event.altKey || !this.current) return;
    if (event.key === '/') {
      event.preventDefault();
      this.current.focusFind();
    } else if (event.key === 'Escape') {
      this.current.clear();
    } else if (this.current.key(event.key)) {
      event.preventDefault();
    }
  }
}

export const dumpTabs = new DumpTabs();
