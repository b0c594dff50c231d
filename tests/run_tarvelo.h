// End-to-end harness: runs the built tarvelo as a user would, in a fresh
// temporary directory, with exactly the standard descriptors a test gives it.
// No shell is involved. Also the record that the end-to-end tests share.
#pragma once

#include <fcntl.h>
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
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace tarvelo_test {

using Args = std::vector<std::string>;

struct Run_Result {
  std::string out = "", err = "";
  int status = 0;  // the exit status, or 128 plus the signal that ended the run
  std::optional<std::string> defs = std::nullopt;  // d.m4, when the run left one
  bool operator==(const Run_Result&) const = default;
};
inline void PrintTo(const Run_Result& r, std::ostream* os) {
  *os << testing::PrintToString(r.out) << ", " << testing::PrintToString(r.err) << ", " << r.status
      << ", " << testing::PrintToString(r.defs);
}

// One row of a table: the arguments and standard input, and the outcome.
struct Case {
  Args args;
  Run_Result expected;
  std::string in = "";
};

inline std::string Fatal(const std::string& full_name, const std::string& message) {
  return "\nraised " + full_name + " : " + message + "\n";
}
inline const std::string kInvalidFilename = "Invalid filename.\n";

// A record of Accession; its definition tells the replacement modes apart.
inline std::string Record(const std::string& accession) {
  return "LOCUS       " + accession + "\n"
         "DEFINITION  TP53 (p53), 'x7'; a-b.c\n"
         "ACCESSION   " + accession + "\n"
         "SOURCE      Homo sapiens (human)\n"
         "  ORGANISM  Homo sapiens\n"
         "            Eukaryota; Primates.\n"
         "REFERENCE   1\n"
         "  AUTHORS   Meyer,A.\n"
         "  JOURNAL   Gene 100\n"
         "                     /db_xref=\"taxon:9606\"\n"
         "ORIGIN\n"
         "        1 gatcctccat atacaacggt\n"
         "//\n";
}
inline const std::string kSeq = "gatcctccatatacaacggt\n";
// The FASTA of one Record under Label.
inline std::string Fasta(const std::string& label) { return ">" + label + "\n" + kSeq; }

// Where the standard streams of a run go: files in the sandbox or elsewhere,
// "" for closed.
struct Streams {
  std::string in = ".in", out = ".out", err = ".err";
};

// A temporary directory holding a.gb (Record "A1"), b.gb (Record "B2"),
// empty.gb and dir/; removed with its contents on destruction.
class Sandbox {
 public:
  Sandbox() : dir_(std::filesystem::temp_directory_path() / "tarvelo-e2e-XXXXXX") {
    if (mkdtemp(dir_.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    Write("a.gb", Record("A1"));
    Write("b.gb", Record("B2"));
    Write("empty.gb", "");
    Write("dir/x", "");
  }
  ~Sandbox() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

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
  int Open(const std::string& name, int flags = O_RDONLY) const {
    const int fd = open(Path(name).c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot open " + name);
    return fd;
  }
  int Create(const std::string& name) const { return Open(name, O_WRONLY | O_CREAT | O_TRUNC); }

  // Starts tarvelo here with standard input, output and error on In, Out and
  // Err (-1 leaves one closed), which it closes in this process. A run that
  // outlives a minute is killed.
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
    const pid_t pid = fork();
    if (pid != 0) {
      for (int fd : {in, out, err})
        if (fd >= 0) close(fd);
      return pid;
    }
    signal(SIGPIPE, ignore_sigpipe ? SIG_IGN : SIG_DFL);
    alarm(60);
    const int from[3] = {in, out, err};
    for (int fd = 0; fd < 3; ++fd)
      if (from[fd] < 0 ? close(fd) != 0 && errno != EBADF : dup2(from[fd], fd) < 0) _exit(126);
    if (chdir(dir_.c_str()) != 0) _exit(126);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  // The exit status (or 128 plus the signal that ended the run) and the peak
  // resident memory in kilobytes.
  static std::pair<int, long> Wait(pid_t pid) {
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) continue;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), usage.ru_maxrss};
  }

  // Runs tarvelo to its end with the bytes In in ".in". What ".out", ".err"
  // and d.m4 hold afterwards is the result; Run removes them.
  Run_Result Run(const Args& args, const std::string& in = "", const Streams& s = {},
                 const std::string& argv0 = TARVELO_BINARY) const {
    Write(".in", in);
    const int fds[3] = {s.in.empty() ? -1 : Open(s.in), s.out.empty() ? -1 : Create(s.out),
                        s.err.empty() ? -1 : Create(s.err)};
    const int status = Wait(Start(args, fds[0], fds[1], fds[2], argv0)).first;
    Run_Result r{s.out == ".out" ? Read(".out") : "", s.err == ".err" ? Read(".err") : "", status};
    if (std::filesystem::exists(Path("d.m4"))) r.defs = Read("d.m4");
    for (const char* name : {".in", ".out", ".err", "d.m4"}) std::filesystem::remove(Path(name));
    return r;
  }
  Run_Result Run(const Case& c) const { return Run(c.args, c.in); }

 private:
  std::string dir_;
};

}  // namespace tarvelo_test
