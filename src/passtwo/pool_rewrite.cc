#include "passtwo/pool_rewrite.h"

#include <string_view>

#include "passone/constants_seen.h"
#include "passone/own_labels.h"
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

// Where pass one could not know the tracer's place, or its labels, its
// lines are written here as pass one writes them, less the blank ones.
// Returns how many it wrote.
long EmitTracer() {
  long written = 0;
  for (const char* const* line = run_prologue_template(); *line; ++line) {
    std::string_view text = *line;
    if (take_blank_separated_token(text).empty())
      continue;
    emit_line(with_own_labels(*line));
    ++written;
  }
  return written;
}

// Right after the line that holds the tracer, when no pool follows it.
void EmitPoolAndTracer() {
  run_state.constants_done = 1;
  if (const std::set<std::string>* names = DeclaredNames())
    emit_line(merged_constants_line(*names));
  EmitTracer();
}

// Copies the line. The line that holds the tracer (a frame line, or the
// first initMovieClip line of a movie without frames) is followed by the
// merged pool and the tracer, or by its own pool, rewritten.
void CopyLineWatchingFrames(std::string_view token) {
  if (run_state.tracer_lines_to_drop > 0) {
    --run_state.tracer_lines_to_drop;
    run_state.state = Rescan;
    return;
  }
  emit_line();
  bool host;
  if (token_matches(token, FrameSeenAgain)) {
    run_state.state = FrameSeenAgain;
    host = ++run_state.frame_lines_copied == run_state.tracer_frame;
  } else {
    run_state.state = Rescan;
    host = run_state.tracer_in_init_clip && token == "initMovieClip" &&
           ++run_state.init_clips_copied == 1;
  }
  if (!host)
    return;
  if (!run_state.tracer_host_has_pool)
    EmitPoolAndTracer();
  else
    run_state.state = FrameSeenAgain;  // which takes the pool that follows
}

// The tracer's own pool becomes the merged pool.
void RewriteTracerPool() {
  run_state.constants_done = 1;
  if (!run_state.tracer_in_intermediate)
    collect_pool_names(run_state.line);
  if (const std::set<std::string>* names = DeclaredNames())
    emit_line(merged_constants_line(*names));
  else
    emit_line();
  if (!run_state.tracer_in_intermediate)
    EmitTracer();
  else if (run_state.label_prefix != kDefaultLabelPrefix)
    run_state.tracer_lines_to_drop = EmitTracer();
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
  // Pools of frames before the tracer's are the movie's own; those after it
  // are left out.
  if (run_state.tracer_in_init_clip ||
      run_state.frame_lines_copied == run_state.tracer_frame)
    RewriteTracerPool();
  else if (run_state.frame_lines_copied < run_state.tracer_frame)
    emit_line();
  run_state.state = Rescan;
  return 1;
}
