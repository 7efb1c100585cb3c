#include "driver/command_line.h"

#include <cstdio>

#include "driver/messages.h"

namespace {

std::string Formatted(const char* format, const std::string& argument,
                      const std::string& second = "") {
  int size =
      std::snprintf(nullptr, 0, format, argument.c_str(), second.c_str());
  std::string text(static_cast<std::size_t>(size > 0 ? size : 0) + 1, '\0');
  std::snprintf(&text[0], text.size(), format, argument.c_str(),
                second.c_str());
  text.pop_back();
  return text;
}

// The options that take a value: what the value is, and where it goes
// (the problem with it, or "").
struct ValueOption {
  const char* name;
  const char* value;
  std::string (*store)(const std::string& value, CommandLine& command_line);
};
const ValueOption kValueOptions[] = {
    {"--only", "a pattern",
     [](const std::string& value, CommandLine& command_line) {
       command_line.only.push_back(value);
       return std::string();
     }},
    {"--skip", "a pattern",
     [](const std::string& value, CommandLine& command_line) {
       command_line.skip.push_back(value);
       return std::string();
     }},
    {"--clock", "a clock",
     [](const std::string& value, CommandLine& command_line) {
       if (value == "getTimer")
         command_line.clock = Clock::kGetTimer;
       else if (value == "date")
         command_line.clock = Clock::kDate;
       else
         return Formatted(kUnknownClock, value);
       return std::string();
     }},
    {"--flush-every", "a number of records",
     [](const std::string& value, CommandLine& command_line) {
       // The count is pushed as flasm's 32-bit integer.
       if (value.empty() || value.size() > 10 ||
           value.find_first_not_of("0123456789") != std::string::npos ||
           std::stoll(value) > 2147483647)
         return Formatted(kBadFlushCount, value);
       command_line.flush_every = std::stol(value);
       return std::string();
     }},
};
const char* const kFlagOptions[] = {"--collect-from-start", "--frames",
                                    "--events", "--trace-output",
                                    "--list-functions", "--help", "-h"};

// True when `word` is one of our options, with or without its value.
bool IsOption(const std::string& word) {
  for (const char* flag : kFlagOptions) {
    if (word == flag)
      return true;
  }
  for (const ValueOption& option : kValueOptions) {
    std::string name = option.name;
    if (word == name || word.rfind(name + "=", 0) == 0)
      return true;
  }
  return false;
}

enum class Value { kNotThisOption, kRead, kMissing };

// An option that takes a value, as --name=value or --name value. When
// `arguments[i]` is one, `i` ends on its last word.
Value ReadValue(const std::vector<std::string>& arguments, std::size_t& i,
                const std::string& name, std::string& value) {
  const std::string& argument = arguments[i];
  if (argument.rfind(name + "=", 0) == 0) {
    value = argument.substr(name.size() + 1);
    return Value::kRead;
  }
  if (argument != name)
    return Value::kNotThisOption;
  if (i + 1 >= arguments.size())
    return Value::kMissing;
  value = arguments[++i];
  return Value::kRead;
}

// Words after the input name are ignored, but an option there is surely
// meant for us: say so.
void WarnOfOptionsAfter(const std::vector<std::string>& arguments,
                        std::size_t name_at, CommandLine& command_line) {
  for (std::size_t i = name_at + 1; i < arguments.size(); ++i) {
    if (IsOption(arguments[i]))
      command_line.warnings.push_back(
          Formatted(kOptionAfterFileName, arguments[i]));
  }
}

}  // namespace

CommandLine parse_command_line(const std::vector<std::string>& arguments) {
  CommandLine command_line;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--") {
      if (i + 1 < arguments.size())
        command_line.input = arguments[i + 1];
      break;
    }
    if (argument.size() < 2 || argument[0] != '-') {
      command_line.input = argument;
      WarnOfOptionsAfter(arguments, i, command_line);
      break;
    }
    if (argument == "--help" || argument == "-h") {
      command_line.help = true;
      break;
    }
    if (argument == "--collect-from-start") {
      command_line.collect_from_start = true;
      continue;
    }
    if (argument == "--frames") {
      command_line.mark_frames = true;
      continue;
    }
    if (argument == "--events") {
      command_line.trace_events = true;
      continue;
    }
    if (argument == "--trace-output") {
      command_line.trace_output = true;
      continue;
    }
    if (argument == "--list-functions") {
      command_line.list_functions = true;
      continue;
    }
    const ValueOption* matched = nullptr;
    std::string value;
    for (const ValueOption& option : kValueOptions) {
      Value read = ReadValue(arguments, i, option.name, value);
      if (read == Value::kMissing) {
        command_line.problem =
            Formatted(kOptionNeedsValue, option.name, option.value);
        return command_line;
      }
      if (read == Value::kRead) {
        matched = &option;
        break;
      }
    }
    command_line.problem = matched ? matched->store(value, command_line)
                                   : Formatted(kUnknownOption, argument);
    if (!command_line.problem.empty())
      break;
  }
  return command_line;
}
