// Inputs on which the fuzzer once stopped, replayed as it runs them. In
// findings/:
// - island_helper_rewrites_an_input_token: the line
//   `funcvimbrel_hop12 end // of function` is the input's own, and must come
//   through the check untouched.
// - island_helper_reads_operands_as_flasm_does: in
//   `branchIfTrue label1)    push r:1, 'm100'` flasm's operand is label1,
//   which vimbrel sends to an island; the check must read it so too.
// - island_chain_that_falls_short: the fuzzer's input with a frame line
//   added at its end, so that the tracer stays out of the class block and
//   the block is laid out as when the fuzzer found it: a branch that no
//   chain of islands brings to its label kept a chain whose hops fell
//   short, and only the branch's own line was said to be doubtful.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/binary_runner.h"
#include "support/rewrite_check.h"

namespace {

TEST(FuzzFindingsTest, EveryFindingHoldsWithEitherClock) {
  int findings = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(VIMBREL_FUZZ_FINDINGS_DIR)) {
    std::string input = read_file(entry.path().string());
    for (Clock clock : {Clock::kGetTimer, Clock::kDate}) {
      TempDir dir;
      CheckedRun how;
      how.clock = clock;
      EXPECT_EQ(rewrite_and_check(input, dir.path(), how), "")
          << entry.path().filename();
    }
    ++findings;
  }
  EXPECT_EQ(findings, 3);
}

}  // namespace
