#ifndef VIMBREL_DRIVER_COMMAND_LINE_H_
#define VIMBREL_DRIVER_COMMAND_LINE_H_

#include <string>
#include <vector>

#include "state/run_state.h"

/// What the command line asks for.
struct CommandLine {
  /// The input name; empty when none was given.
  std::string input;
  Clock clock = Clock::kGetTimer;
  bool collect_from_start = false;
  /// The tracer marks each frame of the player.
  bool mark_frames = false;
  /// Frame scripts and button and clip handlers are traced too.
  bool trace_events = false;
  /// Each trace() of the movie is recorded too.
  bool trace_output = false;
  /// Records the tracer hands over at a time while collecting; 0: none.
  long flush_every = 0;
  /// Trace only functions whose names match one of `only`, if any is given,
  /// and none of `skip`.
  std::vector<std::string> only;
  std::vector<std::string> skip;
  /// Print the names that would be traced instead of writing files.
  bool list_functions = false;
  bool help = false;
  /// Why the command line cannot be run, as a message; empty when it can.
  std::string problem;
  /// What to warn of before the run: options after the input name.
  std::vector<std::string> warnings;
};

/// Reads `arguments` (the program name first): options before the input
/// name, "--" ending them; words after the input name are ignored, our
/// options there warned of.
CommandLine parse_command_line(const std::vector<std::string>& arguments);

#endif  // VIMBREL_DRIVER_COMMAND_LINE_H_
