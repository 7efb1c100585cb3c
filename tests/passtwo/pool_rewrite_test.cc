// Pass two: lines copied, the first pool after a frame replaced by the
// merged pool, later ones left out, and nothing else lost.

#include "passtwo/pool_rewrite.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "passone/templates.h"
#include "passtwo/pool_limits.h"
#include "state/run_state.h"
#include "support/run_state_fixture.h"

namespace {

const char kTracerPoolOnly[] =
    "    constants ' Enter ', ' Exit ', 'Array', 'FSCommand:save', "
    "'_dumpTraces_', '_endTrace_', '_global', '_startTrace_', '_traces_', "
    "'func', 'length', 'this'";

void SeedTracerConstants() {
  reset_run_state("");
  for (const char* const* name = tracer_constants; *name; ++name)
    run_state.constant_names.insert(*name);
}

TEST(MergedLineTest, TracerConstantsAlone) {
  SeedTracerConstants();
  EXPECT_EQ(merged_constants_line(run_state.constant_names), kTracerPoolOnly);
}

TEST(MergedLineTest, CollectedNamesSortAmongThem) {
  SeedTracerConstants();
  run_state.constant_names.insert("foo");
  run_state.constant_names.insert("bar");
  EXPECT_EQ(merged_constants_line(run_state.constant_names),
            "    constants ' Enter ', ' Exit ', 'Array', 'FSCommand:save', "
            "'_dumpTraces_', '_endTrace_', '_global', '_startTrace_', "
            "'_traces_', 'bar', 'foo', 'func', 'length', 'this'");
}

TEST(MergedLineTest, OrderIsByUnsignedBytesAndPrefixesComeFirst) {
  std::set<std::string> names{"\xe9t\xe9", "ab", "a", "", "B", "it\\'s"};
  EXPECT_EQ(merged_constants_line(names),
            "    constants '', 'B', 'a', 'ab', 'it\\'s', '\xe9t\xe9'");
}

TEST(PassTwoTest, FirstPoolAfterAFrameIsReplaced) {
  SeedTracerConstants();
  EXPECT_EQ(run_pass_two("frame 0\n  constants 'old'\npush 'a'\n"),
            std::string("frame 0\n") + kTracerPoolOnly + "\npush 'a'\n");
}

TEST(PassTwoTest, LaterPoolsAfterFramesAreLeftOut) {
  SeedTracerConstants();
  EXPECT_EQ(run_pass_two("frame 0\nconstants 'a'\nframe 1\nconstants 'b'\n"
                         "stop\n"),
            std::string("frame 0\n") + kTracerPoolOnly + "\nframe 1\nstop\n");
}

TEST(PassTwoTest, PoolNotAfterAFrameIsCopied) {
  SeedTracerConstants();
  EXPECT_EQ(run_pass_two("stop\nconstants 'a'\n"), "stop\nconstants 'a'\n");
}

TEST(PassTwoTest, BlankLinesAreDropped) {
  SeedTracerConstants();
  EXPECT_EQ(run_pass_two("a\n\n    \n\tb\n"), "a\n\tb\n");
}

TEST(PassTwoTest, CarriageReturnsInTheIntermediateFileAreText) {
  // Pass one took the line end's CR away already; one left is content.
  SeedTracerConstants();
  EXPECT_EQ(run_pass_two("abc\r\n\r\n"), "abc\r\n\r\n");
}

TEST(PassTwoTest, LineAfterAFrameWithoutPoolIsKept) {
  SeedTracerConstants();
  testing::internal::CaptureStderr();
  std::string output = run_pass_two(
      "frame 0\npush 'a'\nframe 1\nframe 2\nconstants 'x'\nframe 3\n", 3);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "invalid token:push, supposed to be:constants.\n"
            "invalid token:frame, supposed to be:constants.\n");
  // The second frame line in a row is itself followed by the pool check.
  EXPECT_EQ(output, std::string("frame 0\npush 'a'\nframe 1\nframe 2\n") +
                        kTracerPoolOnly + "\nframe 3\n");
}

TEST(PassTwoTest, PrefixesCountAsFrameAndConstants) {
  SeedTracerConstants();
  EXPECT_EQ(run_pass_two("frameset\nconstantsX\n"),
            std::string("frameset\n") + kTracerPoolOnly + "\n");
}

// 655 names of 99 bytes and `last`, each with its NUL.
std::set<std::string> PoolEndingIn(const std::string& last) {
  std::set<std::string> names{last};
  char number[8];
  for (int k = 0; k < 655; ++k) {
    std::snprintf(number, sizeof number, "%05d", k);
    names.insert(number + std::string(94, 'a'));
  }
  return names;
}

TEST(PoolLimitsTest, BytesAreTheLiteralsResolvedWithTheirNuls) {
  // 65,500 bytes, then 29 more: \' and \n are one byte each, \q two.
  const std::string escaped = "it\\'s \\n \\q";
  EXPECT_TRUE(pool_fits(PoolEndingIn(escaped + std::string(20, 'z'))));
  EXPECT_FALSE(pool_fits(PoolEndingIn(escaped + std::string(21, 'z'))));
}

TEST(PoolLimitsTest, AtMostTenThousandNames) {
  std::set<std::string> names;
  for (int k = 0; k < 10000; ++k)
    names.insert(std::to_string(k));
  EXPECT_TRUE(pool_fits(names));
  names.insert("one more");
  EXPECT_FALSE(pool_fits(names));
}

}  // namespace
