#include "passtwo/branch_islands.h"

#include <algorithm>
#include <cstddef>
#include <unordered_map>
#include <utility>

#include "passone/templates.h"
#include "passtwo/action_sizes.h"

namespace {

// Bytes of one island: two branches; its labels take none.
constexpr long kIslandBytes = 10;
constexpr long kBranchBytes = 5;
// No line assembles to more bytes than this per character of its text and
// newline (`try` is 11 bytes for 4).
constexpr long kBytesPerCharacter = 4;
// Chains are rebuilt while islands of other chains move them.
constexpr int kPlanningRounds = 50;

// The traced blocks hold this line, and movies hardly ever do.
bool IsInjected(std::string_view line) { return line == entry_template[2]; }

struct PlanLine {
  std::string_view text;
  LaidLine laid;
};

struct Island {
  long before;  // the line it stands before
  long order;   // among islands before the same line
  long number = 0;
};

struct Branch {
  long line;
  long target;              // the label's line
  std::vector<int> chain;   // islands, in the order the jump takes them
  bool doubtful = false;
};

// Lays out one action block: where its branches need islands.
class Planner {
 public:
  Planner(const std::vector<PlanLine>& lines, const BranchLimits& limits)
      : lines_(lines),
        reach_(limits.reach - limits.margin),
        injected_before_(lines.size() + 1, 0) {
    for (std::size_t i = 0; i < lines.size(); ++i)
      injected_before_[i + 1] =
          injected_before_[i] + (IsInjected(lines[i].text) ? 1 : 0);
  }

  void Plan() {
    FindBranches();
    for (int round = 0; round < kPlanningRounds; ++round) {
      bool changed = false;
      for (std::size_t j = 0; j < branches_.size(); ++j) {
        if (branches_[j].doubtful || ChainReaches(branches_[j]))
          continue;
        RemoveChain(static_cast<int>(j));
        if (!BuildChain(static_cast<int>(j))) {
          RemoveChain(static_cast<int>(j));
          branches_[j].doubtful = true;
        }
        changed = true;
      }
      if (!changed)
        break;
    }
    // A branch whose chain still falls short is left as it was, and said
    // to be doubtful: a hop that does not reach would be a fault of our
    // own. Taking islands out only brings the others' ends closer.
    for (std::size_t j = 0; j < branches_.size(); ++j) {
      if (!branches_[j].doubtful && !ChainReaches(branches_[j])) {
        RemoveChain(static_cast<int>(j));
        branches_[j].doubtful = true;
      }
    }
  }

  bool InjectedWithin(long first, long last) const {
    return injected_before_[last + 1] - injected_before_[first] > 0;
  }
  long IslandsWithin(long first, long last) const {
    long count = 0;
    for (const Island& island : islands_)
      count += island.before >= first && island.before <= last;
    return count;
  }

  std::vector<Island>& islands() { return islands_; }
  const std::vector<Branch>& branches() const { return branches_; }

 private:
  // Branches whose label stands in the same block and whose span holds
  // traced code: the others reach as far as they did.
  void FindBranches() {
    std::unordered_map<std::string_view, long> labels;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      if (lines_[i].laid.sized.kind == LineKind::kLabel &&
          lines_[i].laid.context != 0)
        labels.emplace(lines_[i].laid.sized.label, static_cast<long>(i));
    }
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      const LaidLine& laid = lines_[i].laid;
      if (laid.sized.kind != LineKind::kBranch || laid.context == 0)
        continue;
      auto label = labels.find(laid.sized.label);
      if (label == labels.end())
        continue;
      long line = static_cast<long>(i);
      long target = label->second;
      if (InjectedWithin(std::min(line, target), std::max(line, target)))
        branches_.push_back({line, target, {}, false});
    }
  }

  // Where line i starts, with the islands before it.
  long Position(long line) const {
    return lines_[line].laid.position +
           kIslandBytes * IslandsWithin(0, line);
  }
  // Where island k's jump starts: after its first branch.
  long HopPosition(int k) const {
    const Island& island = islands_[k];
    long before = 0;
    for (const Island& other : islands_)
      before += other.before < island.before ||
                (other.before == island.before && other.order < island.order);
    return lines_[island.before].laid.position + kIslandBytes * before +
           kBranchBytes;
  }
  bool Reaches(long from, long to) const {
    long offset = to - (from + kBranchBytes);
    return offset <= reach_ && offset >= -reach_ - 1;
  }
  bool ChainReaches(const Branch& branch) const {
    long from = Position(branch.line);
    for (int k : branch.chain) {
      long hop = HopPosition(k);
      if (!Reaches(from, hop))
        return false;
      from = hop;
    }
    return Reaches(from, Position(branch.target));
  }

  void RemoveChain(int j) {
    std::vector<int> removed = branches_[j].chain;
    std::sort(removed.rbegin(), removed.rend());
    for (int k : removed) {
      islands_.erase(islands_.begin() + k);
      for (Branch& other : branches_) {
        for (int& index : other.chain)
          index -= index > k;
      }
    }
    branches_[j].chain.clear();
  }

  bool MayStandBefore(long line, long context) const {
    const LaidLine& laid = lines_[line].laid;
    return laid.context == context &&
           laid.sized.kind != LineKind::kBlockStart;
  }

  // Hops towards the label, each as far as the last one reaches.
  bool BuildChain(int j) {
    Branch& branch = branches_[j];
    long context = lines_[branch.line].laid.context;
    bool forward = branch.target > branch.line;
    long from_line = branch.line;
    long from = Position(branch.line);
    bool from_island = false;
    while (!Reaches(from, Position(branch.target))) {
      long chosen = -1;
      long chosen_hop = 0;
      if (forward) {
        for (long x = from_line + 1; x <= branch.target; ++x) {
          if (!MayStandBefore(x, context))
            continue;
          long hop = Position(x) + kBranchBytes;
          if (hop - (from + kBranchBytes) > reach_)
            break;
          chosen = x;
          chosen_hop = hop;
        }
      } else {
        long last = from_island ? from_line - 1 : from_line;
        for (long x = branch.target + 1; x <= last; ++x) {
          if (!MayStandBefore(x, context))
            continue;
          // The island moves the jump that leads to it ten bytes on.
          long hop = Position(x) + kBranchBytes;
          if (hop - (from + kIslandBytes + kBranchBytes) >= -reach_ - 1) {
            chosen = x;
            chosen_hop = hop;
            break;
          }
        }
      }
      if (chosen < 0)
        return false;
      islands_.push_back({chosen, next_order_++});
      branch.chain.push_back(static_cast<int>(islands_.size()) - 1);
      from_line = chosen;
      from = chosen_hop;
      from_island = true;
    }
    return true;
  }

  const std::vector<PlanLine>& lines_;
  long reach_;
  std::vector<long> injected_before_;
  std::vector<Island> islands_;
  std::vector<Branch> branches_;
  long next_order_ = 0;
};

std::string_view Indentation(std::string_view line) {
  std::size_t end = 0;
  while (end < line.size() && (line[end] == ' ' || line[end] == '\t'))
    ++end;
  return line.substr(0, end);
}

}  // namespace

BranchLayout::BranchLayout(LineWriter& output, const BranchLimits& limits,
                           std::string label_prefix)
    : output_(output), limits_(limits), label_prefix_(std::move(label_prefix)) {}

void BranchLayout::Emit(std::string_view line) {
  output_.write_line(line);
  ++lines_written_;
}

void BranchLayout::write_line(std::string_view line,
                              std::string_view first_word) {
  LineKind first = keyword_kind(first_word);
  if (first == LineKind::kBlockStart) {
    EndSegment();
    output_.hold();
    holding_ = true;
  }
  output_.write_line(line);
  if (!holding_) {
    ++lines_written_;
    return;
  }
  ++held_lines_;
  Note(first, line);
}

void BranchLayout::Note(LineKind first_word, std::string_view line) {
  switch (first_word) {
    case LineKind::kBranch:
      has_branch_ = true;
      break;
    case LineKind::kOpener:
      has_body_ = true;
      ++depth_;
      break;
    case LineKind::kEnd:
      depth_ -= depth_ > 0;
      break;
    case LineKind::kConstants:
      if (depth_ == 0)
        return;
      break;
    default:
      break;
  }
  code_text_ += static_cast<long>(line.size()) + 1;
}

void BranchLayout::finish() { EndSegment(); }

void BranchLayout::EndSegment() {
  if (!holding_)
    return;
  // No line assembles to more bytes than kBytesPerCharacter per character
  // of its text: below that, nothing can be out of reach.
  long bytes_at_most = code_text_ * kBytesPerCharacter;
  bool may_overflow =
      (has_branch_ && bytes_at_most > limits_.reach - limits_.margin) ||
      (has_body_ && bytes_at_most > limits_.body - limits_.margin);
  if (may_overflow) {
    LayOut(output_.take_held(), held_lines_);
  } else {
    output_.release();
    lines_written_ += held_lines_;
  }
  holding_ = false;
  held_lines_ = 0;
  has_branch_ = has_body_ = false;
  depth_ = 0;
  code_text_ = 0;
}

namespace {

// Lays out the held lines: their bytes, positions and bodies.
std::vector<PlanLine> LayOutLines(const std::string& held, long lines_held,
                                  std::vector<ClosedBody>& bodies) {
  std::vector<PlanLine> lines;
  lines.reserve(static_cast<std::size_t>(lines_held));
  ActionLayout layout;
  for (std::size_t start = 0; start < held.size();) {
    std::size_t end = held.find('\n', start);
    std::string_view text(held.data() + start, end - start);
    ClosedBody closed;
    lines.push_back({text, layout.add(text, &closed)});
    if (closed.kind == BodyKind::kFunction ||
        closed.kind == BodyKind::kTryOrWith)
      bodies.push_back(closed);
    start = end + 1;
  }
  return lines;
}

// The lines to warn about: branches no island helps, and traced bodies
// longer than a body may be, islands included.
std::vector<bool> DoubtfulLines(const Planner& planner, std::size_t lines,
                                const std::vector<ClosedBody>& bodies,
                                const BranchLimits& limits) {
  std::vector<bool> doubtful(lines, false);
  for (const Branch& branch : planner.branches())
    doubtful[branch.line] = doubtful[branch.line] || branch.doubtful;
  for (const ClosedBody& body : bodies) {
    long bytes = body.body_bytes +
                 kIslandBytes * planner.IslandsWithin(body.opener_line + 1,
                                                      body.end_line);
    if (bytes > limits.body - limits.margin &&
        planner.InjectedWithin(body.opener_line, body.end_line))
      doubtful[body.opener_line] = true;
  }
  return doubtful;
}

// The islands in the order they stand in the text.
std::vector<int> IslandsInTextOrder(const std::vector<Island>& islands) {
  std::vector<int> order(islands.size());
  for (std::size_t k = 0; k < order.size(); ++k)
    order[k] = static_cast<int>(k);
  std::sort(order.begin(), order.end(), [&](int a, int b) {
    return islands[a].before != islands[b].before
               ? islands[a].before < islands[b].before
               : islands[a].order < islands[b].order;
  });
  return order;
}

// The four lines of island `number`, indented like the line it precedes.
std::vector<std::string> IslandLines(const std::string& prefix, long number,
                                     const PlanLine& before,
                                     const std::string& target) {
  std::string code(Indentation(before.text));
  if (before.laid.sized.kind == LineKind::kLabel)
    code += ' ';
  std::string label = code;
  if (!label.empty() && label.back() == ' ')
    label.pop_back();
  std::string skip = prefix + "skip" + std::to_string(number);
  std::string hop = prefix + "hop" + std::to_string(number);
  return {code + "branch " + skip, label + hop + ":", code + "branch " + target,
          label + skip + ":"};
}

// A branch line sent to `target` instead of its label.
std::string Retargeted(const PlanLine& branch, const std::string& target) {
  std::string_view text = branch.text;
  std::string_view label = branch.laid.sized.label;
  std::size_t at = static_cast<std::size_t>(label.data() - text.data());
  std::string line(text.substr(0, at));
  line += target;
  line += text.substr(at + label.size());
  return line;
}

}  // namespace

void BranchLayout::LayOut(const std::string& held, long lines_held) {
  std::vector<ClosedBody> bodies;
  std::vector<PlanLine> lines = LayOutLines(held, lines_held, bodies);
  Planner planner(lines, limits_);
  planner.Plan();
  std::vector<bool> doubtful =
      DoubtfulLines(planner, lines.size(), bodies, limits_);

  // Islands are numbered across the file in the order they stand.
  std::vector<Island>& islands = planner.islands();
  std::vector<int> order = IslandsInTextOrder(islands);
  for (int k : order)
    islands[k].number = ++islands_;
  auto hop = [&](int k) {
    return label_prefix_ + "hop" + std::to_string(islands[k].number);
  };
  std::vector<std::string> island_target(islands.size());
  std::vector<std::string> branch_target(lines.size());
  for (const Branch& branch : planner.branches()) {
    if (branch.chain.empty())
      continue;
    branch_target[branch.line] = hop(branch.chain.front());
    for (std::size_t i = 0; i < branch.chain.size(); ++i) {
      island_target[branch.chain[i]] =
          i + 1 < branch.chain.size()
              ? hop(branch.chain[i + 1])
              : std::string(lines[branch.target].laid.sized.label);
    }
  }

  std::size_t next = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    for (; next < order.size() &&
           islands[order[next]].before == static_cast<long>(i);
         ++next) {
      int k = order[next];
      for (const std::string& line :
           IslandLines(label_prefix_, islands[k].number, lines[i],
                       island_target[k]))
        Emit(line);
    }
    if (doubtful[i])
      doubtful_lines_.push_back(lines_written_ + 1);
    if (branch_target[i].empty())
      Emit(lines[i].text);
    else
      Emit(Retargeted(lines[i], branch_target[i]));
  }
}
