#ifndef VIMBREL_PASSONE_MOVIE_LAYOUT_H_
#define VIMBREL_PASSONE_MOVIE_LAYOUT_H_

#include <string>
#include <string_view>

// Where a movie's frames stand, and which Flash version it is: what decides
// where the tracer can go and whether it can run at all.

/// Notes the current line, whose first token is `token`, in
/// run_state.layout: frame lines, defineMovieClip blocks, the movie line.
void note_movie_layout(std::string_view token);

/// The frame line after which pass two must write the pool and the tracer
/// when pass one found no pool for them: the main timeline's first, else
/// the file's first; 0 when the input has no frame line.
long tracer_frame_without_pool();

/// The Flash version below which the tracer cannot run: it needs _global.
constexpr int kFirstFlashWithGlobal = 6;

#endif  // VIMBREL_PASSONE_MOVIE_LAYOUT_H_
