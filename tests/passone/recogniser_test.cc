// How pass one names functions: the input lines and the exact intermediate
// text that follows from them.

#include <gtest/gtest.h>

#include "state/run_state.h"
#include "support/blocks.h"
#include "support/run_state_fixture.h"

namespace {

TEST(NamingTest, NamedFunction) {
  EXPECT_EQ(run_pass_one("    function foo ('a')\n"),
            "    function foo ('a')\n" + entry_block("foo"));
}

TEST(NamingTest, FunctionStoredUnderPushedName) {
  EXPECT_EQ(run_pass_one("push 'bar'\nfunction  ()\n"),
            "push 'bar'\nfunction  ()\n" + entry_block("bar"));
  EXPECT_EQ(run_state.anonymous_count, 0);
}

TEST(NamingTest, AnonymousFunctionsAreNumberedOverTheRun) {
  std::string input = "function  ()\nend\nfunction2 () (r:1='this')\nend\n";
  EXPECT_EQ(run_pass_one(input),
            "function  ()\n" + entry_block("anon0") + exit_block("anon0") +
                "end\n" + "function2 () (r:1='this')\n" +
                entry_block("anon1") + exit_block("anon1") + "end\n");
}

TEST(NamingTest, MemberFunction) {
  std::string input = "push 'obj'\ngetVariable\npush 'm'\nfunction  ()\n";
  EXPECT_EQ(run_pass_one(input), input + entry_block("obj.m"));
}

TEST(NamingTest, PrototypeMethod) {
  std::string input =
      "push 'Cls'\ngetVariable\npush 'prototype'\ngetMember\npush 'm'\n"
      "function  ('a')\n";
  EXPECT_EQ(run_pass_one(input), input + entry_block("Cls.m"));
}

TEST(NamingTest, ThisStandsForTheInnermostFunction) {
  std::string method =
      "push 'Cls'\ngetVariable\npush 'prototype'\ngetMember\npush 'm'\n"
      "function  ()\n";
  std::string member = "push 'this'\ngetVariable\npush 'onLoad'\nfunction  ()\n";
  EXPECT_EQ(run_pass_one(method + member),
            method + entry_block("Cls.m") + member +
                entry_block("Cls.m.onLoad"));
}

TEST(NamingTest, ThisOutsideAnyFunctionIsRoot) {
  std::string member = "push 'this'\ngetVariable\npush 'onLoad'\nfunction  ()\n";
  EXPECT_EQ(run_pass_one(member), member + entry_block("_root.onLoad"));
  EXPECT_EQ(run_pass_one("push 'this'\nfunction  ()\n"),
            "push 'this'\nfunction  ()\n" + entry_block("_root"));
}

TEST(NamingTest, ThisDirectlyBeforeAFunctionNamesTheEnclosingOne) {
  std::string input = "function outer ()\npush 'this'\nfunction  ()\n";
  EXPECT_EQ(run_pass_one(input), "function outer ()\n" + entry_block("outer") +
                                     "push 'this'\nfunction  ()\n" +
                                     entry_block("outer"));
}

TEST(NamingTest, ThisIsReplacedOnlyWhenPushedFirst) {
  std::string input = "push 'obj'\ngetVariable\npush 'this'\nfunction  ()\n";
  EXPECT_EQ(run_pass_one(input), input + entry_block("obj.this"));
}

TEST(NamingTest, PushedNameWinsOverTheFunctionsOwnName) {
  EXPECT_EQ(run_pass_one("push 'x'\nfunction foo ()\n"),
            "push 'x'\nfunction foo ()\n" + entry_block("x"));
  EXPECT_EQ(run_state.anonymous_count, 0);
}

TEST(NamingTest, FunctionLineWithoutSecondTokenHasTheEmptyName) {
  EXPECT_EQ(run_pass_one("function\n"), "function\n" + entry_block(""));
}

TEST(NamingTest, QuotedFunctionNameIsReadAsALiteral) {
  EXPECT_EQ(run_pass_one("function2 '/:f1' () (r:1='_root')\n"),
            "function2 '/:f1' () (r:1='_root')\n" + entry_block("/:f1"));
  EXPECT_EQ(run_pass_one("function 'my name' ()\n"),
            "function 'my name' ()\n" + entry_block("my name"));
  // Without its closing quote the token itself is the name, escaped so
  // that the push line still assembles.
  EXPECT_EQ(run_pass_one("function 'broken ()\n"),
            "function 'broken ()\n" + entry_block("\\'broken"));
}

TEST(NamingTest, BareNameWithQuoteOrBackslashIsEscaped) {
  EXPECT_EQ(run_pass_one("function it's ()\n"),
            "function it's ()\n" + entry_block("it\\'s"));
  EXPECT_EQ(run_pass_one("function a\\ ()\n"),
            "function a\\ ()\n" + entry_block("a\\\\"));
}

TEST(NamingTest, OnlyTheFirstPushedValueCountsAndIsReadWhole) {
  EXPECT_EQ(run_pass_one("push 'a', 'b'\nfunction  ()\n"),
            "push 'a', 'b'\nfunction  ()\n" + entry_block("a"));
  EXPECT_EQ(run_pass_one("push 'ab cd'\nfunction  ()\n"),
            "push 'ab cd'\nfunction  ()\n" + entry_block("ab cd"));
  EXPECT_EQ(run_pass_one("push 'it\\'s'\nfunction  ()\n"),
            "push 'it\\'s'\nfunction  ()\n" + entry_block("it\\'s"));
}

TEST(NamingTest, PushOfNoStringIsNoCandidate) {
  // A number first, an empty string, an unclosed literal, nothing at all:
  // each function line that follows is anonymous.
  for (const char* push : {"push 1, 'x'", "push ''", "push 'abc", "push",
                           "push r:2"}) {
    std::string input = std::string(push) + "\nfunction  ()\n";
    EXPECT_EQ(run_pass_one(input), input + entry_block("anon0")) << push;
  }
}

TEST(NamingTest, OneLetterNameIsACandidate) {
  EXPECT_EQ(run_pass_one("push 'a'\nfunction  ()\n"),
            "push 'a'\nfunction  ()\n" + entry_block("a"));
}

TEST(NamingTest, PrototypePushedFirstIsAnOrdinaryName) {
  EXPECT_EQ(run_pass_one("push 'prototype'\nfunction  ()\n"),
            "push 'prototype'\nfunction  ()\n" + entry_block("prototype"));
}

TEST(NamingTest, PrototypeTestLooksAtTheWholeString) {
  std::string with_comma =
      "push 'C'\ngetVariable\npush 'prototype', 1\ngetMember\npush 'm'\n"
      "function  ()\n";
  EXPECT_EQ(run_pass_one(with_comma), with_comma + entry_block("C.m"));
  std::string longer =
      "push 'C'\ngetVariable\npush 'prototypes'\nfunction  ()\n";
  EXPECT_EQ(run_pass_one(longer), longer + entry_block("C.prototypes"));
}

TEST(NamingTest, KeywordsAreTestedAsPrefixes) {
  EXPECT_EQ(run_pass_one("functionX foo\n"), "functionX foo\n" +
                                                 entry_block("foo"));
  EXPECT_EQ(run_pass_one("pushes 'p'\nfunction  ()\n"),
            "pushes 'p'\nfunction  ()\n" + entry_block("p"));
  // A keyword further inside the token is no keyword.
  EXPECT_EQ(run_pass_one("xfunction foo\nxend\n"), "xfunction foo\nxend\n");
}

TEST(NamingTest, BrokenPatternFallsBackToScansTests) {
  // push 'a' then push 'b': the second push is a new candidate.
  EXPECT_EQ(run_pass_one("push 'a'\npush 'b'\nfunction  ()\n"),
            "push 'a'\npush 'b'\nfunction  ()\n" + entry_block("b"));
  // A member pattern broken by a function line still traces that function.
  std::string input = "push 'o'\ngetVariable\nfunction f ()\n";
  EXPECT_EQ(run_pass_one(input),
            "push 'o'\ngetVariable\nfunction f ()\n" + entry_block("f"));
  // getMember breaks a member pattern; the push after it starts a new one.
  input = "push 'o'\ngetVariable\npush 'p'\ngetMember\npush 'q'\nfunction  ()\n";
  EXPECT_EQ(run_pass_one(input), input + entry_block("q"));
}

TEST(NamingTest, NameOfABrokenPatternDoesNotLeakIntoTheNextFunction) {
  std::string input = "push 'x'\ntrace\nfunction  ()\n";
  EXPECT_EQ(run_pass_one(input), input + entry_block("anon0"));
}

TEST(NamingTest, EndOfInputInsideAPatternWritesNothingMore) {
  for (const char* input :
       {"push 'x'\n", "push 'o'\ngetVariable\n", "push 'o'\ngetVariable\npush 'm'\n",
        "push 'C'\ngetVariable\npush 'prototype'\n",
        "push 'C'\ngetVariable\npush 'prototype'\ngetMember\n",
        "push 'C'\ngetVariable\npush 'prototype'\ngetMember\npush 'm'\n",
        "frame 0\n"}) {
    EXPECT_EQ(run_pass_one(input), input);
  }
}

}  // namespace
