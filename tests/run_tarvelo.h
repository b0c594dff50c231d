// End-to-end harness: runs the built tarvelo in a fresh temporary directory,
// with exactly the standard descriptors a test gives it, and no shell.
#pragma once

#include <fcntl.h>
#include <sched.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace tarvelo_test {

using Args = std::vector<std::string>;

struct Run_Result {
  std::string out = "", err = "";
  int status = 0;  // the exit status, or 128 plus the signal that ended the run
  std::optional<std::string> defs = std::nullopt;  // d.m4, when the run left one
  bool operator==(const Run_Result&) const = default;
};
inline void PrintTo(const Run_Result& r, std::ostream* os) {
  *os << testing::PrintToString(std::tuple(r.out, r.err, r.status, r.defs));
}

// A row of a table: arguments, outcome and standard input.
struct Case {
  Args args;
  Run_Result expected;
  std::string in = "";
};

inline std::string Fatal(const std::string& name, const std::string& message) {
  return "\nraised " + name + " : " + message + "\n";
}
inline const std::string kInvalidFilename = "Invalid filename.\n";

// A record of Accession; its definition tells the replacement modes apart.
inline std::string Record(const std::string& accession) {
  return "LOCUS       " + accession + "\nDEFINITION  TP53 (p53), 'x7'; a-b.c\nACCESSION   " +
         accession +
         "\nSOURCE      Homo sapiens (human)\n  ORGANISM  Homo sapiens\n"
         "            Eukaryota; Primates. \nREFERENCE   1\n  AUTHORS   Meyer,A.\n"
         "  JOURNAL   Gene 100\n                     /db_xref=\"taxon:9606\"\n"
         "ORIGIN\n        1 gatcctccat atacaacggt\n//\n";
}
inline std::string Fasta(const std::string& label) {
  return ">" + label + "\ngatcctccatatacaacggt\n";
}

// While it lives, this thread runs on the first of its processors only, and
// so does every run it starts (a child inherits the affinity): the program
// then converts on one thread.
class On_One_Processor {
 public:
  On_One_Processor() {
    if (sched_getaffinity(0, sizeof every_, &every_) != 0) throw std::runtime_error("sched_getaffinity");
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
      if (CPU_ISSET(cpu, &every_)) {
        CPU_SET(cpu, &one);
        break;
      }
    if (sched_setaffinity(0, sizeof one, &one) != 0) throw std::runtime_error("sched_setaffinity");
  }
  ~On_One_Processor() { sched_setaffinity(0, sizeof every_, &every_); }
  On_One_Processor(const On_One_Processor&) = delete;
  On_One_Processor& operator=(const On_One_Processor&) = delete;

 private:
  cpu_set_t every_;
};

// Files (of the sandbox, or absolute) for the standard streams; "" is closed.
struct Streams {
  std::string in = ".in", out = ".out", err = ".err";
};

// A temporary directory holding a.gb (Record "A1"), b.gb (Record "B2"),
// empty.gb and dir/.
class Sandbox {
 public:
  Sandbox() {
    if (mkdtemp(dir_.data()) == nullptr) throw std::filesystem::filesystem_error("mkdtemp", {});
    for (auto [name, bytes] : {std::pair{"a.gb", Record("A1")},
                               {"b.gb", Record("B2")},
                               {"empty.gb", std::string()},
                               {"dir/x", std::string()}})
      Write(name, bytes);
  }
  ~Sandbox() { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string& name) const {
    return name[0] == '/' ? name : dir_ + "/" + name;
  }
  void Write(const std::string& name, const std::string& bytes) const {
    std::filesystem::create_directories(std::filesystem::path(Path(name)).parent_path());
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ostringstream bytes;
    bytes << std::ifstream(Path(name), std::ios::binary).rdbuf();
    return bytes.str();
  }
  // A descriptor of Name ("": -1); Write creates or empties the file.
  int Open(const std::string& name, bool write = false) const {
    if (name.empty()) return -1;
    return open(Path(name).c_str(), (write ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY) | O_CLOEXEC,
                0644);
  }

  // Starts tarvelo here with standard input, output and error on In, Out and
  // Err (-1: closed), which this process then closes. Killed after a minute.
  pid_t Start(Args args, int in, int out, int err, const std::string& argv0 = TARVELO_BINARY,
              bool ignore_sigpipe = false) const {
#if defined(TARVELO_EMULATOR)
    // A cross build: the emulator (qemu-user) runs the program under the name argv0.
    args.insert(args.begin(), {TARVELO_EMULATOR, "-0", argv0, TARVELO_BINARY});
    const std::string program = args[0];
#else
    args.insert(args.begin(), argv0);
    const std::string program = TARVELO_BINARY;
#endif
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int from[3] = {in, out, err};
    const pid_t pid = fork();
    if (pid == 0) {
      signal(SIGPIPE, ignore_sigpipe ? SIG_IGN : SIG_DFL);
      alarm(60);
      for (int fd = 0; fd < 3; ++fd)
        if (from[fd] < 0 ? close(fd) != 0 && errno != EBADF : dup2(from[fd], fd) < 0) _exit(126);
      if (chdir(dir_.c_str()) == 0) execv(program.c_str(), argv.data());
      _exit(127);
    }
    for (int fd : from)
      if (fd >= 0) close(fd);
    return pid;
  }
  // The exit status (or 128 plus the signal) and the peak resident memory in kB.
  static std::pair<int, long> Wait(pid_t pid) {
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) continue;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), usage.ru_maxrss};
  }

  // Runs tarvelo to its end with the bytes In in ".in"; the result is what
  // ".out", ".err" and d.m4 then hold, which Run removes.
  Run_Result Run(const Args& args, const std::string& in = "", const Streams& s = {},
                 const std::string& argv0 = TARVELO_BINARY) const {
    Write(".in", in);
    const int status =
        Wait(Start(args, Open(s.in), Open(s.out, true), Open(s.err, true), argv0)).first;
    Run_Result r{s.out == ".out" ? Read(".out") : "", s.err == ".err" ? Read(".err") : "", status};
    if (std::filesystem::exists(Path("d.m4"))) r.defs = Read("d.m4");
    for (const char* name : {".in", ".out", ".err", "d.m4"}) std::filesystem::remove(Path(name));
    return r;
  }
  Run_Result Run(const Case& c) const { return Run(c.args, c.in); }

 private:
  std::string dir_ = std::filesystem::temp_directory_path() / "tarvelo-e2e-XXXXXX";
};

}  // namespace tarvelo_test
