#ifndef VIMBREL_SCAN_LINE_WRITER_H_
#define VIMBREL_SCAN_LINE_WRITER_H_

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

/// Takes whole lines, without their newline, on their way to the output,
/// with the line's first blank-separated word, which the writer has found.
class LineFilter {
 public:
  virtual ~LineFilter() = default;
  virtual void write_line(std::string_view line,
                          std::string_view first_word) = 0;
};

/// Collects text in one large buffer and writes it to a file in few big
/// writes, or keeps it in memory. After a write has failed it writes
/// nothing more, since what the file then holds is unknown; close() tells.
class LineWriter {
 public:
  /// Writes to `file`, which it then owns and closes.
  explicit LineWriter(std::FILE* file);
  /// Keeps the text in memory.
  LineWriter();
  /// Drops the text: for a pass run only for what it learns.
  struct Discarding {};
  explicit LineWriter(Discarding);
  ~LineWriter();

  LineWriter(const LineWriter&) = delete;
  LineWriter& operator=(const LineWriter&) = delete;

  void write(std::string_view text) {
    if (text.size() <= capacity_ - used_) {
      std::memcpy(buffer_.get() + used_, text.data(), text.size());
      used_ += text.size();
    } else {
      WriteThrough(text);
    }
  }
  void write_line(std::string_view text) {
    if (text.size() < capacity_ - used_) {
      std::memcpy(buffer_.get() + used_, text.data(), text.size());
      used_ += text.size();
      buffer_[used_++] = '\n';
    } else {
      WriteThrough(text);
      write(std::string_view("\n", 1));
    }
  }

  /// write_line for a text after which `kReadable` more bytes may be read:
  /// a short one is copied in one fixed-size move.
  template <std::size_t kReadable>
  void write_line_with_slack(std::string_view text) {
    if (text.size() < kReadable && kReadable + 1 <= capacity_ - used_) {
      std::memcpy(buffer_.get() + used_, text.data(), kReadable);
      used_ += text.size();
      buffer_[used_++] = '\n';
    } else {
      write_line(text);
    }
  }

  /// Keeps what is written from here on in the buffer, growing it as
  /// needed, until release() or take_held().
  void hold() { held_from_ = used_; }
  /// Lets the held text go to the file.
  void release() { held_from_ = kNotHolding; }
  /// Takes the held text back out: it is not written.
  std::string take_held();

  /// Writes what is buffered and closes the file. False when any of the
  /// text was not written.
  bool close();

  /// The text written so far, when it is kept in memory.
  const std::string& text();

 private:
  static constexpr std::size_t kNotHolding = static_cast<std::size_t>(-1);

  void WriteThrough(std::string_view text);
  /// Writes the buffer up to `end` and keeps the rest at its front.
  void Flush(std::size_t end);
  void Flush() { Flush(used_); }
  /// Room for `size` more bytes while text is held.
  void MakeRoomWhileHolding(std::size_t size);

  std::FILE* file_ = nullptr;
  bool discarding_ = false;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t used_ = 0;
  bool failed_ = false;
  std::size_t held_from_ = kNotHolding;
  std::string kept_;
};

#endif  // VIMBREL_SCAN_LINE_WRITER_H_
