#ifndef VIMBREL_SCAN_STRING_LITERAL_H_
#define VIMBREL_SCAN_STRING_LITERAL_H_

#include <cstddef>
#include <string>
#include <string_view>

/// Reads the flasm string literal whose opening quote stands at text[open].
/// A backslash escapes the next character, so \' does not close it. On
/// success sets `body` to the characters between the quotes, escapes as
/// written (a view into `text`), sets `end` one past the closing quote and
/// returns true. Returns false when the literal has no closing quote.
bool read_string_literal(std::string_view text, std::size_t open,
                         std::string_view& body, std::size_t& end);

/// The byte that a backslash followed by `next` stands for in a literal
/// quoted with `quote`: \b \t \n \f \r \\ \' and, in double quotes, \".
/// False when the backslash stands for itself.
bool escaped_byte(char next, char quote, char& byte);

/// The bytes that the body of a literal quoted with `quote` stands for,
/// its escapes resolved: what flasm writes into the movie.
std::size_t resolved_size(std::string_view body, char quote);

/// Those bytes themselves.
std::string resolved_text(std::string_view body, char quote);

/// `text` as it must stand between the quotes of a flasm string literal:
/// quotes and backslashes escaped.
std::string escape_for_literal(std::string_view text);

#endif  // VIMBREL_SCAN_STRING_LITERAL_H_
