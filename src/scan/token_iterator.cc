#include "scan/token_iterator.h"

TokenIterator::TokenIterator(const char* begin, const char* limit,
                             DelimiterSet delimiters)
    : pos(begin), limit(limit), delimiters(std::move(delimiters)) {
  Advance();
}

TokenIterator& TokenIterator::operator++() {
  Advance();
  return *this;
}

std::string TokenIterator::operator++(int) {
  std::string before = token;
  Advance();
  return before;
}

void TokenIterator::Advance() {
  token.clear();
  while (pos != limit && !delimiters(*pos))
    ++pos;
  const char* start = pos;
  while (pos != limit && delimiters(*pos))
    ++pos;
  token.assign(start, pos);
}
