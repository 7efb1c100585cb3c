#ifndef VIMBREL_PASSONE_TEMPLATES_H_
#define VIMBREL_PASSONE_TEMPLATES_H_

// The flasm text that pass one writes. Line tables end with a null pointer.

#include "state/run_state.h"

/// Calls _global._tracer_.startTrace with the name pushed before it.
extern const char* const entry_template[];
/// Calls _global._tracer_.endTrace with the name pushed before it.
extern const char* const exit_template[];
/// Before a `trace` line (--trace-output): hands a copy of the value it
/// prints to _global._tracer_.traceText, and leaves the value for it.
extern const char* const trace_template[];
/// Creates _global._tracer_ unless it exists: F12 toggles collection, and
/// turning it off sends the records through "FSCommand:save". The records'
/// times come from `clock`; with the wall clock, Flash 7 and later movies
/// (`flash_version`, -1 when unknown) get the faster function2 form. It
/// collects from its creation on when `collect_from_start`. With
/// `flush_every` above 0 it hands every so many records to the host through
/// "FSCommand:records" while it collects, and keeps only the rest. With
/// `mark_frames` it adds a record at the start of each frame of the player;
/// with `trace_output` it has traceText, which records each line the movie
/// prints with trace(), "text Trace t".
const char* const* prologue_template_for(Clock clock, int flash_version,
                                         bool collect_from_start = false,
                                         long flush_every = 0,
                                         bool mark_frames = false,
                                         bool trace_output = false);
/// The tracer's code for this run, as run_state asks for it.
const char* const* run_prologue_template();

/// The tracer's own strings, declared in every rewritten constant pool.
extern const char* const tracer_constants[];

/// The line that pushes a traced name is prefix, name, suffix.
extern const char name_push_prefix[];
extern const char name_push_suffix[];

/// First tokens of the blocks that flasm closes with `end` inside a body.
extern const char* const nested_block_openers[];

#endif  // VIMBREL_PASSONE_TEMPLATES_H_
