// The help, opened where it is needed: by the toolbar's ? button, or the
// ? key, beside the toolbar; Esc or a click elsewhere closes it.

const help = document.querySelector('#help');
const button = document.querySelector('#help-button');

export function helpOpen() {
  return !help.hidden;
}

/** Opens or closes the help; `open` says which, else it turns. */
export function toggleHelp(open = help.hidden) {
  help.hidden = !open;
  button.setAttribute('aria-expanded', String(open));
  if (open) help.focus();
}

button.addEventListener('click', (event) => {
  event.stopPropagation();
  toggleHelp();
});
document.addEventListener('click', (event) => {
  if (helpOpen() && !help.contains(event.target)) toggleHelp(false);
});
