#include "passone/function_filter.h"

#include <utility>

#include "scan/string_literal.h"

namespace {

// The offset of the character after the one at `at`: a UTF-8 sequence is
// one character.
std::size_t NextCharacter(std::string_view text, std::size_t at) {
  ++at;
  while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
    ++at;
  return at;
}

}  // namespace

bool glob_matches(std::string_view pattern, std::string_view name) {
  std::size_t p = 0, n = 0;
  // Where to go on when what follows the last star does not match.
  std::size_t star = std::string_view::npos, star_name = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = ++p;
      star_name = n;
      continue;
    }
    if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      n = NextCharacter(name, n);
      continue;
    }
    if (p < pattern.size()) {
      std::size_t literal = pattern[p] == '\\' && p + 1 < pattern.size() ? p + 1 : p;
      if (pattern[literal] == name[n]) {
        p = literal + 1;
        ++n;
        continue;
      }
    }
    if (star == std::string_view::npos)
      return false;
    p = star;
    n = star_name = NextCharacter(name, star_name);
  }
  while (p < pattern.size() && pattern[p] == '*')
    ++p;
  return p == pattern.size();
}

bool FunctionFilter::AnyMatches(std::vector<Pattern>& patterns,
                                const std::string& name) {
  bool any = false;
  for (Pattern& pattern : patterns) {
    if (glob_matches(pattern.glob, name))
      any = pattern.matched = true;
  }
  return any;
}

bool FunctionFilter::traces(std::string_view name) {
  if (empty())
    return true;
  std::string shown = resolved_text(name, '\'');
  // Every pattern is tried, so that each knows whether it matched.
  bool only = only_.empty() || AnyMatches(only_, shown);
  bool skip = AnyMatches(skip_, shown);
  return only && !skip;
}

std::vector<std::string> FunctionFilter::unmatched() const {
  std::vector<std::string> messages;
  for (const auto& [option, patterns] :
       {std::pair{"--only", &only_}, std::pair{"--skip", &skip_}}) {
    for (const Pattern& pattern : *patterns) {
      if (!pattern.matched)
        messages.push_back(std::string(option) + " '" + pattern.glob +
                           "' matches no function");
    }
  }
  return messages;
}
