// libFuzzer target: arbitrary bytes as the input file, through both passes,
// checking on every input what must hold of the output.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "driver/passes.h"
#include "passone/templates.h"
#include "state/run_state.h"
#include "support/files.h"
#include "support/output_properties.h"

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

// Short reaches, so that small inputs need islands too.
BranchLimits SmallLimits() {
  BranchLimits limits;
  limits.reach = 300;
  limits.body = 1500;
  limits.margin = 0;
  return limits;
}

// The run's messages are expected; keep them out of the fuzzer's log.
int RewriteQuietly(const FileNames& names, std::vector<long>& doubtful_lines) {
  int saved = dup(2);
  int null = open("/dev/null", O_WRONLY);
  dup2(null, 2);
  close(null);
  int status = rewrite_files(names, SmallLimits(), &doubtful_lines);
  dup2(saved, 2);
  close(saved);
  return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  FileNames names;
  if (!derive_file_names(PrivateDirectory() + "/movie.flm", names))
    abort();
  {
    std::ofstream out(names.input, std::ios::binary | std::ios::trunc);
    out << input;
  }
  clear_run_state();
  // Both clocks: they differ in the tracer's code only.
  run_state.clock = size % 2 ? Clock::kDate : Clock::kGetTimer;
  std::vector<long> doubtful_lines;
  int status = RewriteQuietly(names, doubtful_lines);
  const char* const* prologue = prologue_template_for(
      run_state.clock, run_state.layout.flash_version);
  clear_run_state();
  if (status != kExitSuccess) {
    fprintf(stderr, "vimbrel failed with status %d\n", status);
    abort();
  }
  if (read_file(names.input) != input) {
    fprintf(stderr, "the input file changed\n");
    abort();
  }
  std::string final_output = read_file(names.final_output);
  std::string broken = check_rewrite_properties(
      input, read_file(names.intermediate), final_output, prologue);
  if (broken.empty())
    broken = check_branch_reach(final_output, SmallLimits().reach,
                                doubtful_lines);
  if (!broken.empty()) {
    fprintf(stderr, "property broken: %s\n", broken.c_str());
    abort();
  }
  return 0;
}
