// vimbrel: adds function entry and exit tracing to a flasm disassembly.

#include <string>
#include <vector>

#include "driver/command_line.h"
#include "driver/driver.h"
#include "driver/passes.h"
#include "driver/platform.h"
#include "state/log_line.h"
#include "state/run_state.h"

int main(int argc, char** argv) {
  prepare_standard_streams();
  std::vector<std::string> arguments = command_line_arguments(argc, argv);
  if (arguments.size() < 2) {
    print_usage();
    return kExitSuccess;
  }
  CommandLine command_line = parse_command_line(arguments);
  if (command_line.help) {
    print_help();
    return kExitSuccess;
  }
  if (!command_line.problem.empty()) {
    log_line("%s", command_line.problem.c_str());
    print_usage_and_options();
    return kExitUsage;
  }
  FileNames names;
  if (!derive_file_names(command_line.input, names)) {
    print_usage();
    return kExitUsage;
  }
  for (const std::string& warning : command_line.warnings)
    log_line("%s", warning.c_str());
  run_state.clock = command_line.clock;
  run_state.collect_from_start = command_line.collect_from_start;
  run_state.flush_every = command_line.flush_every;
  run_state.mark_frames = command_line.mark_frames;
  run_state.trace_output = command_line.trace_output;
  run_state.events.enabled = command_line.trace_events;
  for (const std::string& pattern : command_line.only)
    run_state.function_filter.add_only(pattern);
  for (const std::string& pattern : command_line.skip)
    run_state.function_filter.add_skip(pattern);
  shutdown(command_line.list_functions ? list_traced_names(names)
                                       : rewrite_files(names));
}
