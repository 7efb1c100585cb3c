// Input played into the movie on the capture's page, as a person would
// give it: the events of input.json (model/input-format.js's readInput),
// a frame's at a time, at the movie's frame rate. Positions are the
// movie's own pixels, placed where the player shows its stage.

import { browserKey } from '../model/input-format.js';

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

// A line of a mouse wheel, in the browser's pixels; the suite counts lines
// up, the browser pixels down.
const WHEEL_LINE = 40;

/** The page's point for the movie's point `pos`: the stage shown whole in `box`, its ratio kept, centred. */
export function pagePoint([x, y], stage, box) {
  const scale = Math.min(box.width / stage.width, box.height / stage.height);
  return [box.x + (box.width - stage.width * scale) / 2 + x * scale,
          box.y + (box.height - stage.height * scale) / 2 + y * scale];
}

/** How long `frames` take to play at `frameRate`, in seconds. */
export function inputSeconds(frames, frameRate) {
  return frames.length / frameRate;
}

/**
 * Plays `frames` into the movie of `player` (its locator) on `page`: each
 * frame's events, then the rest of the frame's time at `frameRate`;
 * `stage` is the movie's size in its own pixels. Resolves when all are
 * played, or when `stopped()` says to stop.
 */
export async function playInput(page, player, frames, { frameRate, stage, stopped = () => false }) {
  const box = await player.boundingBox();
  const frameMs = 1000 / frameRate;
  const began = Date.now();
  const buttons = { Left: 'left', Middle: 'middle', Right: 'right' };
  for (const [at, events] of frames.entries()) {
    if (stopped()) return;
    for (const event of events) {
      const [x, y] = event.pos ? pagePoint(event.pos, stage, box) : [0, 0];
      switch (event.type) {
        case 'MouseMove': await page.mouse.move(x, y); break;
        case 'MouseDown':
          await page.mouse.move(x, y);
          await page.mouse.down({ button: buttons[event.btn ?? 'Left'] });
          break;
        case 'MouseUp':
          await page.mouse.move(x, y);
          await page.mouse.up({ button: buttons[event.btn ?? 'Left'] });
          break;
        case 'MouseWheel': await page.mouse.wheel(0, -(event.lines ?? 0) * WHEEL_LINE - (event.pixels ?? 0)); break;
        case 'KeyDown': await page.keyboard.down(browserKey(event.key)); break;
        case 'KeyUp': await page.keyboard.up(browserKey(event.key)); break;
        case 'TextInput': await page.keyboard.insertText(event.codepoint); break;
        case 'FocusGained': await player.focus(); break;
        case 'FocusLost': await player.evaluate((element) => element.blur()); break;
        default: break;
      }
    }
    // The next frame's input comes with the next frame.
    await sleep(Math.max(0, began + (at + 1) * frameMs - Date.now()));
  }
}
