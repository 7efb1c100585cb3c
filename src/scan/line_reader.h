#ifndef VIMBREL_SCAN_LINE_READER_H_
#define VIMBREL_SCAN_LINE_READER_H_

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

/// Reads a file, or text held in memory, one line at a time. The file is
/// read in large blocks and each line is a view into the block: valid until
/// the next line is read. A line longer than the block grows it; memory
/// stays flat otherwise.
class LineReader {
 public:
  /// Bytes after the end of any line that may be read, though they are not
  /// the line's: a short line can then be copied in one fixed-size move.
  static constexpr std::size_t kReadablePastLine = 32;

  /// Reads `file`, which it then owns and closes.
  explicit LineReader(std::FILE* file);
  /// Reads `text` as if it were a file's bytes.
  explicit LineReader(std::string text);
  ~LineReader();

  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  /// The next line, without its '\n'; a last line without one is a line
  /// too. False at the end of the input or on a read error.
  bool next_line(std::string_view& line) {
    const char* data = buffer_.get();
    const void* newline =
        std::memchr(data + searched_, '\n', end_ - searched_);
    if (!newline)
      return NextLineAfterRefill(line);
    std::size_t at = static_cast<std::size_t>(
        static_cast<const char*>(newline) - data);
    line = std::string_view(data + begin_, at - begin_);
    begin_ = searched_ = at + 1;
    return true;
  }

  /// True once the input has been read to its end without an error.
  bool at_end() const { return end_of_file_ && !read_error_ && begin_ == end_; }

 private:
  /// Reads more after the unread bytes; false when nothing more came.
  bool Refill();
  /// next_line when the buffer holds no whole line.
  bool NextLineAfterRefill(std::string_view& line);

  std::FILE* file_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  /// The unread bytes are [begin_, end_) of buffer_.
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  /// Where the search for the next '\n' goes on: bytes before it hold none.
  std::size_t searched_ = 0;
  bool end_of_file_ = false;
  bool read_error_ = false;
};

#endif  // VIMBREL_SCAN_LINE_READER_H_
