#include "passone/scan_states.h"

#include <array>
#include <string_view>
#include <vector>

#include "passone/block_writers.h"
#include "passone/event_blocks.h"
#include "passone/movie_layout.h"
#include "passone/own_labels.h"
#include "passone/register_names.h"
#include "passone/templates.h"
#include "scan/keywords.h"
#include "scan/token_reader.h"
#include "state/run_state.h"
#include "state/state_handlers.h"

namespace {

// The openers as views, and the letters they begin with.
struct NestedBlockOpeners {
  NestedBlockOpeners() {
    for (const char* const* opener = nested_block_openers; *opener; ++opener) {
      views.emplace_back(*opener);
      first_letters[static_cast<unsigned char>(**opener)] = true;
    }
  }
  std::vector<std::string_view> views;
  std::array<bool, 256> first_letters{};
};

// Asked of every line of every traced body: most lines begin with a letter
// no opener begins with.
bool OpensNestedBlock(std::string_view token) {
  static const NestedBlockOpeners openers;
  if (!openers.first_letters[static_cast<unsigned char>(token[0])])
    return false;
  for (std::string_view opener : openers.views) {
    if (token == opener)
      return true;
  }
  return false;
}

}  // namespace

int read_line_start(std::string_view& token) {
  if (read_token(token, 1) < 0)
    return -1;
  note_movie_layout(token);
  note_register_line(token);
  if (may_define_label_like_ours(token))
    note_label_line(run_state.line);
  if (!run_state.function_stack.empty()) {
    if (OpensNestedBlock(token))
      ++run_state.function_stack.back().open_blocks;
  } else if (run_state.events.enabled) {
    note_event_place(token);
    if (run_state.events.open && OpensNestedBlock(token))
      ++run_state.events.open->open_blocks;
  }
  return 1;
}

void hand_on_as_scan(std::string_view token) {
  if (token_matches(token, FrameSeen)) {
    run_state.state = FrameSeen;
    emit_line();
    open_frame_block(token);
  } else if (token_matches(token, FunctionLine)) {
    run_state.state = FunctionLine;
  } else if (token_matches(token, FunctionEnd)) {
    run_state.state = FunctionEnd;
  } else if (token_matches(token, FunctionReturn)) {
    run_state.state = FunctionReturn;
  } else if (token_matches(token, PushLine)) {
    run_state.state = PushLine;
  } else if (open_handler_block(token)) {
    run_state.state = Scan;
  } else if (run_state.trace_output && token == "trace") {
    run_state.state = Scan;
    write_trace_block();
    emit_line();
  } else {
    run_state.state = Scan;
    emit_line();
  }
}

int scan() {
  std::string_view token;
  if (read_line_start(token) < 0)
    return 0;
  hand_on_as_scan(token);
  return 1;
}

int frame_seen() {
  std::string_view token;
  if (read_line_start(token) < 0)
    return 0;
  if (token_matches(token, ConstantsSeen)) {
    note_frame_pool();
    run_state.state = ConstantsSeen;
    emit_line();
  } else {
    write_pending_frame_entry();
    hand_on_as_scan(token);
  }
  return 1;
}
