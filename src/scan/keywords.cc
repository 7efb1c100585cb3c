#include "scan/keywords.h"

#include <cstring>

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

bool token_matches(const std::string& token, int state) {
  const char* keyword = state_keywords[state];
  if (!keyword)
    return false;
  return token.compare(0, std::strlen(keyword), keyword) == 0;
}
