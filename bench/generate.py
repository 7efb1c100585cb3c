#!/usr/bin/env python3
"""Writes realistic flasm text of about the given size (MB) to a file.

Frames with long constant pools, pushes and calls, and every way of defining
a function: named, anonymous, stored under a pushed name, object member,
prototype method, 'this' members, nested functions, try blocks, returns."""

import sys

# Ordinary code, as compiled movies have it in every function body.
BODY = """\
      push 'r{n}', 'frameNo'
      getVariable
      push 4
      modulo
      push 1, 'named{n}'
      callFunction
      setVariable
      push 'frame ', 'frameNo'
      getVariable
      add
      push ': '
      add
      push 'r{n}'
      getVariable
      add
      trace
"""

FRAME = """  frame {n}
    constants {pool}
    push 'counter{n}', 0
    setVariable
    function named{n} ('x', 'y')
{body}
      push 'x'
      getVariable
      push 'y'
      getVariable
      add
      return
    end // of function named{n}

    push 'stored{n}'
    function  ()
{body}
      push 'counter{n}', 'counter{n}'
      getVariable
      increment
      setVariable
      push 'done'
      return
    end // of function
    setVariable
    push 'obj{n}', 0, 'Object'
    new
    setVariable
    push 'obj{n}'
    getVariable
    push 'member{n}'
    function ('a')
{body}
      push 'a'
      getVariable
      push 1, 'named{n}'
      callFunction
      return
    end // of function
    setMember
    push 'Cls{n}'
    function  ()
      push 'this'
      getVariable
      push 'getV'
      function  ()
{inner_body}
        push 'this'
        getVariable
        push 'v'
        getMember
        return
      end // of function
      setMember
    end // of function
    setVariable
    push 'Cls{n}'
    getVariable
    push 'prototype'
    getMember
    push 'method{n}'
    function2 (r:1='this') ()
{body}
      try 'e'
        push r:1, 3
        equals
        not
        branchIfTrue label{n}
        push 'boom'
        throw
       label{n}:
      catch
        push 'caught ', 'e'
        getVariable
        add
        trace
      end // of try
      push 0
      function  ()
        push 'inner'
        trace
      end // of function
      push UNDEF
      callMethod
      pop
    end // of function
    setMember
    push '// frame {n} done'
    trace
  end // of frame {n}

  defineMovieClip {n} // total frames: 2
    frame 0
      push 'clip{n}'
      getVariable
      push 'gotoAndPlay'
      callMethod
      pop
      stop
    end // of frame 0
    frame 1
      push '_root'
      getVariable
      push 'counter{n}'
      getMember
      push 1
      add
      trace
    end // of frame 1
  end // of defineMovieClip {n}

"""


def pool(n):
    names = ["'name%d_%d'" % (n, i) for i in range(60)]
    names += ["'counter%d'" % n, "'stored%d'" % n, "'obj%d'" % n,
              "'member%d'" % n, "'Cls%d'" % n, "'method%d'" % n,
              "'prototype'", "'getV'", "'v'", "''", "'it\\'s'"]
    return ", ".join(names) + "  "


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: generate.py MEGABYTES OUTPUT")
    target = int(float(sys.argv[1]) * 1000 * 1000)
    written = 0
    n = 0
    with open(sys.argv[2], "w") as out:
        out.write("movie 'bench.swf' // flash 8, total frames: many\n\n")
        while written < target:
            body = BODY.format(n=n).rstrip("\n")
            inner_body = "\n".join("  " + line for line in body.split("\n"))
            text = FRAME.format(n=n, pool=pool(n), body=body, inner_body=inner_body)
            out.write(text)
            written += len(text)
            n += 1
        out.write("end\n")


if __name__ == "__main__":
    main()
