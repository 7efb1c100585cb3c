#include "driver/passes.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "driver/messages.h"
#include "driver/platform.h"
#include "passone/movie_layout.h"
#include "passone/own_labels.h"
#include "passone/recogniser.h"
#include "passone/templates.h"
#include "scan/line_table.h"
#include "scan/string_literal.h"
#include "state/log_line.h"
#include "state/run_state.h"
#include "state/state_handlers.h"

namespace {

// A directory opens for reading on some systems and then reads as empty.
bool IsDirectory(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(file_system_path(path), error);
}

// Truncating an output that is another name for a file being read (through
// a link) would destroy that file.
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(file_system_path(a), file_system_path(b),
                                     error);
}

bool OpenInput(const std::string& path) {
  if (IsDirectory(path))
    return false;
  // Binary mode: CRLF input is read as it stands, and the bytes written are
  // the same on every platform.
  std::FILE* file = open_file(path, "rb");
  if (!file)
    return false;
  run_state.input = std::make_unique<LineReader>(file);
  return true;
}

bool OpenOutput(const std::string& path) {
  std::FILE* file = open_file(path, "wb");
  if (!file)
    return false;
  run_state.output = std::make_unique<LineWriter>(file);
  return true;
}

// False when any of the output's text was not written.
bool CloseOutput() {
  bool written = run_state.output->close();
  run_state.output.reset();
  return written;
}

int Fail(const char* message) {
  log_line("%s", message);
  return kExitFailure;
}

int Fail(const char* format, const std::string& name) {
  log_line(format, name.c_str());
  return kExitFailure;
}

void SeedConstantNames() {
  int count = count_entries(tracer_constants);
  for (int i = 0; i < count; ++i) {
    run_state.constant_names.insert(tracer_constants[i]);
    run_state.own_pool_names.insert(tracer_constants[i]);
  }
}

void WarnWhereTheTracerCannotRun(const std::string& input) {
  const MovieLayout& layout = run_state.layout;
  if (layout.flash_version >= 0 &&
      layout.flash_version < kFirstFlashWithGlobal)
    log_line(kOldFlashWarning, input.c_str(), layout.flash_version);
  if (layout.frame_lines == 0 && layout.init_clips == 0)
    log_line(kNoFrameWarning, input.c_str());
}

void WarnOfUnmatchedPatterns() {
  for (const std::string& message : run_state.function_filter.unmatched())
    log_line("%s", message.c_str());
}

// Reads the whole input through pass one's states, writing to the output.
void PassOne() {
  SeedConstantNames();
  reset_anonymous_count();
  run_state.state = Scan;
  run_state.constants_done = 0;
  run_state.carriage_return_ends_line = true;
  run_pass();
}

int RunPassOne(const FileNames& names) {
  if (!OpenInput(names.input))
    return Fail(kCouldNotOpenInput, names.input);
  if (SameFile(names.intermediate, names.input) ||
      !OpenOutput(names.intermediate))
    return Fail(kCouldNotCreateTemporary);
  PassOne();
  log_line(kFinishedFirstPass, names.input.c_str());
  WarnOfUnmatchedPatterns();
  if (tracer_wanted())
    WarnWhereTheTracerCannotRun(names.input);
  return kExitSuccess;
}

int CloseFirstPass(const FileNames& names) {
  if (run_state.cursor) {
    if (*run_state.cursor != run_state.cursor_end)
      return Fail(kTokenIteratorMessedUp);
    run_state.cursor.reset();
  }
  if (!run_state.input->at_end())
    return Fail(kInputFileMessedUp);
  run_state.input.reset();
  if (!CloseOutput())
    return Fail(kCouldNotWrite, names.intermediate);
  return kExitSuccess;
}

int RunPassTwo(const FileNames& names, const BranchLimits& limits,
               std::vector<long>* doubtful_lines) {
  if (!OpenInput(names.intermediate))
    return Fail(kCouldNotOpenTemporary);
  if (SameFile(names.final_output, names.input) ||
      SameFile(names.final_output, names.intermediate) ||
      !OpenOutput(names.final_output))
    return Fail(kCouldNotOpenFinal);
  place_tracer();
  choose_label_prefix();
  run_state.frame_lines_copied = 0;
  run_state.init_clips_copied = 0;
  run_state.line_number = 0;
  run_state.state = Rescan;
  run_state.constants_done = 0;
  run_state.carriage_return_ends_line = false;
  BranchLayout layout(*run_state.output, limits, run_state.label_prefix);
  run_state.output_filter = &layout;
  run_pass();
  layout.finish();
  run_state.output_filter = nullptr;
  if (!CloseOutput())
    return Fail(kCouldNotWrite, names.final_output);
  for (long line : layout.doubtful_lines())
    log_line(kMayBeTooLong, line, names.final_output.c_str());
  if (doubtful_lines)
    *doubtful_lines = layout.doubtful_lines();
  log_line(kFinishedSecondPass, names.final_output.c_str());
  return kExitSuccess;
}

}  // namespace

int list_traced_names(const FileNames& names) {
  if (!OpenInput(names.input))
    return Fail(kCouldNotOpenInput, names.input);
  run_state.output =
      std::make_unique<LineWriter>(LineWriter::Discarding());
  run_state.listing_names = true;
  PassOne();
  WarnOfUnmatchedPatterns();
  const TracedNames& traced = run_state.traced_names;
  for (const std::string& name : traced.in_order) {
    std::string line = std::to_string(traced.counts.at(name)) + " " +
                       resolved_text(name, '\'') + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
  return std::fflush(stdout) == 0 ? kExitSuccess : kExitFailure;
}

int rewrite_files(const FileNames& names, const BranchLimits& limits,
                  std::vector<long>* doubtful_lines) {
  int status = RunPassOne(names);
  if (status == kExitSuccess)
    status = CloseFirstPass(names);
  if (status == kExitSuccess)
    status = RunPassTwo(names, limits, doubtful_lines);
  return status;
}
