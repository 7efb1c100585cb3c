#include "driver/driver.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "driver/messages.h"
#include "scan/token_reader.h"
#include "state/run_state.h"
#include "state/state_handlers.h"

bool derive_file_names(const std::string& input, FileNames& names) {
  std::size_t last_slash = input.rfind('/');
  std::size_t file_part = last_slash == std::string::npos ? 0 : last_slash + 1;
  std::size_t found = input.find(".flm", file_part);
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

void log_line(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(stderr, format, arguments);
  va_end(arguments);
  std::fputc('\n', stderr);
}

void shutdown(int exit_status) {
  run_state.constant_names.clear();
  run_state.cursor.reset();
  // Closing the output writes what is still buffered.
  run_state.output.reset();
  run_state.input.reset();
  std::exit(exit_status);
}

void reset_anonymous_count() { run_state.anonymous_count = 0; }

int next_anonymous_number() { return run_state.anonymous_count++; }
