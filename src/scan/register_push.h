#ifndef VIMBREL_SCAN_REGISTER_PUSH_H_
#define VIMBREL_SCAN_REGISTER_PUSH_H_

#include <string>
#include <string_view>

/// The operands of `push r:X, 'm'`: a register and one string literal, as
/// views into the line.
struct RegisterPush {
  /// X: digits, or a name such as `this`.
  std::string_view register_name;
  /// m, escapes as written.
  std::string_view literal;
};

/// Reads `operands`, the text after the word push, as exactly a register
/// and one non-empty string literal with nothing but blanks after it.
bool read_register_push(std::string_view operands, RegisterPush& push);

/// The number of a numbered register name ("0", "12"); -1 for a named one
/// (`this`) or one too long to be a register.
int register_number(std::string_view register_name);

#endif  // VIMBREL_SCAN_REGISTER_PUSH_H_
