#ifndef VIMBREL_SCAN_TOKEN_READER_H_
#define VIMBREL_SCAN_TOKEN_READER_H_

#include <cstddef>
#include <string>

/// Hands out the input one token at a time. A non-zero `new_line` asks for
/// the first token of the next line that has one, zero for the next token of
/// the current line (empty, with result 1, when the line has no more).
/// Returns 1 with `out` set, or -1 at the end of the input, `out` untouched.
int read_token(std::string& out, int new_line);

/// Offset in run_state.line of the token read_token handed out last.
std::size_t current_token_offset();

/// Writes `text`, or the current line when it is null, and a newline.
void emit_line(const char* text = nullptr);
void emit_line(const std::string& text);

/// Writes every line of a null-terminated line table.
void emit_lines(const char* const* table);

/// The number of entries of a line table before its null pointer.
int count_entries(const char* const* table);

#endif  // VIMBREL_SCAN_TOKEN_READER_H_
