#ifndef VIMBREL_PASSONE_MOVIE_LAYOUT_H_
#define VIMBREL_PASSONE_MOVIE_LAYOUT_H_

#include <string>
#include <string_view>

// Where a movie's frames stand, and which Flash version it is: what decides
// where the tracer can go and whether it can run at all.

/// Notes the current line, whose first token is `token`, in
/// run_state.layout: frame lines, defineMovieClip and initMovieClip blocks,
/// the movie line.
void note_movie_layout(std::string_view token);

/// Notes that the current line, a constants line, directly follows a frame
/// line.
void note_frame_pool();

/// True when the current line, a constants line right after a frame line,
/// is the pool of the main timeline's first frame: the tracer's, known as
/// soon as it is read.
bool at_main_timeline_pool();

/// Once pass one has read the whole movie, sets where the tracer goes in
/// run_state: the main timeline's first frame line, which the movie runs
/// first; else the first followed by a pool; else the first. It needs a
/// frame with a pool, or a frame and a traced function. A traced movie
/// without frame lines holds it in its first initMovieClip block.
void place_tracer();

/// True when pass one wrote code that calls the tracer: a function or code
/// outside functions recognised, traced or not, or a trace() recorded.
bool tracer_wanted();

/// The Flash version below which the tracer cannot run: it needs _global.
constexpr int kFirstFlashWithGlobal = 6;

#endif  // VIMBREL_PASSONE_MOVIE_LAYOUT_H_
