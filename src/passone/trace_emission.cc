#include "passone/trace_emission.h"

#include "passone/event_blocks.h"
#include "passone/register_names.h"
#include "passone/scan_states.h"
#include "passone/templates.h"
#include "scan/token_reader.h"
#include "state/run_state.h"
#include "state/state_handlers.h"

namespace {

// Pushes the name as the tracer call's one argument. The empty line after it
// stays in the intermediate file only.
void EmitNamePushLine(std::string_view name) {
  LineWriter& output = *run_state.output;
  output.write(name_push_prefix);
  output.write(name);
  output.write_line(name_push_suffix);
}

void ListName(const std::string& name) {
  TracedNames& names = run_state.traced_names;
  if (names.counts[name]++ == 0)
    names.in_order.push_back(name);
}

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

bool write_entry_block(const std::string& name) {
  if (!run_state.function_filter.traces(name))
    return false;
  run_state.constant_names.insert(name);
  ++run_state.entry_blocks_written;
  if (run_state.listing_names)
    ListName(name);
  EmitNamePushLine(name);
  emit_lines(entry_template);
  return true;
}

void write_exit_block(std::string_view name) {
  EmitNamePushLine(name);
  emit_lines(exit_template);
}

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
    const std::optional<OpenFunction>& block = run_state.events.open;
    if (block && block->traced)
      write_exit_block(block->name);
    return CopyLine();
  }
  if (!run_state.function_stack.back().traced)
    return CopyLine();
  return ExitFunction(run_state.function_stack.back().name);
}
