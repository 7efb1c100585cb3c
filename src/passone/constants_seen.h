#ifndef VIMBREL_PASSONE_CONSTANTS_SEEN_H_
#define VIMBREL_PASSONE_CONSTANTS_SEEN_H_

#include <string_view>

/// State 2: at the pool of the main timeline's first frame, collects its
/// names and writes the tracer prologue; other pools pass unchanged.
int constants_seen();

/// Adds every string literal of a constants line to run_state.constant_names
/// and own_pool_names, escapes as written; a literal without its closing
/// quote ends the list.
void collect_pool_names(std::string_view constants_line);

#endif  // VIMBREL_PASSONE_CONSTANTS_SEEN_H_
