#include "scan/token_reader.h"

#include "state/run_state.h"

namespace {

const DelimiterSet& LineDelimiters() {
  static const DelimiterSet delimiters(" \t\n");
  return delimiters;
}

// flasm on Windows writes CRLF; the CR belongs to the line end, not the line.
void DropLineEndCarriageReturn(std::string& line) {
  if (!line.empty() && line.back() == '\r')
    line.pop_back();
}

}  // namespace

int read_token(std::string& out, int new_line) {
  RunState& rs = run_state;
  if (rs.cursor && !new_line && *rs.cursor != rs.cursor_end) {
    ++*rs.cursor;
  } else {
    do {
      rs.cursor.reset();
      if (!rs.input || !std::getline(*rs.input, rs.line))
        return -1;
      if (rs.carriage_return_ends_line)
        DropLineEndCarriageReturn(rs.line);
      const char* begin = rs.line.data();
      rs.cursor = std::make_unique<TokenIterator>(
          begin, begin + rs.line.size(), LineDelimiters());
    } while (*rs.cursor == rs.cursor_end);
  }
  out = rs.cursor->current();
  return 1;
}

std::size_t current_token_offset() {
  const TokenIterator& cursor = *run_state.cursor;
  return static_cast<std::size_t>(cursor.position() - run_state.line.data()) -
         cursor.current().size();
}

void emit_line(const char* text) {
  std::ostream& out = *run_state.output;
  if (text)
    out << text;
  else
    out.write(run_state.line.data(),
              static_cast<std::streamsize>(run_state.line.size()));
  out.put('\n');
}

void emit_line(const std::string& text) {
  std::ostream& out = *run_state.output;
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.put('\n');
}

void emit_lines(const char* const* table) {
  int count = count_entries(table);
  for (int i = 0; i < count; ++i)
    emit_line(table[i]);
}

int count_entries(const char* const* table) {
  int count = 0;
  while (table[count])
    ++count;
  return count;
}
