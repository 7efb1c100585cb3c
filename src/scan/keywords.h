#ifndef VIMBREL_SCAN_KEYWORDS_H_
#define VIMBREL_SCAN_KEYWORDS_H_

#include <string>

#include "state/state_handlers.h"

/// The keyword of each state, or null for a state that has none.
extern const char* const state_keywords[kStateCount];

/// True when `token` begins with the keyword of `state`; never for a state
/// without a keyword.
bool token_matches(const std::string& token, int state);

#endif  // VIMBREL_SCAN_KEYWORDS_H_
