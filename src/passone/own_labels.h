#ifndef VIMBREL_PASSONE_OWN_LABELS_H_
#define VIMBREL_PASSONE_OWN_LABELS_H_

#include <string>
#include <string_view>

// flasm refuses a label defined twice, and the tracer's code and the
// islands bring labels of their own: label10000000 to label1000004,
// vimbrel_tracer_ready, vimbrel_hopN and vimbrel_skipN. A text that already
// defines one of them (one traced before, say) gets them all under a prefix
// it does not use: vimbrel2_label10000000, vimbrel2_hopN...

/// False when a line whose first token is `token` surely defines no label
/// that vimbrel might write: asked of every line, so quick.
inline bool may_define_label_like_ours(std::string_view token) {
  // A comment may stand before the label.
  return token[0] == '/' ||
         (token[0] == 'v' && token.substr(0, 7) == "vimbrel") ||
         (token[0] == 'l' && token.substr(0, 11) == "label100000");
}

/// Notes `line` when it defines a label that vimbrel might write too.
void note_label_line(std::string_view line);

/// Once pass one has read the whole movie, sets run_state.label_prefix:
/// "vimbrel_" when the input defines none of vimbrel's labels, else the
/// first of "vimbrel2_", "vimbrel3_"... under which it defines none.
void choose_label_prefix();

/// The islands' labels are the prefix, "hop" or "skip", and a number.
constexpr std::string_view kDefaultLabelPrefix = "vimbrel_";

/// A line of the tracer's code with its labels as this run names them.
std::string with_own_labels(std::string_view line);

#endif  // VIMBREL_PASSONE_OWN_LABELS_H_
