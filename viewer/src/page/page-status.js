// The page's status line: what is going on, or what failed and why.

const status = document.querySelector('#status');
const problem = document.querySelector('#problem');

export function say(text) {
  status.textContent = text;
  problem.hidden = true;
}

/** A step that failed: what, why, and what its tool said. */
export function sayProblem(title, message, output = '') {
  status.textContent = '';
  problem.querySelector('.problem-title').textContent = title;
  problem.querySelector('.problem-message').textContent = message.charAt(0).toUpperCase() + message.slice(1);
  const said = problem.querySelector('.problem-output');
  said.textContent = output;
  said.hidden = !output;
  problem.hidden = false;
  document.body.dataset.movie = 'failed';
}

/**
 * Fetches `url`, a movie or a dump the address names, from the viewer's
 * own site only: resolves to the response, or says why not and resolves
 * to null.
 */
export async function fetchOwn(url, label) {
  say(`Fetching ${label}...`);
  try {
    if (new URL(url, location.href).origin !== location.origin) {
      throw new Error('it is on another site, and the viewer opens movies and dumps of its own site only');
    }
    const response = await fetch(url);
    if (!response.ok) throw new Error(`${response.status} ${response.statusText}`);
    return response;
  } catch (error) {
    sayProblem(`Could not fetch ${label}`, error.message);
    return null;
  }
}
