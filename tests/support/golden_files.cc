#include "support/golden_files.h"

#include "support/files.h"

std::string expected_prologue() {
  return read_file(std::string(VIMBREL_GOLDEN_DIR) + "/prologue.txt");
}
