#include "scan/line_marks.h"

#include <string_view>

#include "scan/blank_tokens.h"
#include "state/run_state.h"

bool current_line_closes(const char* block) {
  std::string_view rest = run_state.line;
  const std::string_view mark[] = {{}, "//", "of", block};
  for (std::string_view word : mark) {
    std::string_view token = take_blank_separated_token(rest);
    // The first token is the end keyword, which the caller has tested.
    if (token.empty() || (!word.empty() && token != word))
      return false;
  }
  return true;
}
