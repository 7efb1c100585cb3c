#include "support/run_state_fixture.h"

#include "driver/driver.h"
#include "state/run_state.h"
#include "state/state_handlers.h"

void reset_run_state(const std::string& input) {
  clear_run_state();
  run_state.input = std::make_unique<LineReader>(input);
  run_state.output = std::make_unique<LineWriter>();
  run_state.carriage_return_ends_line = true;
}

std::string written_output() {
  return run_state.output->text();
}

std::string run_pass_one(const std::string& input) {
  reset_run_state(input);
  run_pass();
  return written_output();
}

std::string run_pass_two(const std::string& input, long tracer_frame) {
  run_state.cursor.reset();
  run_state.input = std::make_unique<LineReader>(input);
  run_state.output = std::make_unique<LineWriter>();
  run_state.state = Rescan;
  run_state.tracer_frame = tracer_frame;
  run_state.tracer_host_has_pool = true;
  run_state.tracer_in_intermediate = true;
  run_state.frame_lines_copied = 0;
  run_state.constants_done = 0;
  run_state.carriage_return_ends_line = false;
  run_pass();
  return written_output();
}
