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
    print_usage_to_standard_output();
    return kExitSuccess;
  }
  if (!command_line.problem.empty())
    log_line("%s", command_line.problem.c_str());
  FileNames names;
  if (!command_line.problem.empty() ||
      !derive_file_names(command_line.input, names)) {
    print_usage();
    return kExitUsage;
  }
  run_state.clock = command_line.clock;
  shutdown(rewrite_files(names));
}
