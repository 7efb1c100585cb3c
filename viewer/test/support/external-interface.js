// flasm text for flash.external.ExternalInterface, which movies written by
// the tests and the benchmark use to talk with the page.

const INTERFACE = `'flash'
      getVariable
      push 'external'
      getMember
      push 'ExternalInterface'
      getMember`;

/** ExternalInterface.call(name), its result left on the stack. */
export function callPage(name) {
  return `
      push '${name}', 1, ${INTERFACE}
      push 'call'
      callMethod`;
}

/** ExternalInterface.call(name), its result dropped. */
export function tellPage(name) {
  return `${callPage(name)}
      pop`;
}

/**
 * ExternalInterface.call(name, value), `value` the flasm lines that push
 * it, its result dropped.
 */
export function tellPageOf(name, value) {
  return `${value}
      push '${name}', 2, ${INTERFACE}
      push 'call'
      callMethod
      pop`;
}

/**
 * ExternalInterface.addCallback(name, null, f) for the function f on top
 * of the stack: the page calls it as a method of the player.
 */
export function offerToPage(name) {
  return `
      push NULL, '${name}', 3, ${INTERFACE}
      push 'addCallback'
      callMethod
      pop`;
}
