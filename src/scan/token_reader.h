#ifndef VIMBREL_SCAN_TOKEN_READER_H_
#define VIMBREL_SCAN_TOKEN_READER_H_

#include <cstddef>
#include <string_view>

/// Hands out the input one token at a time. A non-zero `new_line` asks for
/// the first token of the next line that has one, zero for the next token of
/// the current line (empty, with result 1, when the line has no more).
/// Returns 1 with `out` set, or -1 at the end of the input, `out` untouched.
/// The token is a view into the current line: valid until the next line.
int read_token(std::string_view& out, int new_line);

/// Offset in run_state.line of the token read_token handed out last.
std::size_t current_token_offset();

/// Writes the current line and a newline.
void emit_line();
/// Writes `text` and a newline.
void emit_line(std::string_view text);

/// Writes every line of a null-terminated line table.
void emit_lines(const char* const* table);

#endif  // VIMBREL_SCAN_TOKEN_READER_H_
