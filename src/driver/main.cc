// vimbrel: adds function entry and exit tracing to a flasm disassembly.

#include <string>
#include <vector>

#include "driver/driver.h"
#include "driver/passes.h"
#include "driver/platform.h"

int main(int argc, char** argv) {
  prepare_standard_error();
  std::vector<std::string> arguments = command_line_arguments(argc, argv);
  if (arguments.size() < 2) {
    print_usage();
    return kExitSuccess;
  }
  FileNames names;
  if (!derive_file_names(arguments[1], names)) {
    print_usage();
    return kExitUsage;
  }
  shutdown(rewrite_files(names));
}
