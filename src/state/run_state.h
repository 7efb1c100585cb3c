#ifndef VIMBREL_STATE_RUN_STATE_H_
#define VIMBREL_STATE_RUN_STATE_H_

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "passone/function_filter.h"
#include "scan/line_reader.h"
#include "scan/line_writer.h"
#include "scan/token_iterator.h"

/// Where the tracer takes its records' times from: getTimer(), or the wall
/// clock (new Date()), which players that fake getTimer leave alone.
enum class Clock { kGetTimer, kDate };

/// A function whose body is open in pass one.
struct OpenFunction {
  std::string name;
  /// try, with, setTarget... blocks of this body whose `end` is still to come.
  int open_blocks = 0;
  /// It has its entry and exit blocks: --only and --skip may leave it out.
  bool traced = true;
};

/// The names that get entry blocks, in the order of their first one, each
/// with the number of functions that bear it: what --list-functions prints.
struct TracedNames {
  std::vector<std::string> in_order;
  std::unordered_map<std::string, long> counts;
};

/// What pass one learns of the movie's timelines, to place the tracer.
struct MovieLayout {
  /// Frame lines seen so far; a frame line is known by its ordinal.
  long frame_lines = 0;
  long first_frame = 0;
  /// The first frame line outside every defineMovieClip block: the main
  /// timeline's.
  long first_main_frame = 0;
  /// The first frame line directly followed by a constants line.
  long first_frame_with_pool = 0;
  int movie_clip_depth = 0;
  /// initMovieClip lines seen: where a movie of classes alone runs first.
  long init_clips = 0;
  /// The first initMovieClip line is directly followed by a constants line.
  bool first_init_clip_has_pool = false;
  /// The line before this one was the first initMovieClip line.
  bool after_first_init_clip = false;
  /// From flasm's movie line ("// flash N"); -1 when the input has none.
  int flash_version = -1;
};

/// Code outside functions, traced with --events: frame scripts and the
/// handlers of buttons and placed clips.
struct EventBlocks {
  bool enabled = false;
  /// The open defineMovieClip, defineButton and placeMovieClip blocks, as
  /// their keyword and character number: where a block's name comes from.
  std::vector<std::pair<std::string, std::string>> places;
  /// The frame script or handler open outside every function.
  std::optional<OpenFunction> open;
  bool open_is_frame = false;
  /// A frame's entry block waits for its pool and the tracer after it.
  bool entry_pending = false;
};

/// What registers hold outside function bodies: ActionScript 2 compilers
/// keep a class and its prototype there while they define its methods.
struct RegisterNames {
  /// Register number to the traced name it holds.
  std::map<int, std::string> held;
  /// Set for one line after the end of a function that left no body open.
  bool function_just_closed = false;
  std::string closed_function;
  /// Progress through `push r:N, 'prototype'`, `getMember`, `setRegister`:
  /// the lines of that pattern seen so far, and N.
  int prototype_lines = 0;
  int prototype_of = -1;
};

/// The one record of the rewriter's state, shared by every state handler.
struct RunState {
  Clock clock = Clock::kGetTimer;
  /// The tracer collects from its creation on, not from the first F12.
  bool collect_from_start = false;
  /// Records the tracer hands over at a time while collecting; 0: none.
  long flush_every = 0;
  /// The tracer marks each frame of the player with a record.
  bool mark_frames = false;
  /// --trace-output: each trace() of the movie is recorded too.
  bool trace_output = false;
  EventBlocks events;
  /// Index into state_handlers and state_keywords.
  int state = 0;
  int constants_done = 0;
  std::unique_ptr<LineReader> input;
  std::unique_ptr<LineWriter> output;
  /// When set, lines go through it on their way to `output`.
  LineFilter* output_filter = nullptr;
  /// The current input line, without its line end: a view into the input's
  /// buffer, valid until the next line is read.
  std::string_view line;
  /// Physical lines read in this pass, blank ones included.
  long line_number = 0;
  /// Walks `line`; absent at the start of each pass and after the input ends.
  std::optional<TokenIterator> cursor;
  TokenIterator cursor_end;
  /// Ordered by unsigned byte values, as std::string compares.
  std::set<std::string> constant_names;
  /// constant_names but the traced names that are nothing else: the pool
  /// that stands when all of them make one too large for flasm.
  std::set<std::string> own_pool_names;
  /// Innermost open function last.
  std::vector<OpenFunction> function_stack;
  std::string function_name;
  int anonymous_count = 0;
  /// Functions recognised in pass one, traced or not: the tracer is
  /// needed when there are any.
  long functions_recognised = 0;
  /// Entry blocks written in pass one.
  long entry_blocks_written = 0;
  /// The blocks written before `trace` lines (--trace-output).
  long trace_blocks_written = 0;
  /// Which functions are traced, by name.
  FunctionFilter function_filter;
  /// Kept only when asked for: the names traced.
  bool listing_names = false;
  TracedNames traced_names;
  /// A carriage return before a line end belongs to the line end in flasm
  /// text from Windows; in the intermediate file it is text.
  bool carriage_return_ends_line = false;
  MovieLayout layout;
  RegisterNames registers;
  /// The frame line that holds the tracer (an ordinal, 0 for none).
  long tracer_frame = 0;
  /// A movie without frame lines holds it in its first initMovieClip block.
  bool tracer_in_init_clip = false;
  /// The line that holds the tracer is directly followed by its pool.
  bool tracer_host_has_pool = false;
  /// Pass one wrote the tracer after that pool; else pass two writes it.
  bool tracer_in_intermediate = false;
  long frame_lines_copied = 0;
  long init_clips_copied = 0;
  /// Labels of the input that vimbrel might write too (own_labels.h).
  std::set<std::string> labels_like_ours;
  /// What the labels that vimbrel writes begin with, chosen after pass one.
  std::string label_prefix = "vimbrel_";
  /// Lines of the tracer that pass one wrote, to be written again by pass
  /// two with labels of their own.
  long tracer_lines_to_drop = 0;
};

extern RunState run_state;

/// Returns run_state to its state at program start, releasing what it holds.
void clear_run_state();

#endif  // VIMBREL_STATE_RUN_STATE_H_
