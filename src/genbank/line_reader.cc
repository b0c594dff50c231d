#include "genbank/line_reader.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "genbank/line_primitives.h"
#include "support/failure.h"

Fd_Source::Fd_Source(int fd, std::string name) : fd_(fd), name_(std::move(name)) {
  struct stat st;
  may_block_ = fstat(fd, &st) != 0 || !S_ISREG(st.st_mode);
}

std::size_t Fd_Source::Read(char* buffer, std::size_t capacity) {
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, capacity);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR)
      throw Failure("TARVELO.READ_FILE.READ_ERROR", name_ + ": " + std::strerror(errno));
  }
}

Line_Reader::Line_Reader(Byte_Source& source, std::function<void()> before_blocking)
    : source_(source),
      before_blocking_(std::move(before_blocking)),
      buffer_(new char[Buffer_Size]) {}

Line_Reader::~Line_Reader() = default;

bool Line_Reader::Refill() {
  if (eof_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, Available());
    end_ -= begin_;
    begin_ = 0;
  }
  if (before_blocking_ && source_.May_Block()) before_blocking_();
  const std::size_t n = source_.Read(buffer_.get() + end_, Buffer_Size - end_);
  if (n == 0) {
    eof_ = true;
    return false;
  }
  end_ += n;
  return true;
}

bool Line_Reader::At_End() {
  while (Available() < 2 && Refill()) {
  }
  const std::size_t n = Available();
  return n == 0 || (n == 1 && buffer_[begin_] == '\n');
}

bool Line_Reader::Next_Line(std::string_view& line) {
  const char* start;
  const char* lf;
  for (;;) {
    start = buffer_.get() + begin_;
    const std::size_t n = Available();
    lf = static_cast<const char*>(std::memchr(start, '\n', n < Line_Capacity ? n : Line_Capacity));
    if (lf != nullptr || n >= Line_Capacity) break;
    if (!Refill()) {
      if (n == 0) return false;
      break;
    }
  }
  std::size_t length;
  bool ends_line;
  if (lf != nullptr) {
    length = static_cast<std::size_t>(lf - start);
    begin_ += length + 1;
    ends_line = true;
  } else {
    length = Available() < Line_Capacity ? Available() : Line_Capacity;
    begin_ += length;
    ends_line = false;
  }
  if (at_line_start_) ++line_number_;
  at_line_start_ = ends_line;
  line = std::string_view(start, length);
  Dos_Check(line);
  return true;
}
