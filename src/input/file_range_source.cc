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
    const ssize_t n = ::pread(fd_, buffer, capacity, offset_);
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
