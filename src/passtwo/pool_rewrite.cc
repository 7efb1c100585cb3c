#include "passtwo/pool_rewrite.h"

#include <string_view>

#include "passone/templates.h"
#include "passtwo/pool_limits.h"
#include "scan/blank_tokens.h"
#include "scan/keywords.h"
#include "scan/token_reader.h"
#include "state/log_line.h"
#include "state/run_state.h"
#include "state/state_handlers.h"

namespace {

const char kInvalidToken[] = "invalid token:%s, supposed to be:%s.";
const char kMergedLinePrefix[] = "    constants ";

// The pool only makes pushes shorter: a name it does not declare is pushed
// whole. So when every name would make a pool flasm refuses, the traced
// names that are nothing else are left out; null when even the rest is too
// much.
const std::set<std::string>* DeclaredNames() {
  if (pool_fits(run_state.constant_names))
    return &run_state.constant_names;
  if (pool_fits(run_state.own_pool_names))
    return &run_state.own_pool_names;
  return nullptr;
}

// The tracer goes where the movie runs it first, so that it exists before
// any traced function is called; its lines are written as pass one writes
// them after a pool, less the blank ones, which this file never holds.
void EmitPoolAndTracer() {
  run_state.constants_done = 1;
  if (const std::set<std::string>* names = DeclaredNames())
    emit_line(merged_constants_line(*names));
  for (const char* const* line = prologue_template; *line; ++line) {
    std::string_view text = *line;
    if (!take_blank_separated_token(text).empty())
      emit_line(*line);
  }
}

void CopyLineWatchingFrames(std::string_view token) {
  emit_line();
  if (!token_matches(token, FrameSeenAgain)) {
    run_state.state = Rescan;
    return;
  }
  run_state.state = FrameSeenAgain;
  if (++run_state.frame_lines_copied == run_state.tracer_frame)
    EmitPoolAndTracer();
}

}  // namespace

std::string merged_constants_line(const std::set<std::string>& names) {
  std::string merged = kMergedLinePrefix;
  const char* separator = "";
  for (const std::string& name : names) {
    merged += separator;
    merged += '\'';
    merged += name;
    merged += '\'';
    separator = ", ";
  }
  return merged;
}

int rescan() {
  std::string_view token;
  if (read_token(token, 1) < 0)
    return 0;
  CopyLineWatchingFrames(token);
  return 1;
}

int frame_seen_again() {
  std::string_view token;
  if (read_token(token, 1) < 0)
    return 0;
  if (token_matches(token, RewriteConstants)) {
    run_state.state = RewriteConstants;
  } else {
    // As a C string: a NUL inside the token ends it here.
    log_line(kInvalidToken, std::string(token).c_str(),
             state_keywords[RewriteConstants].data());
    CopyLineWatchingFrames(token);
  }
  return 1;
}

int rewrite_constants() {
  if (!run_state.constants_done) {
    run_state.constants_done = 1;
    if (const std::set<std::string>* names = DeclaredNames())
      emit_line(merged_constants_line(*names));
    else
      emit_line();
  }
  run_state.state = Rescan;
  return 1;
}
