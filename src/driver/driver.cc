#include "driver/driver.h"

#include <cstdio>
#include <cstdlib>

#include "driver/messages.h"
#include "driver/platform.h"
#include "scan/line_table.h"
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

void print_usage() {
  int count = count_entries(usage_banner);
  for (int i = 0; i < count; ++i)
    log_line("%s", usage_banner[i]);
}

void print_usage_to_standard_output() {
  int count = count_entries(usage_banner);
  for (int i = 0; i < count; ++i)
    std::printf("%s\n", usage_banner[i]);
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
