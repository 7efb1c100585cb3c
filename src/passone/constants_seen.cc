#include "passone/constants_seen.h"

#include <string>

#include "passone/event_blocks.h"
#include "passone/movie_layout.h"
#include "passone/templates.h"
#include "scan/string_literal.h"
#include "scan/token_reader.h"
#include "state/run_state.h"
#include "state/state_handlers.h"

void collect_pool_names(std::string_view constants_line) {
  std::string_view name;
  std::size_t position = 0;
  for (;;) {
    std::size_t open = constants_line.find('\'', position);
    if (open == std::string_view::npos ||
        !read_string_literal(constants_line, open, name, position))
      return;
    run_state.constant_names.emplace(name);
    run_state.own_pool_names.emplace(name);
  }
}

int constants_seen() {
  // Only the main timeline's first frame is sure to run before any traced
  // function. Other pools are pass two's to keep or leave out.
  if (!run_state.constants_done && at_main_timeline_pool()) {
    run_state.constants_done = 1;
    collect_pool_names(run_state.line);
    emit_lines(run_prologue_template());
  }
  write_pending_frame_entry();
  run_state.state = Scan;
  return 1;
}
