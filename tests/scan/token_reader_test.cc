#include "scan/token_reader.h"

#include <gtest/gtest.h>

#include "scan/keywords.h"
#include "scan/line_table.h"
#include "state/run_state.h"
#include "support/run_state_fixture.h"

namespace {

struct Read {
  int result;
  std::string token;
};

Read Next(int new_line) {
  std::string_view token = "untouched";
  int result = read_token(token, new_line);
  return {result, std::string(token)};
}

void ExpectToken(int new_line, const std::string& expected) {
  Read read = Next(new_line);
  EXPECT_EQ(read.result, 1);
  EXPECT_EQ(read.token, expected);
}

TEST(TokenReaderTest, HandsOutTokensWithinAndAcrossLines) {
  reset_run_state("    push '_global'\n\n    getVariable\n");
  ExpectToken(1, "push");
  ExpectToken(0, "'_global'");
  emit_line();
  ExpectToken(0, "");  // the line has no more tokens
  ExpectToken(0, "getVariable");
  EXPECT_EQ(written_output(), "    push '_global'\n");
}

TEST(TokenReaderTest, NewLineAbandonsTheRestOfTheLine) {
  reset_run_state("push 'a', 'b'\nend\n");
  ExpectToken(1, "push");
  ExpectToken(1, "end");
}

TEST(TokenReaderTest, BlankLinesAreSkippedAndNeverWritten) {
  reset_run_state("a\n \t \n\n\t\nb\n");
  ExpectToken(1, "a");
  ExpectToken(1, "b");
  emit_line();
  EXPECT_EQ(written_output(), "b\n");
}

TEST(TokenReaderTest, EndOfInputLeavesTokenUntouched) {
  reset_run_state("");
  Read read = Next(1);
  EXPECT_EQ(read.result, -1);
  EXPECT_EQ(read.token, "untouched");
  reset_run_state("\n  \n\t\n");
  EXPECT_EQ(Next(1).result, -1);
  EXPECT_FALSE(run_state.cursor);
}

TEST(TokenReaderTest, GetVariableLineThenEmptyTokenThenNextLine) {
  reset_run_state("    getVariable\n    push 'x'\n");
  ExpectToken(1, "getVariable");
  ExpectToken(0, "");
  ExpectToken(0, "push");
}

TEST(TokenReaderTest, LastLineWithoutNewlineIsReadAndWrittenWithOne) {
  reset_run_state("first\nlast");
  ExpectToken(1, "first");
  ExpectToken(1, "last");
  emit_line();
  EXPECT_EQ(Next(1).result, -1);
  EXPECT_EQ(written_output(), "last\n");
}

TEST(TokenReaderTest, NulIsAnOrdinaryCharacterAndNothingIsCut) {
  std::string input("push 'a\0b' x\n", 13);
  reset_run_state(input);
  ExpectToken(1, "push");
  ExpectToken(0, std::string("'a\0b'", 5));
  emit_line();
  EXPECT_EQ(written_output(), input);
}

TEST(TokenReaderTest, CarriageReturnBeforeLineEndBelongsToTheLineEnd) {
  reset_run_state("push 'bar'\r\n\r\nend\r\n");
  ExpectToken(1, "push");
  ExpectToken(0, "'bar'");
  emit_line();
  ExpectToken(1, "end");
  emit_line();
  EXPECT_EQ(written_output(), "push 'bar'\nend\n");
}

TEST(TokenReaderTest, CarriageReturnElsewhereIsKept) {
  reset_run_state("a\rb c\r\r\n");
  ExpectToken(1, "a\rb");
  ExpectToken(0, "c\r");
  emit_line();
  EXPECT_EQ(written_output(), "a\rb c\r\n");
}

TEST(TokenReaderTest, TokenOffsetPointsIntoTheLine) {
  reset_run_state("  push 'ab cd'\n");
  ExpectToken(1, "push");
  EXPECT_EQ(current_token_offset(), 2u);
  ExpectToken(0, "'ab");
  EXPECT_EQ(current_token_offset(), 7u);
}

TEST(TokenReaderTest, EmitLineAddsExactlyOneNewline) {
  reset_run_state("");
  emit_line("text");
  emit_line("ends in newline\n");
  emit_line(std::string("x"));
  EXPECT_EQ(written_output(), "text\nends in newline\n\nx\n");
}

TEST(LineTableTest, CountEntriesStopsAtTheNullPointer) {
  const char* const empty[] = {nullptr};
  const char* const three[] = {"a", "b", "", nullptr};
  EXPECT_EQ(count_entries(empty), 0);
  EXPECT_EQ(count_entries(three), 3);
  reset_run_state("");
  emit_lines(three);
  EXPECT_EQ(written_output(), "a\nb\n\n");
}

TEST(KeywordTest, MatchesByPrefixOnly) {
  EXPECT_TRUE(token_matches("function", FunctionLine));
  EXPECT_TRUE(token_matches("function2", FunctionLine));
  EXPECT_TRUE(token_matches("pushes", PushLine));
  EXPECT_TRUE(token_matches("frameset", FrameSeen));
  EXPECT_TRUE(token_matches("constantsX", RewriteConstants));
  EXPECT_TRUE(token_matches("'prototype',", PrototypePushed));
  EXPECT_FALSE(token_matches("'prototyp'", PrototypePushed));
  EXPECT_FALSE(token_matches("afunction", FunctionLine));
  EXPECT_FALSE(token_matches("Function", FunctionLine));
  EXPECT_FALSE(token_matches("", FunctionEnd));
  EXPECT_FALSE(token_matches("", NamePushed));
}

TEST(KeywordTest, StatesWithoutKeywordMatchNothing) {
  EXPECT_FALSE(token_matches("anything", Scan));
  EXPECT_FALSE(token_matches("anything", EnterNamed));
  EXPECT_FALSE(token_matches("anything", Rescan));
}

}  // namespace
