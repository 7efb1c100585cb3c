#include "passone/block_writers.h"

#include "passone/templates.h"
#include "scan/token_reader.h"
#include "state/run_state.h"

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

void write_trace_block() {
  ++run_state.trace_blocks_written;
  emit_lines(trace_template);
}
