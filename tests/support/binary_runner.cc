#include "support/binary_runner.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

}  // namespace

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "vimbrel-test-XXXXXX");
  if (!mkdtemp(pattern.data()))
    throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code error;
  // A test may have left a directory without write permission.
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
  fs::remove_all(path_, error);
}

RunResult run_vimbrel(const std::string& directory,
                      const std::vector<std::string>& arguments,
                      const std::string& shell_prefix) {
  return run_program(directory, VIMBREL_BINARY, arguments, shell_prefix);
}

RunResult run_program(const std::string& directory, const std::string& program,
                      const std::vector<std::string>& arguments,
                      const std::string& shell_prefix) {
  std::string stderr_path = directory + ".stderr";
  std::string stdout_path = directory + ".stdout";
  std::string command = "cd " + ShellQuote(directory) + " && " + shell_prefix +
                        " " + ShellQuote(program);
  for (const std::string& argument : arguments)
    command += " " + ShellQuote(argument);
  command += " 2>" + ShellQuote(stderr_path) + " >" + ShellQuote(stdout_path);
  int raw = std::system(("sh -c " + ShellQuote(command)).c_str());
  RunResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  result.standard_error = read_file(stderr_path);
  result.standard_output = read_file(stdout_path);
  fs::remove(stderr_path);
  fs::remove(stdout_path);
  return result;
}
