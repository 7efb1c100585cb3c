#ifndef VIMBREL_SCAN_TOKEN_ITERATOR_H_
#define VIMBREL_SCAN_TOKEN_ITERATOR_H_

#include <array>
#include <string>
#include <string_view>

/// The characters that separate tokens. Calling it on a character answers
/// true when the character belongs to a token, false when it is a delimiter.
struct DelimiterSet {
  DelimiterSet() = default;
  explicit DelimiterSet(std::string delimiters) : chars(std::move(delimiters)) {
    for (char c : chars)
      delimiter[static_cast<unsigned char>(c)] = true;
  }

  bool operator()(char c) const {
    return !delimiter[static_cast<unsigned char>(c)];
  }

  std::string chars;

 private:
  // Every character of every line is tested: a table, not a search.
  std::array<bool, 256> delimiter{};
};

/// Splits a span of characters it does not own into tokens: maximal runs of
/// characters outside a DelimiterSet. Reads one token ahead and never yields
/// an empty token. A default-constructed iterator is the end sentinel, and
/// `a == b` holds exactly when `a` is exhausted.
class TokenIterator {
 public:
  /// The end sentinel: exhausted from the start.
  TokenIterator() = default;
  /// Stands on the first token of [begin, limit), or is exhausted.
  TokenIterator(const char* begin, const char* limit, DelimiterSet delimiters);

  TokenIterator(const TokenIterator&) = delete;
  TokenIterator& operator=(const TokenIterator&) = delete;

  /// A copy of the current token; empty when exhausted.
  std::string operator*() const { return std::string(token); }
  /// The current token: a view into the span.
  std::string_view current() const { return token; }
  /// One past the last character examined: right after the current token.
  const char* position() const { return pos; }

  /// Stands on the first token of a new span, keeping the delimiters.
  void restart(const char* begin, const char* limit) {
    pos = begin;
    this->limit = limit;
    Advance();
  }

  TokenIterator& operator++() {
    Advance();
    return *this;
  }
  /// Advances and returns the token that was current before.
  std::string operator++(int);

  bool exhausted() const { return token.empty() && pos == limit; }
  bool operator==(const TokenIterator&) const { return exhausted(); }
  bool operator!=(const TokenIterator& other) const {
    return !(*this == other);
  }

 private:
  void Advance() {
    const char* scan = pos;
    while (scan != limit && !delimiters(*scan))
      ++scan;
    const char* start = scan;
    while (scan != limit && delimiters(*scan))
      ++scan;
    pos = scan;
    token = std::string_view(start, static_cast<std::size_t>(scan - start));
  }

  const char* pos = nullptr;
  const char* limit = nullptr;
  std::string_view token;
  DelimiterSet delimiters;
};

#endif  // VIMBREL_SCAN_TOKEN_ITERATOR_H_
