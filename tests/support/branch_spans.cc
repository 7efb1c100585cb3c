#include "support/branch_spans.h"

#include <map>
#include <sstream>

#include "passtwo/action_sizes.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line))
    lines.push_back(line);
  return lines;
}

std::string Trimmed(const std::string& line) {
  std::size_t begin = line.find_first_not_of(" \t");
  return begin == std::string::npos ? "" : line.substr(begin);
}

}  // namespace

std::vector<BranchSpan> branch_spans(const std::string& text) {
  std::vector<std::string> lines = Lines(text);
  std::vector<LaidLine> laid;
  ActionLayout layout;
  for (const std::string& line : lines)
    laid.push_back(layout.add(line));
  // Labels by block, found by their context's block: positions restart at
  // each block, so a label is looked up among the lines of its block.
  std::vector<BranchSpan> spans;
  std::size_t block_start = 0;
  for (std::size_t i = 0; i <= lines.size(); ++i) {
    bool starts = i == lines.size() || laid[i].sized.kind == LineKind::kBlockStart;
    if (!starts)
      continue;
    std::map<std::string, std::size_t> labels;
    for (std::size_t j = block_start; j < i; ++j) {
      if (laid[j].sized.kind == LineKind::kLabel && laid[j].context != 0)
        labels.emplace(std::string(laid[j].sized.label), j);
    }
    for (std::size_t j = block_start; j < i; ++j) {
      if (laid[j].sized.kind != LineKind::kBranch || laid[j].context == 0)
        continue;
      auto label = labels.find(std::string(laid[j].sized.label));
      if (label != labels.end())
        spans.push_back({static_cast<long>(j) + 1,
                         static_cast<long>(label->second) + 1,
                         laid[label->second].position - (laid[j].position + 5)});
    }
    block_start = i;
  }
  return spans;
}

namespace {

// The blank-separated words of a line.
std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  std::string word;
  while (in >> word)
    words.push_back(word);
  return words;
}

// "PskipN" for an island's skip label: P and N, else false.
bool SplitSkipLabel(const std::string& label, std::string& prefix,
                    std::string& number) {
  std::size_t digits = label.find_last_not_of("0123456789") + 1;
  if (digits == label.size() || digits < 4 ||
      label.compare(digits - 4, 4, "skip") != 0)
    return false;
  prefix = label.substr(0, digits - 4);
  number = label.substr(digits);
  return true;
}

}  // namespace

std::string without_islands(const std::string& text) {
  std::vector<std::string> lines = Lines(text);
  // An island: branch PskipN, PhopN:, branch T, PskipN:
  std::map<std::string, std::string> hop_target;
  std::vector<bool> island(lines.size(), false);
  for (std::size_t i = 0; i + 3 < lines.size(); ++i) {
    std::vector<std::string> first = Words(lines[i]);
    std::vector<std::string> jump = Words(lines[i + 2]);
    std::string prefix, number;
    if (first.size() != 2 || first[0] != "branch" ||
        !SplitSkipLabel(first[1], prefix, number) ||
        Trimmed(lines[i + 1]) != prefix + "hop" + number + ":" ||
        Trimmed(lines[i + 3]) != first[1] + ":" || jump.size() != 2 ||
        jump[0] != "branch")
      continue;
    hop_target[prefix + "hop" + number] = jump[1];
    island[i] = island[i + 1] = island[i + 2] = island[i + 3] = true;
  }
  std::string result;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (island[i])
      continue;
    std::string line = lines[i];
    // Only a hop that is a branch's whole operand, as flasm reads it, is
    // vimbrel's.
    SizedLine sized = size_line(line, ConstantPool());
    std::string hop(sized.label);
    if (sized.kind == LineKind::kBranch && hop_target.count(hop)) {
      std::string target = hop;
      for (int guard = 0; hop_target.count(target) && guard < 1000; ++guard)
        target = hop_target[target];
      line.replace(static_cast<std::size_t>(sized.label.data() - line.data()),
                   hop.size(), target);
    }
    result += line + "\n";
  }
  return result;
}
