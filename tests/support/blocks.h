#ifndef VIMBREL_TESTS_SUPPORT_BLOCKS_H_
#define VIMBREL_TESTS_SUPPORT_BLOCKS_H_

#include <string>

// The tracing blocks as the intermediate file must hold them, typed out
// here on their own so that a change to the program's tables shows.

inline std::string entry_block(const std::string& name) {
  return "      push '" + name + "'\n\n"
         "\tpush 1, '_global'\n"
         "\tgetVariable\n"
         "\tpush '_tracer_'\n"
         "\tgetMember\n"
         "\tpush 'startTrace'\n"
         "\tcallMethod\n"
         "\tpop\n";
}

inline std::string exit_block(const std::string& name) {
  return "      push '" + name + "'\n\n"
         "\tpush 1, '_global'\n"
         "\tgetVariable\n"
         "\tpush '_tracer_'\n"
         "\tgetMember\n"
         "\tpush 'endTrace'\n"
         "\tcallMethod\n"
         "\tpop\n";
}

inline std::string trace_block() {
  return "\tdup\n"
         "\tpush 1, '_global'\n"
         "\tgetVariable\n"
         "\tpush '_tracer_'\n"
         "\tgetMember\n"
         "\tpush 'traceText'\n"
         "\tcallMethod\n"
         "\tpop\n";
}

#endif  // VIMBREL_TESTS_SUPPORT_BLOCKS_H_
