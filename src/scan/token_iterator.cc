#include "scan/token_iterator.h"

TokenIterator::TokenIterator(const char* begin, const char* limit,
                             DelimiterSet delimiters)
    : pos(begin), limit(limit), delimiters(std::move(delimiters)) {
  Advance();
}

std::string TokenIterator::operator++(int) {
  std::string before(token);
  Advance();
  return before;
}

