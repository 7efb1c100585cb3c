#include "passtwo/pool_rewrite.h"

#include "driver/driver.h"
#include "scan/keywords.h"
#include "scan/token_reader.h"
#include "state/run_state.h"
#include "state/state_handlers.h"

namespace {

const char kInvalidToken[] = "invalid token:%s, supposed to be:%s.";
const char kMergedLinePrefix[] = "    constants ";

void CopyLineWatchingFrames(const std::string& token) {
  emit_line();
  run_state.state = token_matches(token, FrameSeenAgain) ? FrameSeenAgain
                                                         : Rescan;
}

}  // namespace

std::string merged_constants_line(const std::set<std::string>& names) {
  std::string merged = kMergedLinePrefix;
  const char* separator = "";
  for (const std::string& name : names) {
    merged += separator;
    merged += '\'';
    merged += name;
    merged += '\'';
    separator = ", ";
  }
  return merged;
}

int rescan() {
  std::string token;
  if (read_token(token, 1) < 0)
    return 0;
  CopyLineWatchingFrames(token);
  return 1;
}

int frame_seen_again() {
  std::string token;
  if (read_token(token, 1) < 0)
    return 0;
  if (token_matches(token, RewriteConstants)) {
    run_state.state = RewriteConstants;
  } else {
    log_line(kInvalidToken, token.c_str(), state_keywords[RewriteConstants]);
    CopyLineWatchingFrames(token);
  }
  return 1;
}

int rewrite_constants() {
  if (!run_state.constants_done) {
    run_state.constants_done = 1;
    emit_line(merged_constants_line(run_state.constant_names));
  }
  run_state.state = Rescan;
  return 1;
}
