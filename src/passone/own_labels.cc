#include "passone/own_labels.h"

#include <string>
#include <utility>

#include "scan/flasm_words.h"
#include "state/run_state.h"

namespace {

// The labels in the tracer's code, as written with the default prefix, and
// what each is under another prefix: the prefix, then `renamed_tail`.
struct TracerLabel {
  std::string_view written;
  std::string_view renamed_tail;
};
constexpr TracerLabel kTracerLabels[] = {
    {"vimbrel_tracer_ready", "tracer_ready"},
    {"label10000000", "label10000000"},
    {"label1000001", "label1000001"},
    {"label1000002", "label1000002"},
    {"label1000003", "label1000003"},
    {"label1000004", "label1000004"},
};

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool IsNumber(std::string_view text) {
  if (text.empty() || text[0] == '0')
    return false;
  for (char c : text) {
    if (c < '0' || c > '9')
      return false;
  }
  return true;
}

// True when vimbrel, labelling with `prefix`, could write `label`.
bool WouldWrite(std::string_view prefix, std::string_view label) {
  for (const TracerLabel& tracer : kTracerLabels) {
    std::string name(tracer.written);
    if (prefix != kDefaultLabelPrefix)
      name = std::string(prefix) + std::string(tracer.renamed_tail);
    if (label == name)
      return true;
  }
  if (!StartsWith(label, prefix))
    return false;
  std::string_view rest = label.substr(prefix.size());
  for (std::string_view island : {"hop", "skip"}) {
    if (StartsWith(rest, island) && IsNumber(rest.substr(island.size())))
      return true;
  }
  return false;
}

}  // namespace

void note_label_line(std::string_view line) {
  std::string label = label_defined_by(line);
  if (StartsWith(label, "vimbrel") || StartsWith(label, "label100000"))
    run_state.labels_like_ours.insert(std::move(label));
}

void choose_label_prefix() {
  std::string prefix(kDefaultLabelPrefix);
  for (int number = 2;; ++number) {
    bool taken = false;
    for (const std::string& label : run_state.labels_like_ours)
      taken = taken || WouldWrite(prefix, label);
    if (!taken)
      break;
    prefix = "vimbrel" + std::to_string(number) + "_";
  }
  run_state.label_prefix = prefix;
}

std::string with_own_labels(std::string_view line) {
  std::string renamed(line);
  if (run_state.label_prefix == kDefaultLabelPrefix)
    return renamed;
  for (const TracerLabel& tracer : kTracerLabels) {
    std::size_t at = renamed.find(tracer.written);
    if (at != std::string::npos) {
      renamed.replace(at, tracer.written.size(),
                      run_state.label_prefix + std::string(tracer.renamed_tail));
      break;
    }
  }
  return renamed;
}
