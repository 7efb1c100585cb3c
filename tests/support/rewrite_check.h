#ifndef VIMBREL_TESTS_SUPPORT_REWRITE_CHECK_H_
#define VIMBREL_TESTS_SUPPORT_REWRITE_CHECK_H_

#include <string>

#include "state/run_state.h"

/// How a run of both passes in this process is asked for.
struct CheckedRun {
  Clock clock = Clock::kGetTimer;
  bool collect_from_start = false;
  long flush_every = 0;
  bool mark_frames = false;
  bool trace_events = false;
  bool trace_output = false;
  /// Functions whose names match are left out, as with --skip.
  std::string skip;
};

/// Writes `input` as movie.flm in `directory`, rewrites it in this process
/// with short branch reaches (so that small inputs need islands too) and
/// checks what must hold of every output: check_rewrite_properties and
/// check_branch_reach, and that the run succeeds and leaves its input as it
/// was. Returns what broke, empty when nothing did. The run's messages are
/// kept off standard error.
std::string rewrite_and_check(const std::string& input,
                              const std::string& directory,
                              const CheckedRun& how = CheckedRun());

#endif  // VIMBREL_TESTS_SUPPORT_REWRITE_CHECK_H_
