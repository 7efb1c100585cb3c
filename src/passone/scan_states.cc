#include "passone/scan_states.h"

#include <string_view>

#include "passone/movie_layout.h"
#include "passone/register_names.h"
#include "passone/templates.h"
#include "scan/keywords.h"
#include "scan/token_reader.h"
#include "state/run_state.h"
#include "state/state_handlers.h"

namespace {

bool OpensNestedBlock(std::string_view token) {
  for (const char* const* opener = nested_block_openers; *opener; ++opener) {
    if (token == *opener)
      return true;
  }
  return false;
}

}  // namespace

bool current_line_closes(const char* block) {
  const char* begin = run_state.line.data();
  TokenIterator tokens(begin, begin + run_state.line.size(),
                       DelimiterSet(" \t"));
  const char* const mark[] = {"//", "of", block};
  for (const char* word : mark) {
    if (++tokens == TokenIterator() || tokens.current() != word)
      return false;
  }
  return true;
}

int read_line_start(std::string& token) {
  if (read_token(token, 1) < 0)
    return -1;
  note_movie_layout(token);
  note_register_line(token);
  if (!run_state.function_stack.empty() && OpensNestedBlock(token))
    ++run_state.function_stack.back().open_blocks;
  return 1;
}

void hand_on_as_scan(const std::string& token) {
  if (token_matches(token, FrameSeen)) {
    run_state.state = FrameSeen;
    emit_line();
  } else if (token_matches(token, FunctionLine)) {
    run_state.state = FunctionLine;
  } else if (token_matches(token, FunctionEnd)) {
    run_state.state = FunctionEnd;
  } else if (token_matches(token, FunctionReturn)) {
    run_state.state = FunctionReturn;
  } else if (token_matches(token, PushLine)) {
    run_state.state = PushLine;
  } else {
    run_state.state = Scan;
    emit_line();
  }
}

int scan() {
  std::string token;
  if (read_line_start(token) < 0)
    return 0;
  hand_on_as_scan(token);
  return 1;
}

int frame_seen() {
  std::string token;
  if (read_line_start(token) < 0)
    return 0;
  if (token_matches(token, ConstantsSeen)) {
    run_state.state = ConstantsSeen;
    emit_line();
  } else {
    hand_on_as_scan(token);
  }
  return 1;
}
