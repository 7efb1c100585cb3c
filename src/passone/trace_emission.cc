#include "passone/trace_emission.h"

#include "passone/block_writers.h"
#include "passone/event_blocks.h"
#include "passone/register_names.h"
#include "scan/line_marks.h"
#include "scan/token_reader.h"
#include "state/run_state.h"
#include "state/state_handlers.h"

namespace {

// A function left out by --only or --skip is still followed, for the names
// of those nested in it, but gets no blocks.
int EnterFunction() {
  const std::string& name = run_state.function_name;
  ++run_state.functions_recognised;
  bool traced = write_entry_block(name);
  run_state.function_stack.push_back({name, 0, traced});
  run_state.state = Scan;
  return 1;
}

int ExitFunction(std::string_view name) {
  write_exit_block(name);
  emit_line();
  run_state.state = Scan;
  return 1;
}

int CopyLine() {
  emit_line();
  run_state.state = Scan;
  return 1;
}

}  // namespace

int enter_named() { return EnterFunction(); }
int enter_anonymous() { return EnterFunction(); }
int enter_member() { return EnterFunction(); }
int enter_method() { return EnterFunction(); }

int function_end() {
  if (run_state.function_stack.empty()) {
    close_event_block_at_end();
    return CopyLine();
  }
  OpenFunction& innermost = run_state.function_stack.back();
  if (innermost.open_blocks > 0 && !current_line_closes("function")) {
    --innermost.open_blocks;
    return CopyLine();
  }
  std::string name = std::move(innermost.name);
  bool traced = innermost.traced;
  run_state.function_stack.pop_back();
  note_function_closed(name);
  return traced ? ExitFunction(name) : CopyLine();
}

int function_return() {
  if (run_state.function_stack.empty()) {
    exit_event_block_at_return();
    return CopyLine();
  }
  if (!run_state.function_stack.back().traced)
    return CopyLine();
  return ExitFunction(run_state.function_stack.back().name);
}
