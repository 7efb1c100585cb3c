// Inputs nobody has looked at and failing disks: vimbrel must not crash,
// must not report a failure as success, must lose no line and must leave
// its input as it was.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "passone/templates.h"
#include "support/binary_runner.h"
#include "support/output_properties.h"

namespace {

namespace fs = std::filesystem;

const char kSuccess[] =
    "Finished first pass at processing movie.flm.\n"
    "Finished second pass. Saved new flasm to movie.fln.\n"
    "Shutting down...\n";

struct Outcome {
  RunResult run;
  std::string intermediate;
  std::string final_output;
};

// Whatever the movie's version: the default clock's code is one for all.
const char* const* const kTimerPrologue =
    prologue_template_for(Clock::kGetTimer, -1);

// Runs vimbrel on `content` as movie.flm and checks what must always hold.
Outcome RunOn(const TempDir& dir, const std::string& content) {
  write_file(dir.file("movie.flm"), content);
  Outcome outcome;
  outcome.run = run_vimbrel(dir.path(), {"movie.flm"});
  outcome.intermediate = read_file(dir.file("movie.tmp"));
  outcome.final_output = read_file(dir.file("movie.fln"));
  EXPECT_EQ(outcome.run.status, 0);
  EXPECT_TRUE(read_file(dir.file("movie.flm")) == content)
      << "the input file changed";
  EXPECT_EQ(check_rewrite_properties(content, outcome.intermediate,
                                     outcome.final_output, kTimerPrologue),
            "");
  return outcome;
}

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes)
    byte = static_cast<char>(generator() & 0xff);
  return bytes;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + what.size()))
    ++count;
  return count;
}

TEST(BadInputTest, RandomBytes) {
  TempDir dir;
  for (unsigned seed : {1u, 2u, 3u}) {
    Outcome outcome = RunOn(dir, RandomBytes(1 << 20, seed));
    EXPECT_EQ(outcome.run.standard_error.find("Finished second pass"),
              outcome.run.standard_error.rfind("Finished second pass"));
  }
}

TEST(BadInputTest, RandomFlasmLikeText) {
  // Keywords and quotes in random order reach every state of both passes.
  const char* const words[] = {"frame",  "constants", "function", "function2",
                               "push",   "'a'",       "'this'",   "'prototype'",
                               "getVariable", "getMember", "end",  "return",
                               "try",    "with",      "//",       "of",
                               "()",     "'x y'",     "''",       "\r",
                               "\t",     " ",         "'\\''",    ","};
  std::mt19937 generator(7);
  std::string text;
  for (int i = 0; i < 200000; ++i) {
    unsigned pick = generator() % (sizeof words / sizeof *words + 3);
    text += pick < sizeof words / sizeof *words ? words[pick]
                                                : (pick % 2 ? "\n" : " ");
  }
  TempDir dir;
  RunOn(dir, text);
}

TEST(BadInputTest, NulBytesAreCopiedNotCut) {
  TempDir dir;
  std::string input("frame 0\n\0\0\0\npush '\0'\nfunction\0 f\0 ()\n\0end\n",
                    41);
  Outcome outcome = RunOn(dir, input);
  EXPECT_NE(outcome.final_output.find(std::string("push '\0'\n", 9)),
            std::string::npos);
}

TEST(BadInputTest, FiftyMegabytesOnOneLineWithoutNewline) {
  TempDir dir;
  std::string line = "push '" + std::string(50 << 20, 'x') + "'";
  Outcome outcome = RunOn(dir, line);
  EXPECT_EQ(outcome.run.standard_error, kSuccess);
  EXPECT_EQ(outcome.final_output, line + "\n");
}

TEST(BadInputTest, TwoHundredThousandNestedFunctions) {
  const int depth = 200000;
  std::string input;
  for (int i = 0; i < depth; ++i)
    input += "function f" + std::to_string(i) + " ()\n";
  for (int i = 0; i < depth; ++i)
    input += "end\n";
  TempDir dir;
  Outcome outcome = RunOn(dir, input);
  EXPECT_EQ(Count(outcome.intermediate, "\tpush 'startTrace'\n"),
            std::size_t(depth));
  EXPECT_EQ(Count(outcome.intermediate, "\tpush 'endTrace'\n"),
            std::size_t(depth));
  // The innermost closes first, the outermost last.
  std::size_t last_exit = outcome.intermediate.rfind("      push '");
  EXPECT_EQ(outcome.intermediate.compare(last_exit, 17, "      push 'f0'\n\n"),
            0);
}

TEST(BadInputTest, HundredThousandAnonymousFunctionsNeverShareANumber) {
  const int count = 100000;
  std::string input;
  for (int i = 0; i < count; ++i)
    input += "function  ()\nend\n";
  TempDir dir;
  Outcome outcome = RunOn(dir, input);
  EXPECT_EQ(Count(outcome.intermediate, "      push 'anon"),
            std::size_t(2 * count));
  for (int i : {0, 1, 9999, 50000, count - 1}) {
    EXPECT_EQ(Count(outcome.intermediate,
                    "      push 'anon" + std::to_string(i) + "'\n"),
              2u)
        << i;
  }
  EXPECT_EQ(Count(outcome.intermediate, "push 'anon100000'"), 0u);
}

TEST(BadInputTest, LinesOfOnlySpacesAndTabs) {
  TempDir dir;
  Outcome outcome = RunOn(dir, " \t \n\t\n   \n\n\t\t");
  EXPECT_EQ(outcome.run.standard_error, kSuccess);
  EXPECT_EQ(outcome.intermediate, "");
  EXPECT_EQ(outcome.final_output, "");
}

TEST(BadInputTest, CrlfFileGivesTheSameTextAsLf) {
  std::string lf =
      "frame 0\n  constants 'bar'\n  push 'bar'\n  function  ()\n"
      "    push 'x'\n    return\n  end // of function\n";
  std::string crlf;
  for (char c : lf)
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  TempDir lf_dir, crlf_dir;
  Outcome from_lf = RunOn(lf_dir, lf);
  Outcome from_crlf = RunOn(crlf_dir, crlf);
  EXPECT_EQ(from_crlf.intermediate, from_lf.intermediate);
  EXPECT_EQ(from_crlf.final_output, from_lf.final_output);
  EXPECT_EQ(from_lf.final_output.find('\r'), std::string::npos);
}

TEST(BadInputTest, InputThroughASymbolicLink) {
  TempDir dir;
  fs::create_directory(dir.file("real"));
  std::string input = "function f ()\nend\n";
  write_file(dir.file("real/movie.flm"), input);
  fs::create_symlink("real/movie.flm", dir.file("link.flm"));
  RunResult run = run_vimbrel(dir.path(), {"link.flm"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(read_file(dir.file("real/movie.flm")), input);
  EXPECT_EQ(check_rewrite_properties(input, read_file(dir.file("link.tmp")),
                                     read_file(dir.file("link.fln")),
                                     kTimerPrologue),
            "");
}

TEST(BadInputTest, OutputNamesThatLinkToTheInputAreRefused) {
  std::string input = "function f ()\nend\n";
  {
    TempDir dir;
    write_file(dir.file("movie.flm"), input);
    fs::create_symlink("movie.flm", dir.file("movie.tmp"));
    RunResult run = run_vimbrel(dir.path(), {"movie.flm"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.standard_error, "Could not create a temporary output file.\n");
    EXPECT_EQ(read_file(dir.file("movie.flm")), input);
  }
  for (const char* target : {"movie.flm", "movie.tmp"}) {
    TempDir dir;
    write_file(dir.file("movie.flm"), input);
    fs::create_symlink(target, dir.file("movie.fln"));
    RunResult run = run_vimbrel(dir.path(), {"movie.flm"});
    EXPECT_EQ(run.status, 1) << target;
    EXPECT_EQ(run.standard_error,
              "Finished first pass at processing movie.flm.\n"
              "Warning: no frame line in movie.flm; "
              "the tracer will not be created.\n"
              "Could not open the final output file.\n")
        << target;
    EXPECT_EQ(read_file(dir.file("movie.flm")), input) << target;
  }
}

// A run that could not write `file`: reported, a failure, input untouched.
void ExpectWriteFailure(const TempDir& dir, const RunResult& run,
                        const std::string& file, const std::string& input) {
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.standard_error.find("Could not write " + file + ".\n"),
            std::string::npos);
  EXPECT_EQ(run.standard_error.find("Finished second pass"), std::string::npos);
  EXPECT_EQ(read_file(dir.file("movie.flm")), input);
}

TEST(BadInputTest, DiskFullDuringPassOneAndPassTwo) {
  std::string input;
  for (int i = 0; i < 20000; ++i)
    input += "function f ()\n  push 'x'\n  return\nend\n";
  {
    TempDir dir;
    write_file(dir.file("movie.flm"), input);
    ExpectWriteFailure(dir,
                       run_vimbrel(dir.path(), {"movie.flm"},
                                   "trap '' XFSZ; ulimit -f 512;"),
                       "movie.tmp", input);
  }
  {
    TempDir dir;
    write_file(dir.file("movie.flm"), input);
    fs::create_symlink("/dev/full", dir.file("movie.fln"));
    ExpectWriteFailure(dir, run_vimbrel(dir.path(), {"movie.flm"}),
                       "movie.fln", input);
  }
}

}  // namespace
