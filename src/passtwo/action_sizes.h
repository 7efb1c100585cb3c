#ifndef VIMBREL_PASSTWO_ACTION_SIZES_H_
#define VIMBREL_PASSTWO_ACTION_SIZES_H_

// The bytes flasm assembles each line of flasm text into, so that the reach
// of a branch and the length of a body can be known before flasm runs.

#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

/// What a line is, as far as its layout goes.
enum class LineKind {
  kAction,       // any action, sized
  kBranch,       // branch, branchAlways or branchIfTrue to a label
  kLabel,        // name:
  kOpener,       // opens a body closed by `end`: function, try, with...
  kEnd,          // end
  kBlockStart,   // frame, initMovieClip, on, onClipEvent: a new action block
  kConstants,    // constants: a new pool
  kOther,        // no bytes: comments, catch, finally
};

/// What the bodies opened by a kOpener line are.
enum class BodyKind { kNone, kFunction, kTryOrWith, kOther };

struct SizedLine {
  LineKind kind = LineKind::kOther;
  /// Bytes of the line itself.
  long bytes = 0;
  /// For an opener: the bytes its `end` line adds (setTarget's closing
  /// action), and what its body is.
  long end_bytes = 0;
  BodyKind body = BodyKind::kNone;
  /// A branch's target, or a label's name.
  std::string_view label;
  /// `end // of function`, which closes the function whatever is open in it.
  bool ends_function = false;
};

/// The strings of the current constant pool, by their first index.
class ConstantPool {
 public:
  void clear();
  /// Takes the strings of a constants line as the pool. The line's text
  /// must last as long as the pool is used.
  void replace(std::string_view constants_line);
  /// The index of `text` (escapes resolved), or -1.
  long find(std::string_view text) const;

 private:
  std::unordered_map<std::string_view, long> index_;
  /// Entries whose escapes had to be resolved, and lines without comments.
  std::deque<std::string> owned_;
};

/// What a line whose first word is `word` is, as far as that word alone
/// tells: kBranch, kOpener, kEnd, kBlockStart or kConstants, else kAction.
LineKind keyword_kind(std::string_view word);

/// Sizes `line` with `pool` as the current pool. A constants line is sized
/// here but not taken into the pool.
SizedLine size_line(std::string_view line, const ConstantPool& pool);

/// A line laid out in its action block.
struct LaidLine {
  SizedLine sized;
  /// Byte offset of the line from the start of its action block.
  long position = 0;
  /// The body the line stands in: 0 for none (outside action blocks), else
  /// a number that no other body of the run has.
  long context = 0;
};

/// A body closed by an `end` line.
struct ClosedBody {
  BodyKind kind = BodyKind::kNone;
  /// Lines, counted from the start of the layout, of its opener and end.
  long opener_line = 0;
  long end_line = 0;
  /// Bytes between its header and its end.
  long body_bytes = 0;
};

/// Lays out the lines of flasm text one after the other: action blocks,
/// constant pools, nested bodies and the bytes of each line. The text of a
/// line must last while the layout is used.
class ActionLayout {
 public:
  /// Lays out the next line. When it closes a body, `closed` is set.
  LaidLine add(std::string_view line, ClosedBody* closed = nullptr);
  /// Starts a new action block, as a frame line does.
  void start_block();
  /// Byte offset of the next line from the start of its action block.
  long position() const { return position_; }
  /// True while lines belong to an action block.
  bool in_block() const { return !open_.empty(); }

 private:
  struct OpenBody {
    BodyKind kind;
    long context;
    long opener_line;
    long body_start;
    long end_bytes;
  };

  ConstantPool pool_;
  std::vector<OpenBody> open_;
  long position_ = 0;
  long lines_ = 0;
  long next_context_ = 1;
};

#endif  // VIMBREL_PASSTWO_ACTION_SIZES_H_
