#include "scan/register_push.h"

#include "scan/string_literal.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsRegisterNameChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
         (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
}

std::size_t SkipBlanks(std::string_view text, std::size_t at) {
  while (at < text.size() && IsBlank(text[at]))
    ++at;
  return at;
}

}  // namespace

bool read_register_push(std::string_view operands, RegisterPush& push) {
  std::size_t at = SkipBlanks(operands, 0);
  if (operands.compare(at, 2, "r:") != 0)
    return false;
  std::size_t name_begin = at + 2;
  at = name_begin;
  while (at < operands.size() && IsRegisterNameChar(operands[at]))
    ++at;
  if (at == name_begin)
    return false;
  std::string_view register_name = operands.substr(name_begin, at - name_begin);
  at = SkipBlanks(operands, at);
  if (at >= operands.size() || operands[at] != ',')
    return false;
  at = SkipBlanks(operands, at + 1);
  std::size_t end;
  if (at >= operands.size() || operands[at] != '\'' ||
      !read_string_literal(operands, at, push.literal, end) ||
      push.literal.empty() || SkipBlanks(operands, end) != operands.size())
    return false;
  push.register_name = register_name;
  return true;
}

int register_number(std::string_view register_name) {
  if (register_name.empty() || register_name.size() > 5)
    return -1;
  int number = 0;
  for (char c : register_name) {
    if (c < '0' || c > '9')
      return -1;
    number = number * 10 + (c - '0');
  }
  return number;
}
