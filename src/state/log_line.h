#ifndef VIMBREL_STATE_LOG_LINE_H_
#define VIMBREL_STATE_LOG_LINE_H_

#include <cstddef>

/// printf-style message to standard error, followed by a newline: the one
/// way any part of the tool reports.
void log_line(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

/// Writes one whole message, newline included, to standard error.
using MessageWriter = void (*)(const char* text, std::size_t size);

/// Replaces the writer of log_line's messages; a console that wants other
/// than bytes needs its own.
void set_message_writer(MessageWriter writer);

#endif  // VIMBREL_STATE_LOG_LINE_H_
