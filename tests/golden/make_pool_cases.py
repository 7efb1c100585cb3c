#!/usr/bin/env python3
"""Writes the end-to-end cases of merged pools that flasm would refuse.

flasm takes a constant pool of at most 10,000 strings whose bytes, each
string with its terminating NUL, come to at most 65,530. The merged pool
declares the tracer's 12 names, the first pool's names and every traced
name. When that is over either limit, it declares the tracer's and the first
pool's names only, in the same order; when even that is over, the first
pool's line stays exactly as it was. The names here hold no escapes, so each
takes its length plus one byte.

The tracer's names take 107 bytes:
  _global 8, this 5, Array 6, FSCommand:save 15, length 7, func 5,
  _traces_ 9, _dumpTraces_ 13, _startTrace_ 13, _endTrace_ 11,
  ' Enter ' 8, ' Exit ' 7.

usage: make_pool_cases.py   (rewrites the cases beside it)"""

from make_branch_cases import TRACER_CONSTANTS, write_case

MOST_NAMES = 10000
MOST_BYTES = 65530


def pool_bytes(names):
    return sum(len(name.encode("utf-8")) + 1 for name in names)


def fits(names):
    return len(names) <= MOST_NAMES and pool_bytes(names) <= MOST_BYTES


def merged_pool(names):
    ordered = sorted(set(names), key=lambda n: n.encode("utf-8"))
    return "    constants " + ", ".join("'%s'" % n for n in ordered)


def constants_line(names):
    # As flasm writes it: two spaces after the last name.
    return "    constants " + ", ".join("'%s'" % n for n in names) + "  "


def class_methods_case():
    """An ActionScript 2 class of many methods, compiled as MTASC does, in
    an initMovieClip block; the main timeline's frame 0 has a small pool.
    The class is defined as _global.grid.Cls and named Cls; every method is
    Cls.method, 65 bytes in the pool."""
    cls = "DataGridColumnHeaderRenderer"
    methods = ["getRendererForTheHeaderOfColumn%04d" % k for k in range(1100)]
    frame_pool = [cls, "stop"]
    own = set(TRACER_CONSTANTS) | set(frame_pool)
    traced = [cls] + ["%s.%s" % (cls, m) for m in methods]
    assert not fits(own | set(traced)) and fits(own)
    assert len(own | set(traced)) <= MOST_NAMES
    movie = "movie 'classes.swf' // flash 8, total frames: 1, frame rate: 25 fps, 800x600 px"
    head = ["  initMovieClip 20480",
            constants_line(["_global", "grid", cls, "prototype"] + methods),
            "    push '_global'",
            "    getVariable",
            "    push 'grid'",
            "    getMember",
            "    push '%s'" % cls,
            "    function2 () (r:1='this')"]
    after_constructor = ["    end // of function ",
                         "    setRegister r:0",
                         "    setMember",
                         "    push r:0, 'prototype'",
                         "    getMember",
                         "    setRegister r:1",
                         "    pop"]
    flm = [movie, ""] + head + [after_constructor[0], ""] + after_constructor[1:]
    tmp = [movie] + head + ["@ENTRY " + cls, "@EXIT " + cls] + after_constructor
    for method in methods:
        name = "%s.%s" % (cls, method)
        flm += ["    push r:1, '%s'" % method, "    function2 () (r:1='this')",
                "    end // of function ", "", "    setMember"]
        tmp += ["    push r:1, '%s'" % method, "    function2 () (r:1='this')",
                "@ENTRY " + name, "@EXIT " + name, "    end // of function ",
                "    setMember"]
    flm += ["  end // of initMovieClip 20480", "", "  frame 0",
            constants_line(frame_pool), "    stop", "  end // of frame 0", "end"]
    tail = ["  end // of initMovieClip 20480", "  frame 0"]
    end = ["    stop", "  end // of frame 0", "end"]
    fln = tmp + tail + [merged_pool(own), "@PROLOGUE"] + end
    tmp = tmp + tail + [constants_line(frame_pool), "@PROLOGUE"] + end
    write_case("pool_too_long_for_class_methods", flm, tmp, fln, "")
    return pool_bytes(own | set(traced)), len(own | set(traced))


def base36(k):
    digits = "0123456789abcdefghijklmnopqrstuvwxyz"
    text = ""
    while True:
        text = digits[k % 36] + text
        k //= 36
        if k == 0:
            return text


def many_functions_case():
    """10,001 functions named f0 ... f7pw (base 36): more names than a pool
    may hold, in fewer bytes than it may hold."""
    names = ["f" + base36(k) for k in range(10001)]
    frame_pool = ["a"]
    own = set(TRACER_CONSTANTS) | set(frame_pool)
    everything = own | set(names)
    assert len(everything) > MOST_NAMES and pool_bytes(everything) <= MOST_BYTES
    movie = "movie 'many.swf' // flash 6, total frames: 1, frame rate: 12 fps, 550x400 px"
    flm = [movie, "", "  frame 0", constants_line(frame_pool)]
    tmp = [movie, "  frame 0", constants_line(frame_pool), "@PROLOGUE"]
    fln = [movie, "  frame 0", merged_pool(own), "@PROLOGUE"]
    for name in names:
        flm += ["    function %s ()" % name, "    end // of function"]
        body = ["    function %s ()" % name, "@ENTRY " + name, "@EXIT " + name,
                "    end // of function"]
        tmp += body
        fln += body
    tail = ["    stop", "  end // of frame 0", "end"]
    write_case("pool_with_more_names_than_flasm_takes", flm + tail, tmp + tail,
               fln + tail, "")
    return pool_bytes(everything), len(everything)


def full_first_pool_case():
    """A first pool of 5,950 names of ten characters, 65,450 bytes, 80 below
    the limit: with the tracer's 107 bytes it no longer fits, so its line
    stays as it was and the tracer's strings are pushed whole."""
    pool = ["name%06d" % k for k in range(5950)]
    assert pool_bytes(pool) == 65450
    own = set(TRACER_CONSTANTS) | set(pool)
    assert not fits(own) and fits(set(pool))
    movie = "movie 'full.swf' // flash 7, total frames: 1, frame rate: 12 fps, 550x400 px"
    line = constants_line(pool)
    body = ["    function go ()", "    end // of function go"]
    flm = [movie, "", "  frame 0", line] + body + ["    stop", "  end // of frame 0", "end"]
    tmp = [movie, "  frame 0", line, "@PROLOGUE", body[0], "@ENTRY go", "@EXIT go",
           body[1], "    stop", "  end // of frame 0", "end"]
    write_case("pool_full_before_the_tracer", flm, tmp, tmp, "")
    return pool_bytes(own | {"go"}), len(own | {"go"})


if __name__ == "__main__":
    for case in (class_methods_case, many_functions_case, full_first_pool_case):
        size, count = case()
        print("%s: every name would make %d names in %d bytes" % (case.__name__, count, size))
