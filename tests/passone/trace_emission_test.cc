// Where pass one writes its entry and exit blocks, and which name each
// carries.

#include <gtest/gtest.h>

#include "state/run_state.h"
#include "support/blocks.h"
#include "support/run_state_fixture.h"

namespace {

TEST(TraceEmissionTest, RoadOfOneFunction) {
  std::string input =
      "    function myFunc ('a')\n"
      "      push 'a'\n"
      "      getVariable\n"
      "      return\n"
      "    end // of function myFunc\n";
  EXPECT_EQ(run_pass_one(input),
            "    function myFunc ('a')\n" + entry_block("myFunc") +
                "      push 'a'\n"
                "      getVariable\n" +
                exit_block("myFunc") + "      return\n" +
                exit_block("myFunc") + "    end // of function myFunc\n");
  EXPECT_TRUE(run_state.function_stack.empty());
  EXPECT_EQ(run_state.constant_names.count("myFunc"), 1u);
}

TEST(TraceEmissionTest, EveryReturnAndTheEndGetTheName) {
  std::string input = "function f ()\nreturn\nreturn\nend\n";
  EXPECT_EQ(run_pass_one(input), "function f ()\n" + entry_block("f") +
                                     exit_block("f") + "return\n" +
                                     exit_block("f") + "return\n" +
                                     exit_block("f") + "end\n");
}

TEST(TraceEmissionTest, NestedFunctionsCloseInnermostFirst) {
  std::string input =
      "function outer ()\nfunction inner ()\nreturn\nend\nreturn\nend\n";
  EXPECT_EQ(run_pass_one(input),
            "function outer ()\n" + entry_block("outer") +
                "function inner ()\n" + entry_block("inner") +
                exit_block("inner") + "return\n" + exit_block("inner") +
                "end\n" + exit_block("outer") + "return\n" +
                exit_block("outer") + "end\n");
}

TEST(TraceEmissionTest, ReturnAndEndWithNoOpenFunctionAreCopied) {
  EXPECT_EQ(run_pass_one("return\nend // of frame 0\nendX\n"),
            "return\nend // of frame 0\nendX\n");
  EXPECT_TRUE(run_state.function_stack.empty());
}

TEST(TraceEmissionTest, NameDefinedTwiceIsTracedTwiceAndDeclaredOnce) {
  std::string input = "function f ()\nend\nfunction f ()\nend\n";
  EXPECT_EQ(run_pass_one(input),
            "function f ()\n" + entry_block("f") + exit_block("f") + "end\n" +
                "function f ()\n" + entry_block("f") + exit_block("f") +
                "end\n");
  EXPECT_EQ(run_state.constant_names.count("f"), 1u);
  EXPECT_EQ(run_state.entry_blocks_written, 2);
}

TEST(TraceEmissionTest, NamesLeftOpenAtTheEndCauseNoOutput) {
  EXPECT_EQ(run_pass_one("function f ()\n"),
            "function f ()\n" + entry_block("f"));
  ASSERT_EQ(run_state.function_stack.size(), 1u);
  EXPECT_EQ(run_state.function_stack.back().name, "f");
}

TEST(TraceEmissionTest, ReturnOfAPushedStringGetsItsExitBlock) {
  std::string input = "function f ()\npush 'x'\nreturn\nend\n";
  EXPECT_EQ(run_pass_one(input), "function f ()\n" + entry_block("f") +
                                     "push 'x'\n" + exit_block("f") +
                                     "return\n" + exit_block("f") + "end\n");
}

TEST(TraceEmissionTest, EndAfterAPushedStringClosesTheFunction) {
  std::string input = "function f ()\npush 'x'\nend\nfunction g ()\nend\n";
  EXPECT_EQ(run_pass_one(input),
            "function f ()\n" + entry_block("f") + "push 'x'\n" +
                exit_block("f") + "end\n" + "function g ()\n" +
                entry_block("g") + exit_block("g") + "end\n");
  EXPECT_TRUE(run_state.function_stack.empty());
}

TEST(TraceEmissionTest, ReturnDirectlyAfterGetVariable) {
  std::string input = "function f ()\npush 'foo'\ngetVariable\nreturn\nend\n";
  EXPECT_EQ(run_pass_one(input), "function f ()\n" + entry_block("f") +
                                     "push 'foo'\ngetVariable\n" +
                                     exit_block("f") + "return\n" +
                                     exit_block("f") + "end\n");
}

TEST(TraceEmissionTest, EveryBrokenPatternStateHandsOnReturnAndEnd) {
  // Each prefix leaves the recogniser in a different state when the return
  // line comes: after a pushed member, method, 'prototype' and getMember.
  for (const char* prefix :
       {"push 'o'\ngetVariable\npush 'm'\n",
        "push 'C'\ngetVariable\npush 'prototype'\n",
        "push 'C'\ngetVariable\npush 'prototype'\ngetMember\n",
        "push 'C'\ngetVariable\npush 'prototype'\ngetMember\npush 'm'\n"}) {
    std::string input = "function f ()\n" + std::string(prefix) + "return\nend\n";
    EXPECT_EQ(run_pass_one(input), "function f ()\n" + entry_block("f") +
                                       prefix + exit_block("f") + "return\n" +
                                       exit_block("f") + "end\n")
        << prefix;
  }
}

TEST(FrameLineTest, LineAfterAFrameIsNeverLost) {
  EXPECT_EQ(run_pass_one("frame 1\npush 'a'\nfunction  ()\n"),
            "frame 1\npush 'a'\nfunction  ()\n" + entry_block("a"));
  EXPECT_EQ(run_pass_one("frame 1\nfunction g ()\nend\n"),
            "frame 1\nfunction g ()\n" + entry_block("g") + exit_block("g") +
                "end\n");
  EXPECT_EQ(run_pass_one("frame 1\nframe 2\nstop\n"),
            "frame 1\nframe 2\nstop\n");
}

TEST(FrameLineTest, ConstantsNotDirectlyAfterAFrameIsAnOrdinaryLine) {
  EXPECT_EQ(run_pass_one("constants 'a'\nframe 0\nstop\nconstants 'b'\n"),
            "constants 'a'\nframe 0\nstop\nconstants 'b'\n");
  EXPECT_EQ(run_state.constants_done, 0);
}

TEST(NestedBlockTest, EndOfATryInsideABodyKeepsTheFunctionOpen) {
  std::string body =
      "function2 baz (r:1='n') ()\n"
      "  try 'e'\n"
      "    push 'boom'\n"
      "    throw\n"
      "  catch\n"
      "    push 'e'\n"
      "    return\n"
      "  end // of try\n"
      "  push r:2\n"
      "  return\n";
  EXPECT_EQ(run_pass_one(body + "end // of function baz\n"),
            "function2 baz (r:1='n') ()\n" + entry_block("baz") +
                "  try 'e'\n    push 'boom'\n    throw\n  catch\n"
                "    push 'e'\n" + exit_block("baz") + "    return\n"
                "  end // of try\n  push r:2\n" + exit_block("baz") +
                "  return\n" + exit_block("baz") + "end // of function baz\n");
  EXPECT_TRUE(run_state.function_stack.empty());
}

TEST(NestedBlockTest, WithAfterGetVariableAndSetTargetAreNested) {
  std::string input =
      "function f ()\n"
      "push '_root.o'\ngetVariable\nwith\n  push 'foo'\n  return\nend\n"
      "setTarget '_root'\n  stop\nend\n"
      "end // of function f\n";
  EXPECT_EQ(run_pass_one(input),
            "function f ()\n" + entry_block("f") +
                "push '_root.o'\ngetVariable\nwith\n  push 'foo'\n" +
                exit_block("f") + "  return\nend\n"
                "setTarget '_root'\n  stop\nend\n" + exit_block("f") +
                "end // of function f\n");
}

TEST(NestedBlockTest, FunctionEndMarkDiscardsOpenBlocks) {
  std::string input =
      "function f ()\nifFrameLoaded 3\nend // of function f\nend\n";
  EXPECT_EQ(run_pass_one(input), "function f ()\n" + entry_block("f") +
                                     "ifFrameLoaded 3\n" + exit_block("f") +
                                     "end // of function f\nend\n");
  EXPECT_TRUE(run_state.function_stack.empty());
}

TEST(NestedBlockTest, OpenersCountOnlyInsideAFunctionAndOnlyWhole) {
  // Outside a body the end of a with block is an ordinary end.
  EXPECT_EQ(run_pass_one("with\nend\n"), "with\nend\n");
  // "tryX" is no try.
  std::string input = "function f ()\ntryX\nend\n";
  EXPECT_EQ(run_pass_one(input), "function f ()\n" + entry_block("f") +
                                     "tryX\n" + exit_block("f") + "end\n");
}

TEST(NestedBlockTest, BlocksBelongToTheirOwnFunction) {
  std::string input =
      "function outer ()\ntry\nfunction inner ()\nend\nend // of try\n"
      "end // of function outer\n";
  EXPECT_EQ(run_pass_one(input),
            "function outer ()\n" + entry_block("outer") + "try\n" +
                "function inner ()\n" + entry_block("inner") +
                exit_block("inner") + "end\n" + "end // of try\n" +
                exit_block("outer") + "end // of function outer\n");
}

}  // namespace
