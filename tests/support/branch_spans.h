#ifndef VIMBREL_TESTS_SUPPORT_BRANCH_SPANS_H_
#define VIMBREL_TESTS_SUPPORT_BRANCH_SPANS_H_

#include <string>
#include <vector>

/// A branch of a final text and the offset flasm would store for it.
struct BranchSpan {
  long line;        // 1-based line of the branch
  long label_line;  // 1-based line of its label
  long offset;      // label position - (branch position + 5)
};

/// Every branch to a label of the same action block, laid out with the
/// program's own byte sizes.
std::vector<BranchSpan> branch_spans(const std::string& text);

/// The text with every island taken out and each branch to a hop sent to
/// the label the chain ends at.
std::string without_islands(const std::string& text);

#endif  // VIMBREL_TESTS_SUPPORT_BRANCH_SPANS_H_
