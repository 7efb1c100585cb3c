#include "scan/line_reader.h"

#include <cstring>

namespace {

constexpr std::size_t kBlockSize = 1 << 20;

}  // namespace

LineReader::LineReader(std::FILE* file)
    : file_(file),
      buffer_(new char[kBlockSize + kReadablePastLine]),
      capacity_(kBlockSize) {
  std::memset(buffer_.get() + capacity_, 0, kReadablePastLine);
  // The blocks are large already; a second buffer would only copy them.
  std::setvbuf(file_, nullptr, _IONBF, 0);
}

LineReader::LineReader(std::string text)
    : buffer_(new char[text.size() + 1 + kReadablePastLine]()),
      capacity_(text.size() + 1),
      end_(text.size()),
      end_of_file_(true) {
  std::memcpy(buffer_.get(), text.data(), text.size());
}

LineReader::~LineReader() {
  if (file_)
    std::fclose(file_);
}

bool LineReader::Refill() {
  if (end_of_file_ || read_error_)
    return false;
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
    end_ -= begin_;
    searched_ -= begin_;
    begin_ = 0;
  }
  if (end_ == capacity_) {
    std::unique_ptr<char[]> grown(new char[capacity_ * 2 + kReadablePastLine]);
    std::memcpy(grown.get(), buffer_.get(), end_);
    std::memset(grown.get() + capacity_ * 2, 0, kReadablePastLine);
    buffer_ = std::move(grown);
    capacity_ *= 2;
  }
  std::size_t got = std::fread(buffer_.get() + end_, 1, capacity_ - end_, file_);
  end_ += got;
  if (got == 0) {
    if (std::ferror(file_))
      read_error_ = true;
    else
      end_of_file_ = true;
    return false;
  }
  return true;
}

bool LineReader::NextLineAfterRefill(std::string_view& line) {
  searched_ = end_;
  while (Refill()) {
    if (std::memchr(buffer_.get() + searched_, '\n', end_ - searched_))
      return next_line(line);
    searched_ = end_;
  }
  if (read_error_ || begin_ == end_)
    return false;
  line = std::string_view(buffer_.get() + begin_, end_ - begin_);
  begin_ = searched_ = end_;
  return true;
}
