#include "passone/register_names.h"

#include <string_view>

#include "scan/blank_tokens.h"
#include "scan/keywords.h"
#include "state/run_state.h"
#include "state/state_handlers.h"

namespace {

// Lines that start code of another timeline, clip or button: what registers
// held before means nothing there.
bool StartsOtherCode(std::string_view token) {
  return token == "frame" || token == "initMovieClip" ||
         token == "defineMovieClip" || token == "on" ||
         token == "onClipEvent" || token == "defineButton";
}

// The text after the line's first token.
std::string_view Operands() {
  std::string_view rest = run_state.line;
  take_blank_separated_token(rest);
  return rest;
}

// The register of `setRegister r:N`, or -1.
int SetRegisterNumber() {
  std::string_view operands = Operands();
  std::string_view operand = take_blank_separated_token(operands);
  if (operand.compare(0, 2, "r:") != 0)
    return -1;
  return register_number(operand.substr(2));
}

void SetRegister(int number, RegisterNames& registers, bool just_closed,
                 int prototype_lines) {
  auto& held = registers.held;
  if (just_closed) {
    held[number] = registers.closed_function;
  } else if (prototype_lines == 2 && held.count(registers.prototype_of)) {
    held[number] = held[registers.prototype_of];
  } else {
    held.erase(number);
  }
}

}  // namespace

void note_register_line(std::string_view token) {
  RegisterNames& registers = run_state.registers;
  bool just_closed = registers.function_just_closed;
  int prototype_lines = registers.prototype_lines;
  registers.function_just_closed = false;
  registers.prototype_lines = 0;
  if (!run_state.function_stack.empty())
    return;
  // Asked of every line outside bodies: most begin with none of these.
  char first = token[0];
  if (first != 'f' && first != 'i' && first != 'd' && first != 'o' &&
      first != 's' && first != 'g' && first != 'p')
    return;
  if (StartsOtherCode(token)) {
    registers.held.clear();
  } else if (token == "setRegister") {
    int number = SetRegisterNumber();
    if (number >= 0)
      SetRegister(number, registers, just_closed, prototype_lines);
  } else if (token == "getMember" && prototype_lines == 1) {
    registers.prototype_lines = 2;
  } else if (token_matches(token, PushLine)) {
    RegisterPush push;
    if (read_register_push(Operands(), push) &&
        push.literal == "prototype" &&
        register_number(push.register_name) >= 0) {
      registers.prototype_lines = 1;
      registers.prototype_of = register_number(push.register_name);
    }
  }
}

void note_function_closed(const std::string& name) {
  if (!run_state.function_stack.empty())
    return;
  run_state.registers.function_just_closed = true;
  run_state.registers.closed_function = name;
}

std::string register_member_name(const RegisterPush& push) {
  int number = register_number(push.register_name);
  const auto& held = run_state.registers.held;
  if (number < 0 || !run_state.function_stack.empty() || !held.count(number))
    return std::string(push.literal);
  return held.at(number) + "." + std::string(push.literal);
}
