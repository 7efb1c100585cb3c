#ifndef VIMBREL_PASSONE_BLOCK_WRITERS_H_
#define VIMBREL_PASSONE_BLOCK_WRITERS_H_

// The blocks that pass one writes into the code: the entry and exit
// blocks around traced code, for functions and for code outside them
// alike, and the block before each trace() the movie makes. A leaf: the
// states that decide where blocks go call it.

#include <string>
#include <string_view>

/// Writes the entry block for `name` (as it stands between the quotes of a
/// flasm literal) unless --only or --skip leave it out; false then.
bool write_entry_block(const std::string& name);
/// Writes the exit block for `name`.
void write_exit_block(std::string_view name);
/// Writes the block before a `trace` line (--trace-output), which records
/// what it prints.
void write_trace_block();

#endif  // VIMBREL_PASSONE_BLOCK_WRITERS_H_
