#include "scan/token_iterator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Tokens(const std::string& text,
                                const std::string& delimiters) {
  std::vector<std::string> tokens;
  TokenIterator it(text.data(), text.data() + text.size(),
                   DelimiterSet(delimiters));
  for (; it != TokenIterator(); ++it)
    tokens.push_back(*it);
  return tokens;
}

using Strings = std::vector<std::string>;

TEST(TokenIteratorTest, SplitsAtBlanksAndTabs) {
  EXPECT_EQ(Tokens("    function  ('func')", " \t\n"),
            (Strings{"function", "('func')"}));
  EXPECT_EQ(Tokens("\tpush\t'a',  'b'  ", " \t\n"),
            (Strings{"push", "'a',", "'b'"}));
}

TEST(TokenIteratorTest, SplitsAtApostrophes) {
  EXPECT_EQ(Tokens("    function  ('func')", "'"),
            (Strings{"    function  (", "func", ")"}));
  // Adjacent delimiters separate like one: no empty token between them.
  EXPECT_EQ(Tokens("a''b", "'"), (Strings{"a", "b"}));
}

TEST(TokenIteratorTest, EmptyAndDelimiterOnlySpansAreExhaustedAtOnce) {
  std::string empty;
  TokenIterator from_empty(empty.data(), empty.data(), DelimiterSet(" "));
  EXPECT_TRUE(from_empty == TokenIterator());
  EXPECT_EQ(*from_empty, "");
  EXPECT_TRUE(Tokens(" \t \t", " \t\n").empty());
}

TEST(TokenIteratorTest, SpanWithoutDelimiterIsOneToken) {
  EXPECT_EQ(Tokens("getVariable", " \t\n"), (Strings{"getVariable"}));
  EXPECT_EQ(Tokens("a b\tc", ""), (Strings{"a b\tc"}));
}

TEST(TokenIteratorTest, CarriageReturnIsATokenCharacter) {
  EXPECT_EQ(Tokens("push 'bar'\r", " \t\n"), (Strings{"push", "'bar'\r"}));
}

TEST(TokenIteratorTest, HighBitCharactersBelongToTokens) {
  EXPECT_EQ(Tokens("\xe9t\xe9 \xff", " "), (Strings{"\xe9t\xe9", "\xff"}));
}

TEST(TokenIteratorTest, EqualityIsTheEndTestOfTheLeftSide) {
  std::string text = "only";
  TokenIterator it(text.data(), text.data() + text.size(), DelimiterSet(" "));
  TokenIterator sentinel;
  // The last token ends at the limit but is still current.
  EXPECT_FALSE(it == sentinel);
  EXPECT_TRUE(it != sentinel);
  // The sentinel on the left is exhausted, so it equals anything.
  EXPECT_TRUE(sentinel == it);
  ++it;
  EXPECT_TRUE(it == sentinel);
  ++it;  // advancing an exhausted iterator changes nothing
  EXPECT_TRUE(it == sentinel);
  EXPECT_EQ(*it, "");
}

TEST(TokenIteratorTest, PostfixIncrementReturnsThePreviousToken) {
  std::string text = "end // of";
  TokenIterator it(text.data(), text.data() + text.size(), DelimiterSet(" "));
  EXPECT_EQ(it++, "end");
  EXPECT_EQ(it++, "//");
  EXPECT_EQ(it++, "of");
  EXPECT_TRUE(it == TokenIterator());
}

TEST(TokenIteratorTest, PositionStandsRightAfterTheCurrentToken) {
  std::string text = "  push 'x'";
  TokenIterator it(text.data(), text.data() + text.size(), DelimiterSet(" "));
  EXPECT_EQ(it.position() - text.data(), 6);
  ++it;
  EXPECT_EQ(it.position() - text.data(), 10);
}

}  // namespace
