#!/usr/bin/env python3
"""Writes the end-to-end cases of branches that tracing pushes out of reach.

Their movies are long (a branch reaches 32,767 bytes), so they are made
here, and so are the expected files: from the byte sizes flasm gives each
line and the rule for islands, worked out below for these regular shapes,
not from vimbrel's output.

Each method is 23 bytes untraced:
    push r:1, 'mNNN'      3 + 2 (register) + 2 + 4 (string) = 11
    function2 () ()       11
    end // of function    0
    setMember             1
and 137 traced: its entry block pushes 'mNNN' (6 + 3), then 1, '_global'
(17), '_tracer_' (13) and 'startTrace' (15), with four one-byte actions:
58; the exit block is the same with 'endTrace' (13): 56. No pool stands in
an initMovieClip block, so every string is pushed whole.

A branch reaches 32,767 bytes; 512 are kept free, so islands are placed
when a jump would go further than 32,255. Each island is 10 bytes. An island
goes as far along as the last jump reaches, at a line boundary of the
branch's own body.

usage: make_branch_cases.py   (rewrites the cases beside it)"""

import os

HERE = os.path.dirname(os.path.abspath(__file__))
REACH = 32767 - 512
TRACER_CONSTANTS = ["_global", "this", "Array", "FSCommand:save", "length", "func",
                    "_traces_", "_dumpTraces_", "_startTrace_", "_endTrace_",
                    " Enter ", " Exit "]
MOVIE = "movie 'islands.swf' // flash 8, total frames: 1, frame rate: 12 fps, 550x400 px"
METHOD_BYTES = 137


def method_name(k):
    return "m%d" % (100 + k)


def methods(count, indent):
    """(.flm lines, .tmp lines) of `count` methods, and the index in each of
    the lines that stand at the block's level, by the byte offset (from the
    first method) where they start."""
    flm, tmp = [], []
    for k in range(count):
        name = method_name(k)
        flm += [indent + "push r:1, '%s'" % name, indent + "function2 () ()",
                indent + "end // of function", "", indent + "setMember"]
        tmp += [indent + "push r:1, '%s'" % name, indent + "function2 () ()",
                "@ENTRY " + name, "@EXIT " + name, indent + "end // of function",
                indent + "setMember"]
    return flm, tmp


def merged_pool(names):
    everything = sorted(set(TRACER_CONSTANTS) | set(names),
                        key=lambda n: n.encode("utf-8"))
    return "    constants " + ", ".join("'%s'" % n for n in everything)


def tracer_frame(names, own=(), fln_prologue="@PROLOGUE"):
    """The main timeline's frame, which holds the tracer; `own` are lines of
    the movie's after its pool."""
    own = list(own)
    flm = ["", "  frame 0", "    constants 'C'"] + own + ["    stop", "  end // of frame 0"]
    tmp = ["  frame 0", "    constants 'C'", "@PROLOGUE"] + own + ["    stop",
                                                             "  end // of frame 0"]
    fln = ["  frame 0", merged_pool(names + ["C"]), fln_prologue] + own + \
          ["    stop", "  end // of frame 0"]
    return flm, tmp, fln


def island(number, indent, target, prefix="vimbrel_"):
    label_indent = indent[:-1]
    return [indent + "branch %sskip%d" % (prefix, number),
            label_indent + "%shop%d:" % (prefix, number),
            indent + "branch " + target,
            label_indent + "%sskip%d:" % (prefix, number)]


def write_case(name, flm, tmp, fln, stderr):
    folder = os.path.join(HERE, name)
    os.makedirs(folder, exist_ok=True)
    for file_name, lines in (("movie.flm", flm), ("movie.tmp", tmp), ("movie.fln", fln)):
        with open(os.path.join(folder, file_name), "w") as out:
            out.write("\n".join(lines) + "\n")
    with open(os.path.join(folder, "stderr"), "w") as out:
        out.write("Finished first pass at processing movie.flm.\n" + stderr +
                  "Finished second pass. Saved new flasm to movie.fln.\nShutting down...\n")


def insert_before(lines, index, new):
    return lines[:index] + new + lines[index:]


def tmp_index_of(tmp, text, occurrence=0):
    found = [i for i, line in enumerate(tmp) if line == text]
    return found[occurrence]


def block_case(count, indent, head_flm, tail_flm, head_tmp=None, tail_tmp=None,
               extra_names=(), frame=tracer_frame):
    """A movie of one initMovieClip block around `count` methods, and a frame
    for the tracer: its .flm and .tmp lines, the lines up to the block's end
    as the .fln has them before any island, and the .fln's lines after."""
    head_tmp = head_flm if head_tmp is None else head_tmp
    tail_tmp = tail_flm if tail_tmp is None else tail_tmp
    body_flm, body_tmp = methods(count, indent)
    names = [method_name(k) for k in range(count)] + list(extra_names)
    frame_flm, frame_tmp, frame_fln = frame(names)
    flm = [MOVIE, ""] + head_flm + body_flm + tail_flm + frame_flm + ["end"]
    tmp = [MOVIE] + head_tmp + body_tmp + tail_tmp + frame_tmp + ["end"]
    block = [MOVIE] + head_tmp + body_tmp + tail_tmp
    return flm, tmp, block, frame_fln + ["end"]


def retarget(lines, branch_line, hop):
    lines[lines.index(branch_line)] = branch_line.replace("label1", hop)


def guard_cases():
    """`if (!C) { methods }`: a branch at byte 9 (push 'C' 6, getVariable 1,
    two nots) over the methods, its jump starting from byte 14."""
    for case, count in (("island_over_a_class_guard", 250), ("islands_in_a_chain", 500)):
        flm, tmp, fln, after = block_case(
            count, "    ",
            ["  initMovieClip 1", "    push 'C'", "    getVariable", "    not",
             "    not", "    branchIfTrue label1"],
            ["   label1:", "  end // of initMovieClip 1"])
        # Method k starts at 14 + 137k. The first jump starts at 9 and may
        # land at most 32,255 on: at 32,264 or before. The last line boundary
        # there is the function2 line of method 235 (14 + 137 * 235 + 11 =
        # 32,220; method 236 starts at 32,346). Its hop is at 32,225.
        retarget(fln, "    branchIfTrue label1", "vimbrel_hop1")
        first = tmp_index_of(fln, "    function2 () ()", 235)
        if count == 250:
            # Then label1 is at 14 + 137 * 250 + 10 = 34,264: 2,034 from the
            # island's jump (32,225 + 5).
            fln = insert_before(fln, first, island(1, "    ", "label1"))
        else:
            # From 32,225 the next hop may be at 64,480 or before; lines after
            # the first island stand 10 bytes later. Method 470's function2
            # line is at 14 + 137 * 470 + 11 + 10 = 64,425 (method 471 starts
            # at 64,551). label1 then is at 14 + 137 * 500 + 20 = 68,534:
            # 4,099 from that hop's jump (64,430 + 5).
            second = tmp_index_of(fln, "    function2 () ()", 470)
            fln = insert_before(fln, second, island(2, "    ", "label1"))
            fln = insert_before(fln, first, island(1, "    ", "vimbrel_hop2"))
        write_case(case, flm, tmp, fln + after, "")


def labels_case():
    """island_over_a_class_guard in a movie whose frame defines labels of
    the forms vimbrel writes, vimbrel_hop1 and vimbrel_tracer_ready (a text
    traced before has such): the islands and the tracer's labels, all of
    them, take the prefix vimbrel2_ instead, so that no label is defined
    twice. Pass one writes the tracer before it has seen those labels, so
    the .tmp has its usual labels; the .fln's are the ones flasm sees.
    Labels are no bytes, so the islands stand where they do there."""
    own = ["   vimbrel_hop1:", "   vimbrel_tracer_ready:"]
    frame = lambda names: tracer_frame(names, own, "@PROLOGUE labels=vimbrel2_")
    flm, tmp, fln, after = block_case(
        250, "    ",
        ["  initMovieClip 1", "    push 'C'", "    getVariable", "    not",
         "    not", "    branchIfTrue label1"],
        ["   label1:", "  end // of initMovieClip 1"], frame=frame)
    retarget(fln, "    branchIfTrue label1", "vimbrel2_hop1")
    first = tmp_index_of(fln, "    function2 () ()", 235)
    fln = insert_before(fln, first, island(1, "    ", "label1", "vimbrel2_"))
    write_case("islands_and_tracer_labels_apart_from_the_movies", flm, tmp,
               fln + after, "")


def loop_case():
    """A loop back over 250 methods: label1 at byte 0, the methods from 0,
    then push 'C' (6) and getVariable (1): the branch at 34,257."""
    flm, tmp, fln, after = block_case(
        250, "    ", ["  initMovieClip 1", "   label1:"],
        ["    push 'C'", "    getVariable", "    branchIfTrue label1",
         "  end // of initMovieClip 1"])
    # An island before the branch moves it to 34,267: its hop must be at
    # 34,272 - 32,256 = 2,016 or after. Method 14 starts at 1,918; its
    # function2 line at 1,929 and its setMember at 2,054: the first boundary
    # far enough on. From that hop (2,059) back to label1 is -2,064.
    retarget(fln, "    branchIfTrue label1", "vimbrel_hop1")
    set_member = tmp_index_of(fln, "    setMember", 14)
    fln = insert_before(fln, set_member, island(1, "    ", "label1"))
    write_case("island_for_a_loop", flm, tmp, fln + after, "")


def function_body_case():
    """The branch stands in a traced function's body, so its islands do:
    function2 outer at 0 (11 + 5), its entry block (54 + 5), push 'C' at 75,
    getVariable, the branch at 82, the methods from 87."""
    flm, tmp, fln, after = block_case(
        250, "      ",
        ["  initMovieClip 1", "    function2 outer () ()", "      push 'C'",
         "      getVariable", "      branchIfTrue label1"],
        ["     label1:", "    end // of function", "  end // of initMovieClip 1"],
        head_tmp=["  initMovieClip 1", "    function2 outer () ()", "@ENTRY outer",
                  "      push 'C'", "      getVariable", "      branchIfTrue label1"],
        tail_tmp=["     label1:", "@EXIT outer", "    end // of function",
                  "  end // of initMovieClip 1"],
        extra_names=["outer"])
    # The hop may be at 82 + 32,255 = 32,337 or before: method 235's
    # function2 line is at 87 + 137 * 235 + 11 = 32,293, method 236 starts
    # at 32,419. label1 then is at 87 + 34,250 + 10 = 34,347: 2,049 on.
    retarget(fln, "      branchIfTrue label1", "vimbrel_hop1")
    first = tmp_index_of(fln, "      function2 () ()", 235)
    fln = insert_before(fln, first, island(1, "      ", "label1"))
    write_case("island_inside_a_function_body", flm, tmp, fln + after, "")


def no_room_case():
    """One function definition fills the span: push 'C' (6), getVariable,
    the branch at 7; push 'big' (8) at 12; function2 at 20 (11), its body
    the entry block (57), 500 methods (68,500) and the exit block (55),
    68,612 bytes, more than a body may hold; setMember and label1 at 68,643.
    The only boundaries in reach are before push 'big' and before the
    function2 line, and no hop from there reaches past the body."""
    head = ["  initMovieClip 1", "    push 'C'", "    getVariable",
            "    branchIfTrue label1", "    push 'big'", "    function2 () ()"]
    tail = ["    end // of function", "    setMember", "   label1:",
            "  end // of initMovieClip 1"]
    flm, tmp, fln, after = block_case(
        500, "      ", head, tail, head_tmp=head + ["@ENTRY big"],
        tail_tmp=["@EXIT big"] + tail, extra_names=["big"])
    # Final line numbers: the movie line is 1, initMovieClip 2, the branch 5
    # and the function2 line 7.
    stderr = ("Warning: a branch or block at line 5 of movie.fln may be too long "
              "for flasm after tracing.\n"
              "Warning: a branch or block at line 7 of movie.fln may be too long "
              "for flasm after tracing.\n")
    write_case("no_room_for_an_island", flm, tmp, fln + after, stderr)


def nothing_needed_case():
    """A branch over 100 methods (13,700 bytes traced) and one over 32,398
    bytes of pushes that tracing leaves as they are: both stay as written."""
    strings = ["    push '%s'" % ("a" * 1000), "    pop"] * 32 + \
              ["    push '%s'" % ("b" * 200), "    pop"]
    flm, tmp, fln, after = block_case(
        100, "    ",
        ["  initMovieClip 1", "    push 'C'", "    getVariable", "    branchIfTrue label1"],
        ["   label1:", "    branch label2"] + strings +
        ["   label2:", "  end // of initMovieClip 1"])
    write_case("spans_that_need_no_island", flm, tmp, fln + after, "")


if __name__ == "__main__":
    guard_cases()
    labels_case()
    loop_case()
    function_body_case()
    no_room_case()
    nothing_needed_case()
