// End-to-end harness: runs the built tarvelo (or another program) as a user
// would, in a fresh temporary directory, capturing standard output, standard
// error and the exit status exactly. No shell is involved.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tarvelo_test {

// `status` is the exit status, or 128 plus the signal that killed the process.
struct Run_Result {
  std::string out, err;
  int status = -1;
  bool operator==(const Run_Result&) const = default;
};
inline void PrintTo(const Run_Result& r, std::ostream* os) {
  *os << "{out=" << testing::PrintToString(r.out) << ", err=" << testing::PrintToString(r.err)
      << ", status=" << r.status << "}";
}

// Paths are relative to the sandbox directory.
struct Run_Options {
  std::string program = TARVELO_BINARY;
  std::string argv0 = TARVELO_BINARY;  // the command name the process receives
  std::string stdin_bytes;             // fed through a pipe unless stdin_file is set
  std::string stdin_file;
  std::string stdout_file;  // opened for writing instead of the capture pipe
};

inline std::string Read_File(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

// A temporary working directory, removed with its contents on destruction.
class Sandbox {
 public:
  Sandbox() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvelo-e2e-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
  }
  ~Sandbox() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  void Write(const std::string& name, const std::string& bytes) const {
    std::filesystem::create_directories(std::filesystem::path(Path(name)).parent_path());
    std::ofstream(Path(name), std::ios::binary | std::ios::trunc) << bytes;
  }
  std::string Read(const std::string& name) const { return Read_File(Path(name)); }
  bool Exists(const std::string& name) const {
    return std::filesystem::exists(std::filesystem::symlink_status(Path(name)));
  }
  std::vector<std::string> Names() const {  // sorted, not recursive
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  Run_Result Run(const std::vector<std::string>& args, const std::string& stdin_bytes = {}) const {
    Run_Options options;
    options.stdin_bytes = stdin_bytes;
    return Run_With(options, args);
  }

  // A run that outlives 30 seconds or writes more than 64 MiB is killed.
  Run_Result Run_With(const Run_Options& options, const std::vector<std::string>& args) const {
    static const bool sigpipe_ignored = signal(SIGPIPE, SIG_IGN) != SIG_ERR;
    (void)sigpipe_ignored;
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC))
      throw std::runtime_error("pipe failed");
    std::vector<std::string> strings{options.argv0};
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : strings) argv.push_back(s.data());
    argv.push_back(nullptr);

    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
      signal(SIGPIPE, SIG_DFL);
      int fd0 = options.stdin_file.empty() ? in[0] : -1, fd1 = options.stdout_file.empty() ? out[1] : -1;
      if (chdir(dir_.c_str()) != 0) _exit(126);
      if (fd0 < 0) fd0 = open(options.stdin_file.c_str(), O_RDONLY);
      if (fd1 < 0) fd1 = open(options.stdout_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd0 < 0 || fd1 < 0 || dup2(fd0, 0) < 0 || dup2(fd1, 1) < 0 || dup2(err[1], 2) < 0) _exit(126);
      execv(options.program.c_str(), argv.data());
      _exit(127);
    }
    close(in[0]), close(out[1]), close(err[1]);

    Run_Result result;
    const std::string& pending = options.stdin_file.empty() ? options.stdin_bytes : std::string();
    size_t written = 0;
    int in_fd = in[1];
    if (pending.empty()) close(in_fd), in_fd = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool killed = false;
    while (out[0] >= 0 || err[0] >= 0) {
      pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {in_fd, POLLOUT, 0}};
      poll(fds, 3, 100);
      for (int k = 0; k < 2; ++k) {
        if (!(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        char buffer[65536];
        ssize_t n = read(fds[k].fd, buffer, sizeof buffer);
        if (n > 0) (k == 0 ? result.out : result.err).append(buffer, n);
        if (n == 0 || (n < 0 && errno != EINTR)) close(fds[k].fd), (k == 0 ? out[0] : err[0]) = -1;
      }
      if (in_fd >= 0 && fds[2].revents) {
        ssize_t n = write(in_fd, pending.data() + written, pending.size() - written);
        written = n >= 0 ? written + n : errno == EINTR ? written : pending.size();
        if (written == pending.size()) close(in_fd), in_fd = -1;
      }
      if (!killed && (std::chrono::steady_clock::now() > deadline ||
                      result.out.size() + result.err.size() > (64u << 20)))
        killed = kill(pid, SIGKILL) == 0;
    }
    if (in_fd >= 0) close(in_fd);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
  }

 private:
  std::string dir_;
};

// The path of `name` on PATH, or "" when it is not there.
inline std::string Find_Program(const std::string& name) {
  std::istringstream dirs(getenv("PATH") != nullptr ? getenv("PATH") : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');)
    if (access((dir + "/" + name).c_str(), X_OK) == 0) return dir + "/" + name;
  return "";
}

// The fatal report that ends a failed run on standard error.
inline std::string Fatal(const std::string& full_name, const std::string& message) {
  return "\nraised " + full_name + (message.empty() ? "" : " : " + message) + "\n";
}
inline const std::string kInvalidArgument =
    Fatal("TARVELO.PARSE_ARGUMENTS.COMMAND_LINE_ERROR", "Invalid argument.");
inline const std::string kInvalidFilename = "Invalid filename.\n";

}  // namespace tarvelo_test
