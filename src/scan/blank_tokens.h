#ifndef VIMBREL_SCAN_BLANK_TOKENS_H_
#define VIMBREL_SCAN_BLANK_TOKENS_H_

#include <string_view>

/// Takes the next run of characters other than blanks (spaces and tabs)
/// off the front of `rest`, with the blanks before it; empty when `rest`
/// holds only blanks.
inline std::string_view take_blank_separated_token(std::string_view& rest) {
  std::size_t begin = 0;
  while (begin < rest.size() && (rest[begin] == ' ' || rest[begin] == '\t'))
    ++begin;
  std::size_t end = begin;
  while (end < rest.size() && rest[end] != ' ' && rest[end] != '\t')
    ++end;
  std::string_view token = rest.substr(begin, end - begin);
  rest.remove_prefix(end);
  return token;
}

#endif  // VIMBREL_SCAN_BLANK_TOKENS_H_
