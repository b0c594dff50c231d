#include "input/byte_source.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "support/failure.h"

Fd_Source::Fd_Source(int fd, std::string name) : fd_(fd), name_(std::move(name)) {
  struct stat st;
  may_block_ = fstat(fd, &st) != 0 || !S_ISREG(st.st_mode);
  if (!may_block_) {
    offset_ = ::lseek(fd, 0, SEEK_CUR);
    if (offset_ >= 0) end_ = st.st_size;
  }
}

std::size_t Fd_Source::Read(char* buffer, std::size_t capacity) {
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, capacity);
    if (n > 0) offset_ += n;
    // The end of a regular file before the end it had: another program cut it
    // while it was read (its size says so too), and what is missing is lost.
    struct stat st;
    if (n == 0 && offset_ < end_ && ::fstat(fd_, &st) == 0 && st.st_size < end_)
      throw Failure("TARVELO.READ_FILE.READ_ERROR", name_ + ": the file was cut short while it was read");
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR)
      throw Failure("TARVELO.READ_FILE.READ_ERROR", name_ + ": " + std::strerror(errno));
  }
}
