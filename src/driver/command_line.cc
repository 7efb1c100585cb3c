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

}  // namespace

CommandLine parse_command_line(const std::vector<std::string>& arguments) {
  CommandLine command_line;
  const std::string clock_option = "--clock";
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
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
    std::string clock;
    if (argument.rfind(clock_option + "=", 0) == 0) {
      clock = argument.substr(clock_option.size() + 1);
    } else if (argument == clock_option && i + 1 < arguments.size()) {
      clock = arguments[++i];
    } else {
      command_line.problem = Formatted(kUnknownOption, argument);
      break;
    }
    if (!ReadClock(clock, command_line.clock)) {
      command_line.problem = Formatted(kUnknownClock, clock);
      break;
    }
  }
  return command_line;
}
