#include "driver/driver.h"

#include <cstdio>
#include <cstdlib>

#include "driver/messages.h"
#include "driver/platform.h"
#include "state/log_line.h"
#include "state/run_state.h"
#include "state/state_handlers.h"

bool derive_file_names(const std::string& input, FileNames& names,
                       bool windows_paths) {
  std::size_t found =
      input.find(".flm", file_name_start(input, windows_paths));
  if (found == std::string::npos)
    return false;
  names.input = input;
  names.final_output = input;
  names.final_output.replace(found, 4, ".fln");
  names.intermediate = input;
  names.intermediate.replace(found, 4, ".tmp");
  return true;
}

void run_pass() {
  while (state_handlers[run_state.state]())
    ;
}

namespace {

void LogLines(const char* const* table) {
  for (; *table; ++table)
    log_line("%s", *table);
}

void PrintLines(const char* const* table) {
  for (; *table; ++table)
    std::printf("%s\n", *table);
}

}  // namespace

void print_usage() { LogLines(usage_banner); }

void print_usage_and_options() {
  LogLines(usage_banner);
  LogLines(options_help);
}

void print_help() {
  PrintLines(usage_banner);
  PrintLines(options_help);
  std::fflush(stdout);
}

void shutdown(int exit_status) {
  run_state.constant_names.clear();
  run_state.own_pool_names.clear();
  run_state.cursor.reset();
  // Closing the output writes what is still buffered.
  run_state.output.reset();
  run_state.input.reset();
  std::exit(exit_status);
}
