// The byte sizes of flasm lines, against sizes measured with flasm 1.62:
// every row of avm1_sizes.tsv is one action block and its byte count.

#include "passtwo/action_sizes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Row {
  long bytes;
  std::vector<std::string> lines;
  std::string snippet;
};

// The snippet column: \\ is a backslash, \n ends a line.
std::vector<std::string> DecodeLines(const std::string& cell) {
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < cell.size(); ++i) {
    if (cell[i] == '\\' && i + 1 < cell.size() && cell[i + 1] == 'n') {
      lines.emplace_back();
      ++i;
    } else if (cell[i] == '\\' && i + 1 < cell.size() && cell[i + 1] == '\\') {
      lines.back() += '\\';
      ++i;
    } else {
      lines.back() += cell[i];
    }
  }
  return lines;
}

std::vector<Row> MeasuredRows() {
  std::ifstream file(VIMBREL_AVM1_SIZES);
  std::string line;
  std::getline(file, line);  // the header
  std::vector<Row> rows;
  while (std::getline(file, line)) {
    std::size_t tab = line.find('\t');
    rows.push_back({std::stol(line.substr(0, tab)),
                    DecodeLines(line.substr(tab + 1)), line.substr(tab + 1)});
  }
  return rows;
}

long Estimate(const Row& row) {
  ActionLayout layout;
  layout.start_block();
  for (const std::string& line : row.lines)
    layout.add(line);
  return layout.position();
}

TEST(ActionSizesTest, EveryMeasuredRowExactlyAndNeverUnder) {
  std::vector<Row> rows = MeasuredRows();
  ASSERT_EQ(rows.size(), 2942u);
  int exact = 0, over = 0, under = 0;
  for (const Row& row : rows) {
    long estimate = Estimate(row);
    if (estimate == row.bytes) {
      ++exact;
    } else if (estimate > row.bytes) {
      ++over;
      ADD_FAILURE() << "over: " << estimate << " for " << row.bytes << ": "
                    << row.snippet;
    } else {
      ++under;
      ADD_FAILURE() << "under: " << estimate << " for " << row.bytes << ": "
                    << row.snippet;
    }
  }
  std::printf("rows exact %d, over %d, under %d\n", exact, over, under);
  EXPECT_EQ(under, 0);
}

}  // namespace

namespace {

// An escape names a byte: the pool entry '\n' is a newline, not an n.
TEST(ActionSizesTest, EscapesAreTheBytesTheyName) {
  ConstantPool pool;
  std::string constants = "constants '\\n', 'it\\'s'";
  pool.replace(constants);
  EXPECT_EQ(size_line("push '\\n'", pool).bytes, 5);  // pooled: 3 + 2
  EXPECT_EQ(size_line("push 'n'", pool).bytes, 6);    // 3 + 2 + 1
  EXPECT_EQ(size_line("push \"it's\"", pool).bytes, 5);
}

}  // namespace
