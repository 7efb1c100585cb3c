#include "driver/command_line.h"

#include <cstdio>

#include "driver/messages.h"

namespace {

std::string Formatted(const char* format, const std::string& argument) {
  int size = std::snprintf(nullptr, 0, format, argument.c_str());
  std::string text(static_cast<std::size_t>(size > 0 ? size : 0) + 1, '\0');
  std::snprintf(&text[0], text.size(), format, argument.c_str());
  text.pop_back();
  return text;
}

// The value of --clock; false when there is no such clock.
bool ReadClock(const std::string& name, Clock& clock) {
  if (name == "getTimer")
    clock = Clock::kGetTimer;
  else if (name == "date")
    clock = Clock::kDate;
  else
    return false;
  return true;
}

// An option that takes a value, as --name=value or --name value: true, with
// the value, when `arguments[i]` is one; `i` then stands on its last word.
bool ReadValue(const std::vector<std::string>& arguments, std::size_t& i,
               const std::string& name, std::string& value) {
  const std::string& argument = arguments[i];
  if (argument.rfind(name + "=", 0) == 0) {
    value = argument.substr(name.size() + 1);
    return true;
  }
  if (argument == name && i + 1 < arguments.size()) {
    value = arguments[++i];
    return true;
  }
  return false;
}

}  // namespace

CommandLine parse_command_line(const std::vector<std::string>& arguments) {
  CommandLine command_line;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    std::string value;
    if (argument == "--") {
      if (i + 1 < arguments.size())
        command_line.input = arguments[i + 1];
      break;
    }
    if (argument.size() < 2 || argument[0] != '-') {
      command_line.input = argument;
      break;
    }
    if (argument == "--help" || argument == "-h") {
      command_line.help = true;
      break;
    }
    if (argument == "--collect-from-start") {
      command_line.collect_from_start = true;
    } else if (argument == "--list-functions") {
      command_line.list_functions = true;
    } else if (ReadValue(arguments, i, "--only", value)) {
      command_line.only.push_back(value);
    } else if (ReadValue(arguments, i, "--skip", value)) {
      command_line.skip.push_back(value);
    } else if (ReadValue(arguments, i, "--clock", value)) {
      if (!ReadClock(value, command_line.clock)) {
        command_line.problem = Formatted(kUnknownClock, value);
        break;
      }
    } else {
      command_line.problem = Formatted(kUnknownOption, argument);
      break;
    }
  }
  return command_line;
}
