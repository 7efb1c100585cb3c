#ifndef VIMBREL_SCAN_FLASM_WORDS_H_
#define VIMBREL_SCAN_FLASM_WORDS_H_

#include <cstddef>
#include <string>
#include <string_view>

// How flasm reads a line of its text, as far as words and labels go: the
// sizes of pass two and the labels that pass one notes agree on it.

/// The line without its comments (// to the end, /* ... */), which flasm
/// reads as nothing; quotes are respected. A view into `line` when it holds
/// no comment, else into `storage`.
std::string_view without_comments(std::string_view line, std::string& storage);

/// Where the word that begins at `begin` of `code` ends: at a blank, a comma
/// or a parenthesis. Inline: the sizes ask it of every word of the text.
inline std::size_t word_end(std::string_view code, std::size_t begin) {
  std::size_t end = begin;
  while (end < code.size() && code[end] != ' ' && code[end] != '\t' &&
         code[end] != ',' && code[end] != '(' && code[end] != ')')
    ++end;
  return end;
}

/// The label that the line defines ("name:" as its first word), as flasm
/// reads it, comments aside; empty when it defines none.
std::string label_defined_by(std::string_view line);

#endif  // VIMBREL_SCAN_FLASM_WORDS_H_
