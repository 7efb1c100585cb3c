#include "passone/movie_layout.h"

#include <cstring>
#include <string_view>

#include "scan/keywords.h"
#include "scan/line_marks.h"
#include "scan/string_literal.h"
#include "scan/token_reader.h"
#include "state/run_state.h"
#include "state/state_handlers.h"

namespace {

// flasm's first line: movie 'name.swf' [compressed] // flash N, total ...
// The name is read as a literal so that "// flash" inside it is not taken.
int FlashVersionOfMovieLine(std::string_view line) {
  std::size_t open = line.find('\'');
  std::string_view name;
  std::size_t after_name;
  if (open == std::string_view::npos ||
      !read_string_literal(line, open, name, after_name))
    return -1;
  const char mark[] = "// flash ";
  std::size_t at = line.find(mark, after_name);
  if (at == std::string_view::npos)
    return -1;
  std::size_t digits = at + std::strlen(mark);
  while (digits < line.size() && line[digits] == '0')
    ++digits;
  std::size_t end = digits;
  while (end < line.size() && line[end] >= '0' && line[end] <= '9')
    ++end;
  if (end == at + std::strlen(mark))
    return -1;
  // Only versions below 6 matter: any longer number is at least 10.
  if (end - digits > 1)
    return 10;
  return end == digits ? 0 : line[digits] - '0';
}

}  // namespace

void note_movie_layout(std::string_view token) {
  MovieLayout& layout = run_state.layout;
  if (layout.after_first_init_clip) {
    layout.after_first_init_clip = false;
    layout.first_init_clip_has_pool = token_matches(token, ConstantsSeen);
  }
  // Asked of every line: most lines begin with none of these letters.
  char first = token[0];
  if (first != 'm' && first != 'f' && first != 'd' && first != 'e' &&
      first != 'i')
    return;
  if (token == "initMovieClip") {
    layout.after_first_init_clip = layout.init_clips++ == 0;
  } else if (run_state.line_number == 1 && token == "movie") {
    layout.flash_version = FlashVersionOfMovieLine(run_state.line);
  } else if (token_matches(token, FrameSeen)) {
    ++layout.frame_lines;
    if (!layout.first_frame)
      layout.first_frame = layout.frame_lines;
    if (!layout.first_main_frame && layout.movie_clip_depth == 0)
      layout.first_main_frame = layout.frame_lines;
  } else if (token == "defineMovieClip") {
    ++layout.movie_clip_depth;
  } else if (token == "end" && layout.movie_clip_depth > 0 &&
             current_line_closes("defineMovieClip")) {
    --layout.movie_clip_depth;
  }
}

void note_frame_pool() {
  MovieLayout& layout = run_state.layout;
  if (!layout.first_frame_with_pool)
    layout.first_frame_with_pool = layout.frame_lines;
}

bool at_main_timeline_pool() {
  return run_state.layout.first_main_frame == run_state.layout.frame_lines;
}

void place_tracer() {
  const MovieLayout& layout = run_state.layout;
  // Where the tracer goes does not depend on which functions --only and
  // --skip leave out.
  bool traced = tracer_wanted();
  bool needed = layout.first_frame_with_pool ||
                ((traced || run_state.mark_frames) && layout.first_frame);
  run_state.tracer_in_intermediate = run_state.constants_done != 0;
  run_state.tracer_frame = 0;
  run_state.tracer_in_init_clip = false;
  run_state.tracer_host_has_pool = false;
  if (!needed) {
    // A movie of classes alone runs its initMovieClip blocks first.
    if (traced && !layout.first_frame && layout.init_clips) {
      run_state.tracer_in_init_clip = true;
      run_state.tracer_host_has_pool = layout.first_init_clip_has_pool;
    }
  } else if (layout.first_main_frame) {
    run_state.tracer_frame = layout.first_main_frame;
    run_state.tracer_host_has_pool = run_state.tracer_in_intermediate;
  } else if (layout.first_frame_with_pool) {
    run_state.tracer_frame = layout.first_frame_with_pool;
    run_state.tracer_host_has_pool = true;
  } else {
    run_state.tracer_frame = layout.first_frame;
  }
}

bool tracer_wanted() {
  return run_state.functions_recognised > 0 || run_state.trace_blocks_written > 0;
}
