#include "state/log_line.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

void WriteBytes(const char* text, std::size_t size) {
  std::fwrite(text, 1, size, stderr);
}

MessageWriter message_writer = WriteBytes;

}  // namespace

void set_message_writer(MessageWriter writer) { message_writer = writer; }

void log_line(const char* format, ...) {
  // One write per message: a movie can have tens of thousands of them, and
  // standard error is unbuffered.
  char small[512];
  va_list arguments;
  va_start(arguments, format);
  va_list again;
  va_copy(again, arguments);
  int length = std::vsnprintf(small, sizeof small - 1, format, arguments);
  va_end(arguments);
  if (length < 0) {
    va_end(again);
    return;
  }
  std::vector<char> large;
  char* text = small;
  if (static_cast<std::size_t>(length) >= sizeof small - 1) {
    large.resize(static_cast<std::size_t>(length) + 2);
    std::vsnprintf(large.data(), large.size() - 1, format, again);
    text = large.data();
  }
  va_end(again);
  text[length] = '\n';
  message_writer(text, static_cast<std::size_t>(length) + 1);
}
