#!/usr/bin/env python3
"""Runs vimbrel.exe under wine: every end-to-end case byte for byte, then
Windows paths, Unicode file names and failures, each failure beside the
Linux build's outcome on the same files.

usage: wine_cases.py VIMBREL_EXE LINUX_VIMBREL"""

import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
GOLDEN = os.path.join(HERE, "..", "golden")
BANNER = (b"Vimbrel.exe - Program for adding trace functionality to FLMs.\n"
          b"               The Vimbrel developers.\n"
          b" Usage:\n"
          b"   vimbrel.exe inputfile.flm - the flm file to add trace statements to.\n"
          b" Output is in inputfile.fln and a temporary file is generated: "
          b"inputfile.tmp.\n")
OPTIONS_HEADING = b" Options, before the file name (-- ends them):\n"
MOVIE = b"frame 0\n  constants 'a'\n  function f ()\n  end // of function\nend\n"

failures = []
passed = 0


def check(what, condition, detail=""):
    global passed
    if condition:
        passed += 1
    else:
        failures.append("%s %s" % (what, detail))
        print("FAILED: %s %s" % (what, detail))


# The blocks as the end-to-end cases write them: @ENTRY, @EXIT, @PROLOGUE...
def block(name, method):
    return ("      push '%s'\n\n\tpush 1, '_global'\n\tgetVariable\n"
            "\tpush '_tracer_'\n\tgetMember\n\tpush '%s'\n\tcallMethod\n\tpop\n"
            % (name, method)).encode("latin-1")


PROLOGUES = {b"@PROLOGUE": "prologue.txt", b"@PROLOGUE_DATE": "prologue_date.txt",
             b"@PROLOGUE_DATE_PLAIN": "prologue_date_plain.txt",
             b"@PROLOGUE_FLUSH": "prologue_flush.txt",
             b"@PROLOGUE_DATE_FLUSH": "prologue_date_flush.txt",
             b"@PROLOGUE_FRAMES": "prologue_frames.txt",
             b"@PROLOGUE_DATE_FLUSH_FRAMES": "prologue_date_flush_frames.txt"}


def expand(text, intermediate):
    out = b""
    for line in text.split(b"\n")[:-1] if text.endswith(b"\n") else text.split(b"\n"):
        if line.startswith(b"@ENTRY "):
            out += block(line[7:].decode("latin-1"), "startTrace")
        elif line.startswith(b"@EXIT "):
            out += block(line[6:].decode("latin-1"), "endTrace")
        elif line == b"@TRACE":
            out += (b"\tdup\n\tpush 1, '_global'\n\tgetVariable\n\tpush '_tracer_'\n"
                    b"\tgetMember\n\tpush 'traceText'\n\tcallMethod\n\tpop\n")
        elif line.split(b" ")[0] in PROLOGUES:
            words = line.split(b" ")
            prologue = open(os.path.join(GOLDEN, PROLOGUES[words[0]]), "rb").read()
            for word in words[1:]:
                if word == b"collecting":
                    prologue = prologue.replace(b"    push FALSE\n", b"    push TRUE\n")
                elif word.startswith(b"traces="):
                    keys = (b"    push '_global'\n    getVariable\n    push '_tracer_'\n"
                            b"    getMember\n    push 'onKeyDown'\n")
                    recorder = open(os.path.join(GOLDEN, word[7:].decode() + ".txt"), "rb").read()
                    prologue = prologue.replace(keys, recorder + keys, 1)
                elif word.startswith(b"labels="):
                    prefix = word[7:]
                    prologue = prologue.replace(b"vimbrel_tracer_ready", prefix + b"tracer_ready")
                    for label in (b"label10000000", b"label1000001", b"label1000002",
                                  b"label1000003", b"label1000004"):
                        prologue = prologue.replace(label, prefix + label)
            out += prologue
        else:
            out += line + b"\n"
    if intermediate:
        return out
    return b"".join(l + b"\n" for l in out.split(b"\n") if l.strip(b" \t"))


def wine(exe, args, cwd, user=None):
    env = dict(os.environ, WINEDEBUG="-all")
    command = ["wine", exe] + args
    if user:
        env.update(HOME=user, WINEPREFIX=os.path.join(user, "wine"))
        command = ["setpriv", "--reuid=65534", "--regid=65534",
                   "--clear-groups"] + command
    # wine itself now and then fails in one of its own helper processes and
    # says so on standard error ("wine: Unhandled page fault ... starting
    # debugger"), at times taking the run with it. vimbrel writes no line
    # that begins so: such a run is tried again.
    for attempt in range(3):
        run = subprocess.run(command, cwd=cwd, env=env, capture_output=True)
        lines = run.stderr.splitlines(keepends=True)
        wine_said = [line for line in lines if line.startswith(b"wine: ")]
        if not wine_said:
            return run
        print("wine reported, attempt %d: %r" % (attempt + 1, b"".join(wine_said)))
    run.stderr = b"".join(line for line in lines if not line.startswith(b"wine: "))
    return run


def linux(binary, args, cwd, user=None):
    command = [binary] + args
    if user:
        command = ["setpriv", "--reuid=65534", "--regid=65534",
                   "--clear-groups"] + command
    return subprocess.run(command, cwd=cwd, capture_output=True)


def windows_path(path):
    """A folder of this machine as wine names it: on drive Z:."""
    return "Z:" + path.replace("/", "\\")


def golden_cases(exe):
    for case in sorted(os.listdir(GOLDEN)):
        folder = os.path.join(GOLDEN, case)
        if not os.path.isdir(folder):
            continue
        with tempfile.TemporaryDirectory() as work:
            shutil.copy(os.path.join(folder, "movie.flm"), work)
            options = []
            if os.path.exists(os.path.join(folder, "arguments")):
                options = open(os.path.join(folder, "arguments")).read().split("\n")
            run = wine(exe, [option for option in options if option] + ["movie.flm"], work)
            expected = lambda name: open(os.path.join(folder, name), "rb").read()
            got = lambda name: open(os.path.join(work, name), "rb").read()
            check("golden %s status" % case, run.returncode == 0, str(run.returncode))
            check("golden %s stdout" % case, run.stdout == b"")
            check("golden %s stderr" % case, run.stderr == expected("stderr"),
                  repr(run.stderr[:200]))
            check("golden %s .tmp" % case, got("movie.tmp") == expand(expected("movie.tmp"), True))
            check("golden %s .fln" % case, got("movie.fln") == expand(expected("movie.fln"), False))


def success(input_name, final_name):
    return ("Finished first pass at processing %s.\n"
            "Finished second pass. Saved new flasm to %s.\nShutting down...\n"
            % (input_name, final_name)).encode("utf-8")


def path_cases(exe):
    with tempfile.TemporaryDirectory() as work:
        os.mkdir(os.path.join(work, "x.flm"))
        os.mkdir(os.path.join(work, "sub"))
        for place in ("movie.flm", "x.flm/movie.flm", "sub/movie.flm"):
            open(os.path.join(work, place), "wb").write(MOVIE)
        here = windows_path(work)
        cases = [
            ("backslash folder", "x.flm\\movie.flm", "x.flm\\movie.fln", "x.flm/movie"),
            ("forward slash folder", "sub/movie.flm", "sub/movie.fln", "sub/movie"),
            ("drive letter, absolute", here + "\\x.flm\\movie.flm",
             here + "\\x.flm\\movie.fln", "x.flm/movie"),
            ("drive letter, relative", "Z:movie.flm", "Z:movie.fln", "movie"),
            ("extended-length path", "\\\\?\\" + here + "\\sub\\movie.flm",
             "\\\\?\\" + here + "\\sub\\movie.fln", "sub/movie"),
        ]
        for what, argument, final_name, stem in cases:
            for ending in (".tmp", ".fln"):
                path = os.path.join(work, stem + ending)
                if os.path.exists(path):
                    os.remove(path)
            run = wine(exe, [argument], work)
            check("path %s status" % what, run.returncode == 0, str(run.returncode))
            check("path %s messages" % what, run.stderr == success(argument, final_name),
                  repr(run.stderr))
            check("path %s outputs beside the input" % what,
                  os.path.exists(os.path.join(work, stem + ".tmp")) and
                  os.path.exists(os.path.join(work, stem + ".fln")))
        run = wine(exe, ["maps.flm\\movie"], work)
        check("path .flm only in a folder name: banner", run.stderr == BANNER, repr(run.stderr))
        check("path .flm only in a folder name: status 2", run.returncode == 2)
        run = wine(exe, ["--help"], work)
        check("--help: the banner and the options on standard output",
              run.stdout.startswith(BANNER + OPTIONS_HEADING) and
              b"--collect-from-start" in run.stdout and run.returncode == 0,
              repr(run.stdout))


def name_cases(exe):
    for name in ("日本語", "café", "movie with spaces"):
        with tempfile.TemporaryDirectory() as work:
            open(os.path.join(work, name + ".flm"), "wb").write(MOVIE)
            run = wine(exe, [name + ".flm"], work)
            check("name %s status" % name, run.returncode == 0, str(run.returncode))
            check("name %s messages in UTF-8" % name,
                  run.stderr == success(name + ".flm", name + ".fln"), repr(run.stderr))
            check("name %s outputs" % name,
                  os.path.exists(os.path.join(work, name + ".tmp")) and
                  os.path.exists(os.path.join(work, name + ".fln")))


def failure_cases(exe, linux_binary):
    """Each failure as on Linux: the same message and status."""
    def compare(what, prepare, argument, expected, user=None):
        outcomes = []
        for runner, binary in ((wine, exe), (linux, linux_binary)):
            with tempfile.TemporaryDirectory() as work:
                prepare(work)
                if user:
                    os.chmod(work, 0o777)
                outcomes.append(runner(binary, [argument], work, user))
        windows, native = outcomes
        check("failure %s status 1" % what, windows.returncode == 1, str(windows.returncode))
        check("failure %s message" % what, windows.stderr == expected, repr(windows.stderr))
        check("failure %s as on Linux" % what,
              (windows.returncode, windows.stderr) == (native.returncode, native.stderr),
              repr((native.returncode, native.stderr)))

    def input_folder(work):
        os.mkdir(os.path.join(work, "movie.flm"))

    def intermediate_folder(work):
        open(os.path.join(work, "movie.flm"), "wb").write(MOVIE)
        os.mkdir(os.path.join(work, "movie.tmp"))

    def read_only_final(work):
        open(os.path.join(work, "movie.flm"), "wb").write(MOVIE)
        final = os.path.join(work, "movie.fln")
        open(final, "wb").close()
        os.chmod(final, 0o444)

    compare("input is a folder", input_folder, "movie.flm",
            b"Could not open movie.flm. Exiting...\n")
    compare(".tmp is a folder", intermediate_folder, "movie.flm",
            b"Could not create a temporary output file.\n")
    # Root writes to read-only files on Linux and under wine alike.
    user = None
    if os.geteuid() == 0:
        user = tempfile.mkdtemp(prefix="vimbrel-wine-user-")
        os.chown(user, 65534, 65534)
        wine(exe, [], user, user)  # that user's own prefix, set up quietly
    compare("read-only .fln", read_only_final, "movie.flm",
            b"Finished first pass at processing movie.flm.\n"
            b"Could not open the final output file.\n", user)
    if user:
        shutil.rmtree(user, ignore_errors=True)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    exe, linux_binary = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    # The first start of wine sets up its prefix and talks about it.
    wine(exe, [], tempfile.gettempdir())
    golden_cases(exe)
    path_cases(exe)
    name_cases(exe)
    failure_cases(exe, linux_binary)
    print("%d passed, %d failed" % (passed, len(failures)))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
