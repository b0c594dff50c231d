#include "output/output_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

Write_Error::Write_Error(const std::string& stream_name, int error_number)
    : Failure("TARVELO.OUTPUT.WRITE_ERROR", stream_name + ": " + std::strerror(error_number)) {}

bool Write_All(int fd, std::string_view s) {
  while (!s.empty()) {
    const ssize_t n = ::write(fd, s.data(), s.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    s.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

Output_Stream::Output_Stream(int fd, std::string name, std::size_t capacity)
    : fd_(fd), name_(std::move(name)), buffer_(new char[capacity]), capacity_(capacity) {}

Output_Stream::Output_Stream(std::string name) : fd_(-1), name_(std::move(name)), capacity_(0), in_memory_(true) {}

void Output_Stream::Grow(std::size_t capacity) {
  capacity = std::max({capacity, 2 * capacity_, std::size_t{64 * 1024}});
  std::unique_ptr<char[]> bigger(new char[capacity]);
  if (used_ > 0) std::memcpy(bigger.get(), buffer_.get(), used_);
  buffer_ = std::move(bigger);
  capacity_ = capacity;
}

Output_Stream::Collected Output_Stream::Exchange(Collected room) {
  Collected taken{std::move(buffer_), used_, capacity_};
  buffer_ = std::move(room.data);
  capacity_ = buffer_ ? room.capacity : 0;
  used_ = 0;
  return taken;
}

Output_Stream::~Output_Stream() {
  if (!closed_ && !in_memory_) ::close(fd_);
}

void Output_Stream::Flush() {
  // In memory nothing is written out: the buffer grows to make room.
  if (in_memory_) return Grow(used_ + 1);
  const std::size_t n = used_;
  used_ = 0;  // a failed flush drops what it could not write; the run ends anyway
  if (first_ != nullptr) first_->Flush();
  Write_Out(std::string_view(buffer_.get(), n));
}

void Output_Stream::Write_Out(std::string_view s) {
  // After a failure (of this stream, or of the one flushed first) nothing more
  // is written: the failure has ended the run, and what First lost must not
  // reach this stream.
  if (s.empty() || failed_ || (first_ != nullptr && first_->failed_)) return;
  if (!Write_All(fd_, s)) {
    failed_ = true;
    throw Write_Error(name_, errno);
  }
}

void Output_Stream::Write_Slow(std::string_view s) {
  if (in_memory_) {
    Grow(used_ + s.size());
    s.copy(buffer_.get() + used_, s.size());
    used_ += s.size();
    return;
  }
  Flush();
  if (s.size() >= capacity_) return Write_Out(s);
  s.copy(buffer_.get(), s.size());
  used_ = s.size();
}

void Output_Stream::Close() {
  if (closed_) return;
  closed_ = true;
  if (in_memory_) return;
  try {
    Flush();
  } catch (...) {
    ::close(fd_);
    throw;
  }
  // Delayed errors (a network file system, a quota) show only here.
  if (::close(fd_) != 0 && errno != EINTR && !failed_) {
    failed_ = true;
    throw Write_Error(name_, errno);
  }
}
