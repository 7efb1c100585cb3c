#ifndef VIMBREL_TESTS_SUPPORT_OUTPUT_PROPERTIES_H_
#define VIMBREL_TESTS_SUPPORT_OUTPUT_PROPERTIES_H_

#include <string>
#include <vector>

/// Checks what must hold for every input, whatever it holds:
/// - nothing lost: the intermediate file, with its entry and exit blocks and
///   its prologue taken out, is the input's lines that hold a token, in
///   order; the final file is the intermediate's lines that hold a token,
///   less the pools after frame lines, the first replaced by the merged pool;
/// - placement: every entry block directly follows a function line, every
///   exit block directly precedes a return or end line, the prologue follows
///   a constants line and is written at most once;
/// - the final file has at most one constants line directly after a frame
///   line, and it declares every name that the entry blocks push;
/// - the tracer's place: after the main timeline's first frame line, else
///   the first with a pool, else the first; its pool, or one written right
///   after the frame line, is the merged pool followed by the tracer; pools
///   after earlier frame lines stay, after later ones go; a traced movie
///   without frame lines has them after its first initMovieClip line; a
///   traced movie with either line has exactly one pool followed by the
///   tracer.
/// - every label that vimbrel adds is defined once, and not by the movie;
///   the tracer may name its labels vimbrelN_tracer_ready, vimbrelN_labelM.
/// The final file is compared with its islands taken out.
/// Returns an empty string when all hold, else what broke.
/// `prologue_template` is the tracer's code that the run wrote.
/// With `events` (--events) frame scripts and handlers need the tracer, and
/// their entry blocks follow frame, pool and handler lines and the tracer;
/// with `frames` (--frames) any frame line needs the tracer; with
/// `trace_output` (--trace-output) every trace line directly follows its
/// trace block, and any trace line needs the tracer.
std::string check_rewrite_properties(const std::string& input,
                                     const std::string& intermediate,
                                     const std::string& final_output,
                                     const char* const* prologue_template,
                                     bool events = false, bool frames = false,
                                     bool trace_output = false);

/// Every branch of the final file reaches its label within `reach` bytes,
/// but for those at `doubtful_lines` and those whose span holds no traced
/// code (as the movie had them). Empty when so, else what broke.
std::string check_branch_reach(const std::string& final_output, long reach,
                               const std::vector<long>& doubtful_lines);

#endif  // VIMBREL_TESTS_SUPPORT_OUTPUT_PROPERTIES_H_
