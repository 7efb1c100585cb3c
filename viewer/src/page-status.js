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
