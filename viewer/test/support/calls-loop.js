// flasm text of the loop that the benchmarks time: a function that calls
// leaf() as many times as its argument says.

/** `function name ('n')`, which calls leaf() n times. */
export function callsLoop(name) {
  return `
    function ${name} ('n')
      push 'i', 0
      varEquals
     calls_loop:
      push 'i'
      getVariable
      push 'n'
      getVariable
      lessThan
      not
      branchIfTrue calls_done
      push 0.0, 'leaf'
      callFunction
      pop
      push 'i', 'i'
      getVariable
      increment
      setVariable
      branch calls_loop
     calls_done:
    end // of function ${name}
`;
}
