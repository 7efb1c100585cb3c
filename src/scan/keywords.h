#ifndef VIMBREL_SCAN_KEYWORDS_H_
#define VIMBREL_SCAN_KEYWORDS_H_

#include <string_view>

#include "state/state_handlers.h"

/// The keyword of each state, empty for a state that has none. Each is a
/// literal, so data() is a C string too.
inline constexpr std::string_view state_keywords[kStateCount] = {
    {},               // Scan
    "frame",          // FrameSeen
    "constants",      // ConstantsSeen
    "function",       // FunctionLine
    "push",           // PushLine
    "push",           // MemberPush
    "push",           // MethodPush
    "'",              // NamePushed
    "'",              // MemberNamed
    "'",              // MethodNamed
    "getVariable",    // VariableFetched
    "getMember",      // PrototypeFetched
    "'prototype'",    // PrototypePushed
    {},               // EnterNamed
    "(",              // EnterAnonymous
    "function",       // EnterMember
    "function",       // EnterMethod
    "end",            // FunctionEnd
    "return",         // FunctionReturn
    {},               // Rescan
    "frame",          // FrameSeenAgain
    "constants",      // RewriteConstants
};

/// True when `token` begins with the keyword of `state`; never for a state
/// without a keyword. Every line is tested against several keywords, and
/// most tokens differ from a keyword in their first character.
#if defined(__GNUC__)
__attribute__((always_inline))
#endif
inline bool token_matches(std::string_view token, int state) {
  std::string_view keyword = state_keywords[state];
  if (keyword.empty() || token.size() < keyword.size() ||
      token[0] != keyword[0])
    return false;
  // Keywords are a few bytes long: a loop beats a call to memcmp.
  for (std::size_t i = 1; i < keyword.size(); ++i) {
    if (token[i] != keyword[i])
      return false;
  }
  return true;
}

#endif  // VIMBREL_SCAN_KEYWORDS_H_
