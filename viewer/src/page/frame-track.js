// The player's frames above the flame chart, when the tracer marked them:
// one bar a frame, as tall as the frame lasted, frames over the movie's
// budget (1000 ms / its frame rate) in a warning colour. A click selects a
// frame (and so its stretch); ] and [ go to the next and the previous slow
// frame.

import { clearedCanvas } from './canvas.js';
import { firstIndex } from '../model/search.js';

const HEIGHT = 34;
const CALM = 'hsl(210 30% 70%)';
const SLOW = 'hsl(8 80% 55%)';
const BUDGET_LINE = 'hsl(8 60% 45% / 0.6)';

export class FrameTrack {
  /**
   * Draws `frames` (dump-tables.js's framesTable) of a dump of `records`
   * records for `chart` (a FlameChart), in `box`, the tracks above it;
   * `budget` is a frame's budget in ms.
   */
  constructor(box, frames, records, chart, budget) {
    this.frames = frames;
    this.records = records;
    this.chart = chart;
    this.budget = budget;
    this.canvas = document.createElement('canvas');
    this.canvas.className = 'frames';
    this.canvas.title = 'The frames: click one to select it; ] and [ go to the next and the previous slow frame';
    box.append(this.canvas);
    this.canvas.addEventListener('click', (event) => {
      const frame = this.frameAt(event.clientX - this.canvas.getBoundingClientRect().left);
      if (frame >= 0) this.chart.on.frame?.(frame);
    });
  }

  /** How many frames went over the budget. */
  get slowCount() {
    let slow = 0;
    for (let i = 0; i < this.frames.count; i++) if (this.frames.duration[i] > this.budget) slow += 1;
    return slow;
  }

  setBudget(budget) {
    this.budget = budget;
    this.draw();
  }

  /** Frame `i`'s stretch on the chart's axis: [from, to). */
  span(i) {
    const { frames } = this;
    if (this.chart.axis === 'time') return [frames.time[i], frames.time[i] + frames.duration[i]];
    return [frames.record[i], i + 1 < frames.count ? frames.record[i + 1] : this.records];
  }

  // The last frame that begins at or before `value` on the axis, or -1.
  frameBy(value) {
    return firstIndex(this.frames.count, (i) => this.span(i)[0] > value) - 1;
  }

  frameAt(x) {
    return this.frameBy(this.chart.valueAt(x));
  }

  /**
   * The next slow frame after the stretch selected (`step` 1), or the one
   * before it (-1); -1 when there is none.
   */
  slowFrom(step) {
    const range = this.chart.range;
    const start = range ? this.frameBy(range[0]) : step > 0 ? -1 : this.frames.count;
    for (let i = start + step; i >= 0 && i < this.frames.count; i += step) {
      if (this.frames.duration[i] > this.budget) return i;
    }
    return -1;
  }

  draw() {
    const width = this.chart.width;
    const context = clearedCanvas(this.canvas, width, HEIGHT);
    const [v0, v1] = this.chart.view;
    const scale = width / (v1 - v0);
    // Two budgets fill the track; the budget is a line across it.
    const tallest = 2 * this.budget;
    const budgetY = HEIGHT - (HEIGHT - 2) / 2;
    // A frame's bar, as tall as it lasted.
    const bar = (left, wide, duration) => {
      context.fillStyle = duration > this.budget ? SLOW : CALM;
      const tall = Math.max(2, Math.min(duration / tallest, 1) * (HEIGHT - 2));
      context.fillRect(left, HEIGHT - tall, wide, tall);
    };
    // Frames narrower than a pixel share it: the longest of them shows.
    let pixel = -1;
    let longest = 0;
    const flush = () => {
      if (pixel >= 0) bar(pixel, 1, longest);
    };
    let drawn = 0;
    for (let i = Math.max(this.frameBy(v0), 0); i < this.frames.count; i++) {
      const [from, to] = this.span(i);
      if (from > v1) break;
      const left = (from - v0) * scale;
      const right = (to - v0) * scale;
      const duration = this.frames.duration[i];
      if (right - left < 2) {
        const at = Math.floor(left);
        if (at !== pixel) {
          flush();
          pixel = at;
          longest = 0;
        }
        longest = Math.max(longest, duration);
      } else {
        flush();
        pixel = -1;
        bar(left, Math.max(right - left - 1, 1), duration);
      }
      drawn += 1;
    }
    flush();
    context.fillStyle = BUDGET_LINE;
    context.fillRect(0, budgetY, width, 1);
    this.canvas.dataset.frames = String(drawn);
  }
}
