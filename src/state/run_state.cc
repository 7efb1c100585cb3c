#include "state/run_state.h"

RunState run_state;

void clear_run_state() {
  RunState& rs = run_state;
  rs.cursor.reset();
  rs.output.reset();
  rs.input.reset();
  rs.output_filter = nullptr;
  rs.clock = Clock::kGetTimer;
  rs.collect_from_start = false;
  rs.flush_every = 0;
  rs.mark_frames = false;
  rs.trace_output = false;
  rs.events = EventBlocks();
  rs.state = 0;
  rs.constants_done = 0;
  rs.line = std::string_view();
  rs.line_number = 0;
  rs.constant_names.clear();
  rs.own_pool_names.clear();
  rs.function_stack.clear();
  rs.function_name.clear();
  rs.anonymous_count = 0;
  rs.functions_recognised = 0;
  rs.entry_blocks_written = 0;
  rs.trace_blocks_written = 0;
  rs.function_filter = FunctionFilter();
  rs.listing_names = false;
  rs.traced_names = TracedNames();
  rs.carriage_return_ends_line = false;
  rs.layout = MovieLayout();
  rs.registers = RegisterNames();
  rs.tracer_frame = 0;
  rs.tracer_in_init_clip = false;
  rs.tracer_host_has_pool = false;
  rs.tracer_in_intermediate = false;
  rs.frame_lines_copied = 0;
  rs.init_clips_copied = 0;
  rs.labels_like_ours.clear();
  rs.label_prefix = "vimbrel_";
  rs.tracer_lines_to_drop = 0;
}
