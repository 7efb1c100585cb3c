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

std::string without_islands(const std::string& text) {
  std::vector<std::string> lines = Lines(text);
  // An island: branch vimbrel_skipN, vimbrel_hopN:, branch T, vimbrel_skipN:
  std::map<std::string, std::string> hop_target;
  std::vector<bool> island(lines.size(), false);
  for (std::size_t i = 0; i + 3 < lines.size(); ++i) {
    std::string first = Trimmed(lines[i]);
    if (first.rfind("branch vimbrel_skip", 0) != 0)
      continue;
    std::string number = first.substr(19);
    if (Trimmed(lines[i + 1]) != "vimbrel_hop" + number + ":" ||
        Trimmed(lines[i + 3]) != "vimbrel_skip" + number + ":" ||
        Trimmed(lines[i + 2]).rfind("branch ", 0) != 0)
      continue;
    hop_target["vimbrel_hop" + number] = Trimmed(lines[i + 2]).substr(7);
    island[i] = island[i + 1] = island[i + 2] = island[i + 3] = true;
  }
  std::string result;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (island[i])
      continue;
    std::string line = lines[i];
    std::size_t at = line.find("vimbrel_hop");
    if (at != std::string::npos) {
      std::size_t end = line.find_first_of(" \t", at);
      std::string hop = line.substr(at, end == std::string::npos ? end : end - at);
      std::string target = hop;
      for (int guard = 0; hop_target.count(target) && guard < 1000; ++guard)
        target = hop_target[target];
      line.replace(at, hop.size(), target);
    }
    result += line + "\n";
  }
  return result;
}
