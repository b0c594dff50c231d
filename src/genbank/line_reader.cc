#include "genbank/line_reader.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "support/failure.h"

Line_Reader::Line_Reader(Byte_Source& source, std::function<void()> before_blocking)
    : source_(source),
      before_blocking_(std::move(before_blocking)),
      buffer_(new char[Buffer_Size + Padding]()),
      line_ends_(new std::uint32_t[Stretch + Index_Line_Feeds_Slack]()) {}

Line_Reader::~Line_Reader() = default;

bool Line_Reader::Refill() {
  if (eof_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, Available());
    end_ -= begin_;
    begin_ = 0;
  }
  Forget_Index();
  if (before_blocking_ && source_.May_Block()) before_blocking_();
  const std::size_t n = source_.Read(buffer_.get() + end_, Buffer_Size - end_);
  if (n == 0) {
    eof_ = true;
    return false;
  }
  end_ += n;
  return true;
}

void Line_Reader::Index_Line_Feeds() {
  const std::size_t from = indexed_ > begin_ ? indexed_ : begin_;
  const std::size_t to = from + Stretch < end_ ? from + Stretch : end_;
  next_ = 0;
  count_ = ::Index_Line_Feeds(buffer_.get() + from, to - from, static_cast<std::uint32_t>(from), line_ends_.get());
  line_ends_[count_] = static_cast<std::uint32_t>(to);
  indexed_ = to;
}

bool Line_Reader::At_End_Slow() {
  while (Available() < 2 && Refill()) {
  }
  const std::size_t n = Available();
  return n == 0 || (n == 1 && buffer_[begin_] == '\n');
}

bool Line_Reader::Next_Line_Slow(std::string_view& line) {
  // Reads more only when the buffered bytes hold no whole line, so that a line
  // that has arrived is handled before waiting for the next one.
  for (;;) {
    const std::size_t n = Available();
    const char* start = buffer_.get() + begin_;
    const std::size_t limit = n < Line_Capacity ? n : Line_Capacity;
    const void* lf = std::memchr(start, '\n', limit);
    if (lf != nullptr) {
      Deliver(start, static_cast<std::size_t>(static_cast<const char*>(lf) - start), true, line);
      return true;
    }
    if (n >= Line_Capacity || (!Refill() && n > 0)) {
      Deliver(buffer_.get() + begin_, limit, false, line);
      return true;
    }
    if (n == 0 && eof_) return false;
  }
}
