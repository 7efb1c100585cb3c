#include "scan/string_literal.h"

bool read_string_literal(std::string_view text, std::size_t open,
                         std::string_view& body, std::size_t& end) {
  for (std::size_t i = open + 1; i < text.size(); ++i) {
    if (text[i] == '\\') {
      ++i;
    } else if (text[i] == '\'') {
      body = text.substr(open + 1, i - open - 1);
      end = i + 1;
      return true;
    }
  }
  return false;
}

std::string escape_for_literal(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    if (c == '\\' || c == '\'')
      escaped += '\\';
    escaped += c;
  }
  return escaped;
}
