#include "scan/token_reader.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "scan/blank_tokens.h"
#include "scan/line_table.h"
#include "state/run_state.h"

namespace {

const DelimiterSet& LineDelimiters() {
  static const DelimiterSet delimiters(" \t\n");
  return delimiters;
}

std::string_view FirstWord(std::string_view text) {
  return take_blank_separated_token(text);
}

// flasm on Windows writes CRLF; the CR belongs to the line end, not the line.
void DropLineEndCarriageReturn(std::string_view& line) {
  if (!line.empty() && line.back() == '\r')
    line.remove_suffix(1);
}

}  // namespace

int read_token(std::string_view& out, int new_line) {
  RunState& rs = run_state;
  if (rs.cursor && !new_line && *rs.cursor != rs.cursor_end) {
    ++*rs.cursor;
  } else {
    do {
      if (!rs.input || !rs.input->next_line(rs.line)) {
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
        rs.cursor.emplace(begin, begin + rs.line.size(), LineDelimiters());
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

void emit_line() {
  // The cursor stands on the line's first token whenever a filter is set:
  // pass two writes each line as soon as it has read that token.
  if (run_state.output_filter)
    run_state.output_filter->write_line(run_state.line,
                                        run_state.cursor->current());
  else
    run_state.output->write_line_with_slack<LineReader::kReadablePastLine>(
        run_state.line);
}

void emit_line(std::string_view text) {
  if (run_state.output_filter)
    run_state.output_filter->write_line(text, FirstWord(text));
  else
    run_state.output->write_line(text);
}

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
  if (run_state.output_filter) {
    for (const char* const* line = table; *line; ++line)
      run_state.output_filter->write_line(*line, FirstWord(*line));
    return;
  }
  // One write for the whole table: the blocks are written thousands of times.
  run_state.output->write(JoinedLines(table));
}
