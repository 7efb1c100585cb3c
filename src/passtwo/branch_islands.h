#ifndef VIMBREL_PASSTWO_BRANCH_ISLANDS_H_
#define VIMBREL_PASSTWO_BRANCH_ISLANDS_H_

// The traced code makes spans longer: a branch (a signed 16-bit byte
// offset) may no longer reach its label, and a body may outgrow its 16-bit
// length. Such a branch goes through islands, hops placed in its span where
// the code around them runs:
//
//     branch vimbrel_skipN
//    vimbrel_hopN:
//     branch TARGET
//    vimbrel_skipN:
//
// (vimbrel_ is the labels' prefix unless the movie has labels of that form.)

#include <string>
#include <string_view>
#include <vector>

#include "passtwo/action_sizes.h"
#include "scan/line_writer.h"

/// How far a branch reaches and how long a body may be, and how much of
/// either is kept free for what cannot be known exactly.
struct BranchLimits {
  long reach = 32767;
  long body = 65535;
  long margin = 512;
};

/// Takes the final text line by line and writes it on, holding each large
/// action block until it is laid out. Lines of a block that needs nothing
/// are written unchanged.
class BranchLayout : public LineFilter {
 public:
  /// Islands' labels begin with `label_prefix`.
  BranchLayout(LineWriter& output, const BranchLimits& limits,
               std::string label_prefix = "vimbrel_");

  void write_line(std::string_view line, std::string_view first_word) override;
  /// Writes what is still held.
  void finish();

  /// Final line numbers of the branches and body openers that may still be
  /// too long for flasm, in file order.
  const std::vector<long>& doubtful_lines() const { return doubtful_lines_; }
  /// Islands written so far.
  long islands() const { return islands_; }

 private:
  /// Notes what a held line may need: a branch, a body, its text.
  void Note(LineKind first_word, std::string_view line);
  void EndSegment();
  void LayOut(const std::string& held, long lines_held);
  void Emit(std::string_view line);

  LineWriter& output_;
  BranchLimits limits_;
  std::string label_prefix_;
  /// From an action block's first line to the next one's, the lines are
  /// held in the output until it is known whether they need laying out.
  bool holding_ = false;
  long held_lines_ = 0;
  bool has_branch_ = false;
  bool has_body_ = false;
  int depth_ = 0;
  /// Text of the held lines but the pools at the block's own level, which
  /// stand before any branch or body.
  long code_text_ = 0;
  long lines_written_ = 0;
  long islands_ = 0;
  std::vector<long> doubtful_lines_;
};

#endif  // VIMBREL_PASSTWO_BRANCH_ISLANDS_H_
