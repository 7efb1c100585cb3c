// End-to-end cases: each folder under golden/ holds movie.flm and the exact
// movie.tmp, movie.fln and stderr that vimbrel must produce from it, and
// may hold `arguments`: options to run with, one per line.
//
// In the expected .tmp and .fln a line may stand for a block, so that long
// cases stay readable:
//   @ENTRY name   the entry block for name
//   @EXIT name    the exit block for name
//   @PROLOGUE     the tracer prologue (prologue.txt)
//   @PROLOGUE_DATE, @PROLOGUE_DATE_PLAIN   the prologue with the wall clock
//                 (prologue_date.txt, prologue_date_plain.txt)
//   @PROLOGUE_FLUSH, @PROLOGUE_DATE_FLUSH  the prologue, and the wall
//                 clock's, that hand records over every 3 and every 50000
//                 (--flush-every; prologue_flush.txt, prologue_date_flush.txt)
//   @PROLOGUE_FRAMES, @PROLOGUE_DATE_FLUSH_FRAMES  the first and the last
//                 with the marks of frames (--frames)
//   @TRACE        the block before a `trace` line (--trace-output)
// A prologue directive may be followed by words that change one thing:
//   collecting    its `push FALSE` line (collect's first value) is
//                 `push TRUE`
//   traces=NAME   it records trace() too (--trace-output): the recorder of
//                 NAME.txt (trace_text.txt, trace_text_flush.txt,
//                 trace_text_date_flush.txt) comes before its key listener
//   labels=P      its labels take the prefix P: Ptracer_ready for
//                 vimbrel_tracer_ready, Plabel10000000 for label10000000...
// In the .fln they expand without the blank lines, which pass two drops.

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "support/binary_runner.h"
#include "support/blocks.h"
#include "support/golden_files.h"

namespace {

std::string WithoutBlankLines(const std::string& text) {
  std::istringstream lines(text);
  std::string line, kept;
  while (std::getline(lines, line)) {
    if (line.find_first_not_of(" \t") != std::string::npos)
      kept += line + "\n";
  }
  return kept;
}

void ReplaceAll(std::string& text, const std::string& from,
                const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

void ReplaceLabels(std::string& prologue, const std::string& prefix) {
  ReplaceAll(prologue, "vimbrel_tracer_ready", prefix + "tracer_ready");
  for (const char* label :
       {"label10000000", "label1000001", "label1000002", "label1000003", "label1000004"})
    ReplaceAll(prologue, label, prefix + label);
}

// "@PROLOGUE_DATE collecting labels=vimbrel2_" and the like.
bool ExpandPrologue(const std::string& line, std::string& expanded) {
  std::istringstream words(line);
  std::string directive, word;
  words >> directive;
  static const std::map<std::string, std::string> files = {
      {"@PROLOGUE", "prologue"},
      {"@PROLOGUE_DATE", "prologue_date"},
      {"@PROLOGUE_DATE_PLAIN", "prologue_date_plain"},
      {"@PROLOGUE_FLUSH", "prologue_flush"},
      {"@PROLOGUE_DATE_FLUSH", "prologue_date_flush"},
      {"@PROLOGUE_FRAMES", "prologue_frames"},
      {"@PROLOGUE_DATE_FLUSH_FRAMES", "prologue_date_flush_frames"}};
  auto file = files.find(directive);
  if (file == files.end())
    return false;
  std::string prologue = expected_prologue(file->second);
  while (words >> word) {
    if (word == "collecting") {
      ReplaceAll(prologue, "    push FALSE\n", "    push TRUE\n");
    } else if (word.rfind("traces=", 0) == 0) {
      const std::string keys =
          "    push '_global'\n    getVariable\n    push '_tracer_'\n"
          "    getMember\n    push 'onKeyDown'\n";
      std::size_t at = prologue.find(keys);
      if (at == std::string::npos)
        ADD_FAILURE() << "no key listener in the prologue of " << line;
      else
        prologue.insert(at, expected_prologue(word.substr(7)));
    }
    else if (word.rfind("labels=", 0) == 0)
      ReplaceLabels(prologue, word.substr(7));
    else
      ADD_FAILURE() << "unknown word " << word << " in " << line;
  }
  expanded += prologue;
  return true;
}

std::string Expand(const std::string& text, bool intermediate) {
  std::istringstream lines(text);
  std::string line, expanded;
  while (std::getline(lines, line)) {
    if (line.rfind("@ENTRY ", 0) == 0)
      expanded += entry_block(line.substr(7));
    else if (line == "@TRACE")
      expanded += trace_block();
    else if (line.rfind("@EXIT ", 0) == 0)
      expanded += exit_block(line.substr(6));
    else if (ExpandPrologue(line, expanded))
      continue;
    else if (line.rfind("@", 0) == 0)
      ADD_FAILURE() << "unknown directive " << line;
    else
      expanded += line + "\n";
  }
  // Macros stand for intermediate text; the final file has no blank lines.
  return intermediate ? expanded : WithoutBlankLines(expanded);
}

class GoldenTest : public testing::TestWithParam<std::string> {};

TEST_P(GoldenTest, ProducesTheExpectedFiles) {
  std::string case_dir = std::string(VIMBREL_GOLDEN_DIR) + "/" + GetParam();
  TempDir dir;
  std::string input = read_file(case_dir + "/movie.flm");
  write_file(dir.file("movie.flm"), input);

  std::vector<std::string> arguments = golden_case_options(case_dir);
  arguments.push_back("movie.flm");
  RunResult run = run_vimbrel(dir.path(), arguments);

  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.standard_error, read_file(case_dir + "/stderr"));
  EXPECT_EQ(run.standard_output, "");
  EXPECT_EQ(read_file(dir.file("movie.tmp")),
            Expand(read_file(case_dir + "/movie.tmp"), true));
  EXPECT_EQ(read_file(dir.file("movie.fln")),
            Expand(read_file(case_dir + "/movie.fln"), false));
  EXPECT_EQ(read_file(dir.file("movie.flm")), input);
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenTest, testing::ValuesIn(golden_case_names()),
                         [](const testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             if (!isalnum(static_cast<unsigned char>(c)))
                               c = '_';
                           return name;
                         });

}  // namespace
