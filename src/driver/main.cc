// vimbrel: adds function entry and exit tracing to a flasm disassembly.

#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

#include "driver/driver.h"
#include "driver/messages.h"
#include "driver/tracer_constants.h"
#include "scan/token_reader.h"
#include "state/run_state.h"
#include "state/state_handlers.h"

namespace {

// A directory opens for reading on some systems and then reads as empty.
bool IsDirectory(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

bool OpenInput(const std::string& path) {
  if (IsDirectory(path))
    return false;
  run_state.input = std::make_unique<std::ifstream>(path);
  return !run_state.input->fail();
}

bool OpenOutput(const std::string& path) {
  run_state.output = std::make_unique<std::ofstream>(path);
  return !run_state.output->fail();
}

// Flushes and closes the output; false when any of its text was not written.
bool CloseOutput() {
  auto* file = dynamic_cast<std::ofstream*>(run_state.output.get());
  if (file)
    file->close();
  else
    run_state.output->flush();
  bool written = !run_state.output->fail();
  run_state.output.reset();
  return written;
}

[[noreturn]] void Fail(const char* message) {
  log_line("%s", message);
  shutdown(kExitFailure);
}

[[noreturn]] void Fail(const char* format, const std::string& name) {
  log_line(format, name.c_str());
  shutdown(kExitFailure);
}

void SeedConstantNames() {
  int count = count_entries(tracer_constants);
  for (int i = 0; i < count; ++i)
    run_state.constant_names.insert(tracer_constants[i]);
}

void RunPassOne(const FileNames& names) {
  if (!OpenInput(names.input))
    Fail(kCouldNotOpenInput, names.input);
  if (!OpenOutput(names.intermediate))
    Fail(kCouldNotCreateTemporary);
  SeedConstantNames();
  reset_anonymous_count();
  run_state.state = Scan;
  run_state.constants_done = 0;
  run_pass();
  log_line(kFinishedFirstPass, names.input.c_str());
  if (run_state.entry_blocks_written > 0 && !run_state.constants_done)
    log_line(kNoTracerWarning, names.input.c_str());
}

void CheckBetweenPasses(const FileNames& names) {
  if (run_state.cursor) {
    if (*run_state.cursor != run_state.cursor_end)
      Fail(kTokenIteratorMessedUp);
    run_state.cursor.reset();
  }
  if (!run_state.input->eof())
    Fail(kInputFileMessedUp);
  run_state.input.reset();
  if (!CloseOutput())
    Fail(kCouldNotWrite, names.intermediate);
}

void RunPassTwo(const FileNames& names) {
  run_state.input = std::make_unique<std::ifstream>(names.intermediate);
  if (run_state.input->fail())
    Fail(kCouldNotOpenTemporary);
  if (!OpenOutput(names.final_output))
    Fail(kCouldNotOpenFinal);
  run_state.state = Rescan;
  run_state.constants_done = 0;
  run_pass();
  if (!CloseOutput())
    Fail(kCouldNotWrite, names.final_output);
}

}  // namespace

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
  RunPassOne(names);
  CheckBetweenPasses(names);
  RunPassTwo(names);
  log_line(kFinishedSecondPass, names.final_output.c_str());
  shutdown(kExitSuccess);
}
