#include "input/file_range_source.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "support/failure.h"

File_Range_Source::File_Range_Source(int fd, std::string name, std::int64_t begin, std::int64_t end,
                                     std::int64_t size)
    : fd_(fd), name_(std::move(name)), offset_(begin), end_(end), size_(size) {}

std::size_t File_Range_Source::Read(char* buffer, std::size_t capacity) {
  if (end_ != To_The_End && offset_ >= end_) return 0;
  if (end_ != To_The_End && static_cast<std::uint64_t>(end_ - offset_) < capacity)
    capacity = static_cast<std::size_t>(end_ - offset_);
  for (;;) {
    ssize_t n = ::pread(fd_, buffer, capacity, offset_);
    if (cut_ && offset_ >= cut_until_) cut_ = nullptr;
    if (n > 0 && cut_ && offset_ + n > cut_after_) {
      const std::size_t from = cut_after_ > offset_ ? static_cast<std::size_t>(cut_after_ - offset_) : 0;
      const std::size_t at = cut_(std::string_view(buffer, static_cast<std::size_t>(n)), from, offset_ == 0);
      if (at != std::string_view::npos) {
        n = static_cast<ssize_t>(at);
        end_ = offset_ + n;
        cut_ = nullptr;
        was_cut_ = true;
        if (n == 0) return 0;
      }
    }
    if (n > 0) {
      offset_ += n;
      return static_cast<std::size_t>(n);
    }
    if (n == 0) {
      if (offset_ < size_ || (end_ != To_The_End && offset_ < end_))
        throw Failure("TARVELO.READ_FILE.READ_ERROR", name_ + ": the file was cut short while it was read");
      return 0;
    }
    if (errno != EINTR) throw Failure("TARVELO.READ_FILE.READ_ERROR", name_ + ": " + std::strerror(errno));
  }
}
