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

bool escaped_byte(char next, char quote, char& byte) {
  switch (next) {
    case 'b': byte = '\b'; return true;
    case 't': byte = '\t'; return true;
    case 'n': byte = '\n'; return true;
    case 'f': byte = '\f'; return true;
    case 'r': byte = '\r'; return true;
    case '\\': byte = '\\'; return true;
    case '\'': byte = '\''; return true;
    case '"': byte = '"'; return quote == '"';
    default: return false;
  }
}

namespace {

// Calls take(byte) for each byte that `body` stands for.
template <typename Take>
void ResolveEscapes(std::string_view body, char quote, Take take) {
  char byte;
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] == '\\' && i + 1 < body.size() &&
        escaped_byte(body[i + 1], quote, byte))
      ++i;
    else
      byte = body[i];
    take(byte);
  }
}

}  // namespace

std::size_t resolved_size(std::string_view body, char quote) {
  std::size_t size = 0;
  ResolveEscapes(body, quote, [&size](char) { ++size; });
  return size;
}

std::string resolved_text(std::string_view body, char quote) {
  std::string text;
  text.reserve(body.size());
  ResolveEscapes(body, quote, [&text](char byte) { text += byte; });
  return text;
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
