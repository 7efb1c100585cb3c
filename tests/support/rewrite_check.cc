#include "support/rewrite_check.h"

#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "driver/driver.h"
#include "driver/passes.h"
#include "passone/templates.h"
#include "support/files.h"
#include "support/output_properties.h"

namespace {

BranchLimits ShortLimits() {
  BranchLimits limits;
  limits.reach = 300;
  limits.body = 1500;
  limits.margin = 0;
  return limits;
}

int RewriteQuietly(const FileNames& names, std::vector<long>& doubtful_lines) {
  int saved = dup(2);
  int null = open("/dev/null", O_WRONLY);
  dup2(null, 2);
  close(null);
  int status = rewrite_files(names, ShortLimits(), &doubtful_lines);
  dup2(saved, 2);
  close(saved);
  return status;
}

}  // namespace

std::string rewrite_and_check(const std::string& input,
                              const std::string& directory,
                              const CheckedRun& how) {
  FileNames names;
  derive_file_names(directory + "/movie.flm", names);
  write_file(names.input, input);
  clear_run_state();
  run_state.clock = how.clock;
  run_state.collect_from_start = how.collect_from_start;
  run_state.flush_every = how.flush_every;
  run_state.mark_frames = how.mark_frames;
  run_state.events.enabled = how.trace_events;
  run_state.trace_output = how.trace_output;
  if (!how.skip.empty())
    run_state.function_filter.add_skip(how.skip);
  std::vector<long> doubtful_lines;
  int status = RewriteQuietly(names, doubtful_lines);
  const char* const* prologue = run_prologue_template();
  clear_run_state();
  if (status != kExitSuccess)
    return "vimbrel failed with status " + std::to_string(status);
  if (read_file(names.input) != input)
    return "the input file changed";
  std::string final_output = read_file(names.final_output);
  std::string broken = check_rewrite_properties(
      input, read_file(names.intermediate), final_output, prologue,
      how.trace_events, how.mark_frames, how.trace_output);
  if (broken.empty())
    broken = check_branch_reach(final_output, ShortLimits().reach,
                                doubtful_lines);
  return broken;
}
