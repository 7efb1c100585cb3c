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

LineWriter::LineWriter(Discarding) : LineWriter() { discarding_ = true; }

LineWriter::~LineWriter() {
  if (file_)
    close();
}

void LineWriter::Flush(std::size_t end) {
  if (discarding_) {
  } else if (!file_) {
    kept_.append(buffer_.get(), end);
  } else if (!failed_ && end > 0 &&
             std::fwrite(buffer_.get(), 1, end, file_) != end) {
    failed_ = true;
  }
  std::memmove(buffer_.get(), buffer_.get() + end, used_ - end);
  used_ -= end;
}

void LineWriter::MakeRoomWhileHolding(std::size_t size) {
  Flush(held_from_);
  held_from_ = 0;
  if (size <= capacity_ - used_)
    return;
  std::size_t capacity = capacity_;
  while (size > capacity - used_)
    capacity *= 2;
  std::unique_ptr<char[]> grown(new char[capacity]);
  std::memcpy(grown.get(), buffer_.get(), used_);
  buffer_ = std::move(grown);
  capacity_ = capacity;
}

std::string LineWriter::take_held() {
  std::string held(buffer_.get() + held_from_, used_ - held_from_);
  used_ = held_from_;
  held_from_ = kNotHolding;
  return held;
}

void LineWriter::WriteThrough(std::string_view text) {
  if (held_from_ != kNotHolding) {
    MakeRoomWhileHolding(text.size());
    std::memcpy(buffer_.get() + used_, text.data(), text.size());
    used_ += text.size();
    return;
  }
  Flush();
  if (text.size() <= capacity_) {
    std::memcpy(buffer_.get(), text.data(), text.size());
    used_ = text.size();
  } else if (!file_) {
    if (!discarding_)
      kept_.append(text);
  } else if (!failed_ &&
             std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
    failed_ = true;
  }
}

bool LineWriter::close() {
  held_from_ = kNotHolding;
  Flush();
  if (!file_)
    return true;
  bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  return closed && !failed_;
}

const std::string& LineWriter::text() {
  Flush(held_from_ == kNotHolding ? used_ : held_from_);
  if (held_from_ != kNotHolding)
    held_from_ = 0;
  return kept_;
}
