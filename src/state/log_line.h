#ifndef VIMBREL_STATE_LOG_LINE_H_
#define VIMBREL_STATE_LOG_LINE_H_

/// printf-style message to standard error, followed by a newline: the one
/// way any part of the tool reports.
void log_line(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

#endif  // VIMBREL_STATE_LOG_LINE_H_
