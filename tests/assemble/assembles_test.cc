// What vimbrel writes, assembled by flasm itself: the client that decides
// whether a user can use the output at all. FLASM names the flasm to use.

#include <gtest/gtest.h>

#include <map>

#include "support/binary_runner.h"
#include "support/branch_spans.h"
#include "support/files.h"
#include "support/flasm.h"
#include "support/golden_files.h"

namespace {

// Hand-made cases that are no flasm text even before tracing, and what
// flasm says to each.
const std::map<std::string, std::string> kNotFlasmText = {
    {"bare_names_with_quotes", "Unterminated string"},
    {"crlf_lines", "Unexpected EOF"},
    {"frames_without_pools", "syntax error"},
    {"input_ends_after_a_frame", "syntax error"},
};

// vimbrel warns that no island fits in its branch's span.
const char kNoRoomForAnIsland[] = "no_room_for_an_island";

// Hand-made cases that hold a timeline only get flasm's movie line and the
// end that closes it.
std::string AsMovie(const std::string& text) {
  if (text.rfind("movie", 0) == 0)
    return text;
  return "movie 'movie.swf'\n" + text + "end\n";
}

class AssemblesTest : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (flasm_path().empty())
      GTEST_SKIP() << kNoFlasm;
  }
};

TEST_P(AssemblesTest, GoldenCase) {
  std::string case_dir = std::string(VIMBREL_GOLDEN_DIR) + "/" + GetParam();
  std::string input = AsMovie(read_file(case_dir + "/movie.flm"));
  // flasm puts clip handlers back only into the movie they came from.
  std::string movie;
  if (file_exists(case_dir + "/movie.swf"))
    movie = read_file(case_dir + "/movie.swf");
  TempDir dir;
  Assembly untraced = assemble_text(dir.path(), "movie.flm", input, movie);
  auto refused = kNotFlasmText.find(GetParam());
  if (refused != kNotFlasmText.end()) {
    EXPECT_FALSE(untraced.assembled()) << "flasm takes it: assemble its .fln";
    EXPECT_NE(untraced.output.find(refused->second), std::string::npos)
        << untraced.output;
    return;
  }
  ASSERT_TRUE(untraced.assembled()) << untraced.output;

  std::vector<std::string> arguments = golden_case_options(case_dir);
  arguments.push_back("movie.flm");
  RunResult run = run_vimbrel(dir.path(), arguments);
  ASSERT_EQ(run.status, 0) << run.standard_error;
  Assembly traced = assemble_text(dir.path(), "movie.fln",
                                  read_file(dir.file("movie.fln")), movie);
  if (GetParam() == kNoRoomForAnIsland) {
    EXPECT_EQ(traced.status, 1);
    EXPECT_NE(traced.output.find("Label too far away from branch"),
              std::string::npos)
        << traced.output;
    return;
  }
  EXPECT_TRUE(traced.assembled()) << traced.output;
}

INSTANTIATE_TEST_SUITE_P(Golden, AssemblesTest,
                         testing::ValuesIn(golden_case_names()),
                         [](const testing::TestParamInfo<std::string>& info) {
                           return info.param;
                         });

// A real ActionScript 2 application: 2,109 traced functions, class guards
// that tracing stretches past a branch's reach.
TEST(Assembles, LargeApplication) {
  if (flasm_path().empty())
    GTEST_SKIP() << kNoFlasm;
  TempDir dir;
  std::string input = read_file(VIMBREL_LARGE_SAMPLE);
  ASSERT_TRUE(assemble_text(dir.path(), "aswing_demo.flm", input).assembled());
  RunResult run = run_vimbrel(dir.path(), {"aswing_demo.flm"});
  ASSERT_EQ(run.status, 0) << run.standard_error;
  std::string traced = read_file(dir.file("aswing_demo.fln"));

  Assembly with_islands = assemble_text(dir.path(), "aswing_demo.fln", traced);
  EXPECT_TRUE(with_islands.assembled()) << with_islands.output;

  std::string bare = without_islands(traced);
  ASSERT_NE(bare, traced) << "no island in the traced application";
  Assembly without = assemble_text(dir.path(), "bare.fln", bare);
  EXPECT_EQ(without.status, 1);
  EXPECT_NE(without.output.find("Label too far away from branch"),
            std::string::npos)
      << without.output;

  // As the capture and the viewer trace it.
  run = run_vimbrel(dir.path(), {"--clock=date", "--collect-from-start",
                                 "--flush-every=50000", "--frames", "--events",
                                 "aswing_demo.flm"});
  ASSERT_EQ(run.status, 0) << run.standard_error;
  Assembly hosted = assemble_text(dir.path(), "aswing_demo.fln",
                                  read_file(dir.file("aswing_demo.fln")));
  EXPECT_TRUE(hosted.assembled()) << hosted.output;
}

}  // namespace
