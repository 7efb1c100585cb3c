// vimbrel: adds function entry and exit tracing to a flasm disassembly.

#include "driver/driver.h"
#include "driver/passes.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    print_usage();
    return kExitSuccess;
  }
  FileNames names;
  if (!derive_file_names(argv[1], names)) {
    print_usage();
    return kExitUsage;
  }
  shutdown(rewrite_files(names));
}
