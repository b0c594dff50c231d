#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "driver/run.h"

namespace {

// A process started with descriptor 0, 1 or 2 closed would hand that number to
// the first file it opens (the definitions file, an input), and output meant
// for standard output would land in that file. Each closed one is taken by
// /dev/null opened so that its use fails: standard input write-only, standard
// output and standard error read-only (a write then fails and is reported).
// False when /dev/null cannot be opened: the run is not safe to start.
bool Occupy_Closed_Standard_Descriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number is Fd: the ones below it are open by now.
    if (::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY) != fd) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (!Occupy_Closed_Standard_Descriptors()) return 1;
  const char* command_name = argc > 0 && argv[0] != nullptr ? argv[0] : "tarvelo";
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return Run_Tarvelo(command_name, std::move(args));
}
