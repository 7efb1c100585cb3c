#include "scan/token_reader.h"

#include <cstring>
#include <utility>
#include <vector>

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
      if (!rs.input || !std::getline(*rs.input, rs.line)) {
        rs.cursor.reset();
        return -1;
      }
      ++rs.line_number;
      if (rs.carriage_return_ends_line)
        DropLineEndCarriageReturn(rs.line);
      // One iterator serves line after line: it is set on each new line
      // before it is used, and none of its text outlives the line.
      const char* begin = rs.line.data();
      if (rs.cursor)
        rs.cursor->restart(begin, begin + rs.line.size());
      else
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

namespace {

// Straight into the stream's buffer: no sentry per line. A short write marks
// the stream bad, and the driver checks it when it closes the file; a file
// buffer that failed is not written to again, since its state is undefined.
bool WriteText(const char* text, std::size_t size) {
  std::ostream& out = *run_state.output;
  auto length = static_cast<std::streamsize>(size);
  if (out.bad())
    return false;
  if (out.rdbuf()->sputn(text, length) == length)
    return true;
  out.setstate(std::ios::badbit);
  return false;
}

void WriteLine(const char* text, std::size_t size) {
  if (!WriteText(text, size))
    return;
  std::ostream& out = *run_state.output;
  if (out.rdbuf()->sputc('\n') == std::char_traits<char>::eof())
    out.setstate(std::ios::badbit);
}

}  // namespace

void emit_line(const char* text) {
  if (text)
    WriteLine(text, std::strlen(text));
  else
    WriteLine(run_state.line.data(), run_state.line.size());
}

void emit_line(const std::string& text) { WriteLine(text.data(), text.size()); }

namespace {

// A table's lines joined, each with its newline, made once per table.
const std::string& JoinedLines(const char* const* table) {
  static std::vector<std::pair<const char* const*, std::string>> joined;
  for (const auto& [known, text] : joined) {
    if (known == table)
      return text;
  }
  std::string text;
  int count = count_entries(table);
  for (int i = 0; i < count; ++i) {
    text += table[i];
    text += '\n';
  }
  joined.emplace_back(table, std::move(text));
  return joined.back().second;
}

}  // namespace

void emit_lines(const char* const* table) {
  // One write for the whole table: the blocks are written thousands of times.
  const std::string& text = JoinedLines(table);
  WriteText(text.data(), text.size());
}

int count_entries(const char* const* table) {
  int count = 0;
  while (table[count])
    ++count;
  return count;
}
