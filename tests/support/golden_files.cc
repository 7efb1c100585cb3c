#include "support/golden_files.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "support/files.h"

std::string expected_prologue(const std::string& name) {
  return read_file(std::string(VIMBREL_GOLDEN_DIR) + "/" + name + ".txt");
}

std::vector<std::string> golden_case_names() {
  std::vector<std::string> names;
  for (const auto& entry :
       std::filesystem::directory_iterator(VIMBREL_GOLDEN_DIR)) {
    if (entry.is_directory())
      names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> golden_case_options(const std::string& case_dir) {
  std::istringstream lines(read_file(case_dir + "/arguments"));
  std::vector<std::string> options;
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty())
      options.push_back(line);
  }
  return options;
}
