// The movie's frame on a page of the viewer, for the tests and benchmarks
// that play movies: its player, to click and focus, and the frame itself,
// to ask the movie what it offers through ExternalInterface.

export { moviePlayer } from '../../src/terminal/capture-session.js';

/** The frame that plays the movie on `page`, once it is there. */
export async function playerFrame(page) {
  const frame = page.frameLocator('iframe.movie-frame');
  await frame.locator('ruffle-player').waitFor({ state: 'attached', timeout: 30000 });
  return page.frames().find((candidate) => candidate.url().endsWith('/player.html'));
}
