// Helpers shared by the fuzz targets: descriptors that stand in for files, so
// that a run touches nothing on disk.
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace tarvelo_fuzz {

// Ends the fuzzer: a harness that cannot set itself up must not report
// findings that are its own.
[[noreturn]] inline void Harness_Failure(const char* what) {
  std::perror(what);
  std::abort();
}

inline int Open_Null() {
  const int fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (fd < 0) Harness_Failure("/dev/null");
  return fd;
}

inline int Make_Memfd(const char* name) {
  const int fd = ::memfd_create(name, MFD_CLOEXEC);
  if (fd < 0) Harness_Failure("memfd_create");
  return fd;
}

// The name under which the file behind Fd can be opened again.
inline std::string Fd_Path(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// Makes the file behind Fd hold exactly Bytes, read from the start.
inline void Fill(int fd, std::string_view bytes) {
  if (::ftruncate(fd, 0) != 0) Harness_Failure("ftruncate");
  for (off_t at = 0; at < static_cast<off_t>(bytes.size());) {
    const ssize_t n = ::pwrite(fd, bytes.data() + at, bytes.size() - at, at);
    if (n <= 0) Harness_Failure("pwrite");
    at += n;
  }
  if (::lseek(fd, 0, SEEK_SET) != 0) Harness_Failure("lseek");
}

}  // namespace tarvelo_fuzz
