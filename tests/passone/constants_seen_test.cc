// The first constant pool after a frame line: its names are collected and
// the tracer prologue follows it, once per run.

#include "passone/constants_seen.h"

#include <gtest/gtest.h>

#include <set>

#include "state/run_state.h"
#include "support/blocks.h"
#include "support/golden_files.h"
#include "support/run_state_fixture.h"

namespace {

using Names = std::set<std::string>;

Names CollectedFrom(const std::string& constants_line) {
  reset_run_state("");
  collect_pool_names(constants_line);
  return run_state.constant_names;
}

TEST(PoolNamesTest, PlainNames) {
  EXPECT_EQ(CollectedFrom("    constants 'x', 'y', 'z'  "),
            (Names{"x", "y", "z"}));
}

TEST(PoolNamesTest, EmptyStringIsANameAndShiftsNothing) {
  EXPECT_EQ(CollectedFrom("constants 'o', 'f', '', 'arg'"),
            (Names{"o", "f", "", "arg"}));
}

TEST(PoolNamesTest, EscapedQuotesStayInsideTheName) {
  EXPECT_EQ(CollectedFrom("constants '// get(\\'_x\\')', '_x', 'a\\\\', 'b'"),
            (Names{"// get(\\'_x\\')", "_x", "a\\\\", "b"}));
}

TEST(PoolNamesTest, BlanksInsideNamesAreKept) {
  EXPECT_EQ(CollectedFrom("constants ' Enter ', 'caught '"),
            (Names{" Enter ", "caught "}));
}

TEST(PoolNamesTest, UnclosedLiteralEndsTheList) {
  EXPECT_EQ(CollectedFrom("constants 'a', 'b, 'c'"), (Names{"a", "b, "}));
  EXPECT_EQ(CollectedFrom("constants 'a', 'b"), (Names{"a"}));
}

TEST(PoolNamesTest, PoolWithoutQuotesDeclaresNothing) {
  EXPECT_EQ(CollectedFrom("    constants "), Names{});
}

TEST(PrologueTest, FollowsTheFirstPoolAfterAFrame) {
  std::string input = "frame 0\n    constants 'a', 'b'\npush 'a'\n";
  EXPECT_EQ(run_pass_one(input), "frame 0\n    constants 'a', 'b'\n" +
                                     expected_prologue() + "push 'a'\n");
  EXPECT_EQ(run_state.constants_done, 1);
  EXPECT_EQ(run_state.constant_names, (Names{"a", "b"}));
}

TEST(PrologueTest, WrittenOncePerRun) {
  std::string input =
      "frame 0\nconstants 'a'\nframe 1\nconstants 'b'\nstop\n";
  EXPECT_EQ(run_pass_one(input), "frame 0\nconstants 'a'\n" +
                                     expected_prologue() +
                                     "frame 1\nconstants 'b'\nstop\n");
  EXPECT_EQ(run_state.constant_names, (Names{"a"}));
}

TEST(PrologueTest, FunctionNamesAndPoolNamesAreHeldOnce) {
  std::string input = "function a ()\nend\nframe 0\nconstants 'a', 'c'\n";
  EXPECT_EQ(run_pass_one(input), "function a ()\n" + entry_block("a") +
                                     exit_block("a") + "end\nframe 0\n"
                                     "constants 'a', 'c'\n" +
                                     expected_prologue());
  EXPECT_EQ(run_state.constant_names, (Names{"a", "c"}));
}

TEST(PrologueTest, HasTheShapeOfTheTracer) {
  std::string prologue = expected_prologue();
  int lines = 0, blank = 0;
  std::size_t start = 0;
  while (start < prologue.size()) {
    std::size_t end = prologue.find('\n', start);
    std::string line = prologue.substr(start, end - start);
    ++lines;
    if (line == "    ")
      ++blank;
    start = end + 1;
  }
  // The tracer's 165 lines behind a guard of five and its label.
  EXPECT_EQ(lines, 171);
  EXPECT_EQ(blank, 6);
  EXPECT_EQ(prologue.find("    branchIfTrue vimbrel_tracer_ready\n"), 69u);
  EXPECT_EQ(prologue.substr(prologue.size() - 25),
            "   vimbrel_tracer_ready:\n");
  EXPECT_NE(prologue.find("      branchIfTrue label10000000\n"), std::string::npos);
  EXPECT_NE(prologue.find("     label1000001:\n"), std::string::npos);
  EXPECT_NE(prologue.find("     label1000002:\n"), std::string::npos);
}

}  // namespace
