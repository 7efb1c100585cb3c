#include "scan/token_iterator.h"

TokenIterator::TokenIterator(const char* begin, const char* limit,
                             DelimiterSet delimiters)
    : pos(begin), limit(limit), delimiters(std::move(delimiters)) {
  Advance();
}

void TokenIterator::restart(const char* begin, const char* limit) {
  pos = begin;
  this->limit = limit;
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
  const char* scan = pos;
  while (scan != limit && !delimiters(*scan))
    ++scan;
  const char* start = scan;
  while (scan != limit && delimiters(*scan))
    ++scan;
  pos = scan;
  token.clear();
  token.append(start, static_cast<std::size_t>(scan - start));
}
