#include "scan/line_writer.h"

namespace {

constexpr std::size_t kBufferSize = 1 << 20;

}  // namespace

LineWriter::LineWriter(std::FILE* file)
    : file_(file), buffer_(new char[kBufferSize]), capacity_(kBufferSize) {
  std::setvbuf(file_, nullptr, _IONBF, 0);
}

LineWriter::LineWriter()
    : buffer_(new char[kBufferSize]), capacity_(kBufferSize) {}

LineWriter::~LineWriter() {
  if (file_)
    close();
}

void LineWriter::Flush() {
  if (!file_) {
    kept_.append(buffer_.get(), used_);
  } else if (!failed_ && used_ > 0 &&
             std::fwrite(buffer_.get(), 1, used_, file_) != used_) {
    failed_ = true;
  }
  used_ = 0;
}

void LineWriter::WriteThrough(std::string_view text) {
  Flush();
  if (text.size() <= capacity_) {
    std::memcpy(buffer_.get(), text.data(), text.size());
    used_ = text.size();
  } else if (!file_) {
    kept_.append(text);
  } else if (!failed_ &&
             std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
    failed_ = true;
  }
}

bool LineWriter::close() {
  Flush();
  if (!file_)
    return true;
  bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  return closed && !failed_;
}

const std::string& LineWriter::text() {
  Flush();
  return kept_;
}
