#include "scan/string_literal.h"

#include <gtest/gtest.h>

namespace {

struct Literal {
  bool closed;
  std::string body;
  std::size_t end;
};

Literal Read(const std::string& text, std::size_t open) {
  Literal literal{false, "unset", 0};
  std::string_view body = literal.body;
  literal.closed = read_string_literal(text, open, body, literal.end);
  literal.body = std::string(body);
  return literal;
}

TEST(StringLiteralTest, ReadsUpToTheClosingQuote) {
  Literal literal = Read("push 'ab cd', 1", 5);
  EXPECT_TRUE(literal.closed);
  EXPECT_EQ(literal.body, "ab cd");
  EXPECT_EQ(literal.end, 12u);
}

TEST(StringLiteralTest, EscapesStayAsWrittenAndDoNotClose) {
  EXPECT_EQ(Read("'it\\'s'", 0).body, "it\\'s");
  EXPECT_EQ(Read("'a\\\\', 'b'", 0).body, "a\\\\");
  EXPECT_EQ(Read("'\\n\\t'", 0).body, "\\n\\t");
}

TEST(StringLiteralTest, EmptyStringIsALiteral) {
  Literal literal = Read("''", 0);
  EXPECT_TRUE(literal.closed);
  EXPECT_EQ(literal.body, "");
  EXPECT_EQ(literal.end, 2u);
}

TEST(StringLiteralTest, UnclosedLiteralIsReported) {
  EXPECT_FALSE(Read("'abc", 0).closed);
  EXPECT_FALSE(Read("'abc\\'", 0).closed);
  EXPECT_FALSE(Read("'", 0).closed);
  EXPECT_EQ(Read("'abc", 0).body, "unset");
}

TEST(StringLiteralTest, EscapingForALiteralReadsBackTheSame) {
  EXPECT_EQ(escape_for_literal("plain"), "plain");
  EXPECT_EQ(escape_for_literal("it's"), "it\\'s");
  EXPECT_EQ(escape_for_literal("a\\"), "a\\\\");
  std::string literal = "'" + escape_for_literal("x'\\'y") + "'";
  Literal read = Read(literal, 0);
  EXPECT_TRUE(read.closed);
  EXPECT_EQ(read.end, literal.size());
}

}  // namespace
