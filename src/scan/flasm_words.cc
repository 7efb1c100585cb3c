#include "scan/flasm_words.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string_view without_comments(std::string_view line, std::string& storage) {
  if (line.find('/') == std::string_view::npos)
    return line;
  storage.clear();
  char quote = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quote) {
      storage += c;
      if (c == '\\' && i + 1 < line.size())
        storage += line[++i];
      else if (c == quote)
        quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
      storage += c;
    } else if (c == '/' && i + 1 < line.size() && line[i + 1] == '/') {
      break;
    } else if (c == '/' && i + 1 < line.size() && line[i + 1] == '*') {
      std::size_t close = line.find("*/", i + 2);
      if (close == std::string_view::npos)
        break;
      i = close + 1;
    } else {
      storage += c;
    }
  }
  return storage;
}

std::string label_defined_by(std::string_view line) {
  std::string storage;
  std::string_view code = without_comments(line, storage);
  std::size_t begin = 0;
  while (begin < code.size() && IsBlank(code[begin]))
    ++begin;
  std::string_view word = code.substr(begin, word_end(code, begin) - begin);
  if (word.size() < 2 || word.back() != ':')
    return std::string();
  return std::string(word.substr(0, word.size() - 1));
}
