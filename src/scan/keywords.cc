#include "scan/keywords.h"

#include <array>
#include <string_view>

const char* const state_keywords[kStateCount] = {
    nullptr,          // Scan
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
    nullptr,          // EnterNamed
    "(",              // EnterAnonymous
    "function",       // EnterMember
    "function",       // EnterMethod
    "end",            // FunctionEnd
    "return",         // FunctionReturn
    nullptr,          // Rescan
    "frame",          // FrameSeenAgain
    "constants",      // RewriteConstants
};

namespace {

std::array<std::string_view, kStateCount> MeasureKeywords() {
  std::array<std::string_view, kStateCount> measured{};
  for (int state = 0; state < kStateCount; ++state) {
    if (state_keywords[state])
      measured[state] = state_keywords[state];
  }
  return measured;
}

// Measured once: every line is tested against several keywords.
const std::array<std::string_view, kStateCount> keywords = MeasureKeywords();

}  // namespace

bool token_matches(const std::string& token, int state) {
  if (!state_keywords[state])
    return false;
  std::string_view keyword = keywords[state];
  // Most tokens differ from a keyword in their first character.
  return token.size() >= keyword.size() &&
         (keyword.empty() || token[0] == keyword[0]) &&
         std::char_traits<char>::compare(token.data(), keyword.data(),
                                         keyword.size()) == 0;
}
