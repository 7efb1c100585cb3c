#ifndef VIMBREL_TESTS_SUPPORT_RUN_STATE_FIXTURE_H_
#define VIMBREL_TESTS_SUPPORT_RUN_STATE_FIXTURE_H_

#include <string>

/// Empties run_state, feeds it `input` and collects its output in memory.
void reset_run_state(const std::string& input);

/// What the handlers have written since the last reset.
std::string written_output();

/// Runs pass one over `input` (with the tracer constants not seeded) and
/// returns the intermediate text.
std::string run_pass_one(const std::string& input);

/// Runs pass two over `input` with the names already in run_state, as pass
/// one leaves it when it wrote the tracer after the pool of frame line
/// number `tracer_frame`.
std::string run_pass_two(const std::string& input, long tracer_frame = 1);

#endif  // VIMBREL_TESTS_SUPPORT_RUN_STATE_FIXTURE_H_
