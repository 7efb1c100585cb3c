// libFuzzer target: arbitrary bytes as the input file, through both passes,
// checking on every input what must hold of the output.

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "support/rewrite_check.h"

namespace {

const std::string& PrivateDirectory() {
  static const std::string directory = [] {
    char pattern[] = "/tmp/vimbrel-fuzz-XXXXXX";
    if (!mkdtemp(pattern))
      abort();
    return std::string(pattern);
  }();
  return directory;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  // Both clocks, collecting from the start or not, handing records over as
  // they go or not, marking frames or not: they differ in the tracer's code
  // only. Some runs leave functions out, traced ones nested in them and
  // around them; some trace frame scripts and handlers too, some the
  // movie's trace lines.
  CheckedRun how;
  how.clock = size % 2 ? Clock::kDate : Clock::kGetTimer;
  how.collect_from_start = size % 4 >= 2;
  how.flush_every = size % 5 == 0 ? 50000 : 0;
  how.mark_frames = size % 7 < 3;
  how.trace_events = size % 11 < 5;
  how.trace_output = size % 13 < 6;
  if (size % 3 == 0)
    how.skip = "*a*";
  std::string broken = rewrite_and_check(input, PrivateDirectory(), how);
  if (!broken.empty()) {
    fprintf(stderr, "property broken: %s\n", broken.c_str());
    abort();
  }
  return 0;
}
