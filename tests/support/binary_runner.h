#ifndef VIMBREL_TESTS_SUPPORT_BINARY_RUNNER_H_
#define VIMBREL_TESTS_SUPPORT_BINARY_RUNNER_H_

#include <string>
#include <vector>

#include "support/files.h"

/// A fresh directory, removed with everything in it when this goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

struct RunResult {
  int status = -1;
  std::string standard_error;
  std::string standard_output;
};

/// Runs the built vimbrel in `directory` with `arguments`. `shell_prefix`
/// goes before the command in the same shell (a ulimit, say).
RunResult run_vimbrel(const std::string& directory,
                      const std::vector<std::string>& arguments,
                      const std::string& shell_prefix = "");

/// Runs `program` in `directory` with `arguments`, as run_vimbrel does.
RunResult run_program(const std::string& directory, const std::string& program,
                      const std::vector<std::string>& arguments,
                      const std::string& shell_prefix = "");

#endif  // VIMBREL_TESTS_SUPPORT_BINARY_RUNNER_H_
