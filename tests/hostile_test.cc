// End-to-end: hostile inputs and faulty conditions. Every byte value in every
// kind of line, lines far longer than memory should hold, inputs that are not
// regular files, standard streams that are closed, full or gone, definitions
// files that cannot be created, and inputs that change while being read. Each
// case asserts the whole outcome; the long lines also bound the peak memory.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "fixtures.h"
#include "run_tarvelo.h"

namespace tarvelo_test {
namespace {

using Args = std::vector<std::string>;

const std::string kWriteError = "TARVELO.OUTPUT.WRITE_ERROR";
const std::string kReadError = "TARVELO.READ_FILE.READ_ERROR";

// The record text up to and including its "ORIGIN" line.
std::string Head(const std::string& record) {
  return record.substr(0, record.find("ORIGIN      \n") + 13);
}

// Descriptors for a child's standard input, output and error; -1 leaves that
// descriptor closed in the child.
struct Streams {
  int in = -1, out = -1, err = -1;
  bool ignore_sigpipe = false;
};

// Starts tarvelo in Box's directory with exactly the given standard descriptors.
pid_t Start(const Sandbox& box, const Args& args, const Streams& s) {
  std::vector<std::string> strings{TARVELO_BINARY};
  strings.insert(strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : strings) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid != 0) return pid;
  signal(SIGPIPE, s.ignore_sigpipe ? SIG_IGN : SIG_DFL);
  if (chdir(box.Path(".").c_str()) != 0) _exit(126);
  const int from[3] = {s.in, s.out, s.err};
  for (int fd = 0; fd < 3; ++fd)
    if (from[fd] < 0 ? close(fd) != 0 && errno != EBADF : dup2(from[fd], fd) < 0) _exit(126);
  execv(argv[0], argv.data());
  _exit(127);
}

struct Finished {
  int status = -1;  // the exit status, or 128 + the signal that ended it
  long peak_kb = 0;
};

Finished Wait(pid_t pid) {
  int wait_status = 0;
  rusage usage{};
  while (wait4(pid, &wait_status, 0, &usage) < 0 && errno == EINTR) {
  }
  return {WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status),
          usage.ru_maxrss};
}

int Open(const std::string& path, int flags) {
  const int fd = open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot open " + path);
  return fd;
}

// Runs tarvelo with standard output and error going to files (or closed when
// Close_Out / Close_Err) and standard input from In_Path ("" closes it).
struct Measured {
  Run_Result result;
  long peak_kb;
};
Measured Run_To_Files(const Sandbox& box, const Args& args, const std::string& in_path = "/dev/null",
                      bool close_out = false, bool close_err = false) {
  Streams s;
  s.in = in_path.empty() ? -1 : Open(in_path, O_RDONLY);
  s.out = close_out ? -1 : Open(box.Path(".out"), O_WRONLY | O_CREAT | O_TRUNC);
  s.err = close_err ? -1 : Open(box.Path(".err"), O_WRONLY | O_CREAT | O_TRUNC);
  const pid_t pid = Start(box, args, s);
  for (int fd : {s.in, s.out, s.err})
    if (fd >= 0) close(fd);
  const Finished f = Wait(pid);
  Measured m{{close_out ? "" : box.Read(".out"), close_err ? "" : box.Read(".err"), f.status},
             f.peak_kb};
  unlink(box.Path(".out").c_str());
  unlink(box.Path(".err").c_str());
  return m;
}

// Writes Count copies of Piece (then Tail) to Name without holding them all.
void Write_Repeated(const Sandbox& box, const std::string& name, const std::string& head,
                    const std::string& piece, std::size_t count, const std::string& tail = "") {
  const int fd = Open(box.Path(name), O_WRONLY | O_CREAT | O_TRUNC);
  std::string block;
  for (std::size_t k = 0; k < (1u << 20) / piece.size(); ++k) block += piece;
  const std::size_t per_block = block.size() / piece.size();
  auto put = [fd](const std::string& s) {
    if (write(fd, s.data(), s.size()) != static_cast<ssize_t>(s.size()))
      throw std::runtime_error("short write");
  };
  put(head);
  for (std::size_t k = 0; k < count / per_block; ++k) put(block);
  put(block.substr(0, (count % per_block) * piece.size()));
  put(tail);
  close(fd);
}

// The offset of the first byte where the file at Path differs from Head
// followed by Count copies of Piece; its size when there is none.
std::size_t First_Difference(const std::string& path, const std::string& head,
                             const std::string& piece, std::size_t count) {
  const std::size_t size = head.size() + count * piece.size();
  const int fd = Open(path, O_RDONLY);
  std::vector<char> buffer(1 << 20);
  std::size_t at = 0;
  for (ssize_t n; (n = read(fd, buffer.data(), buffer.size())) > 0;) {
    for (ssize_t k = 0; k < n; ++k, ++at) {
      if (at >= size || buffer[k] != (at < head.size() ? head[at]
                                                       : piece[(at - head.size()) % piece.size()])) {
        close(fd);
        return at;
      }
    }
  }
  close(fd);
  return at;
}

// A record with Byte in the middle of every value the reader takes, and in a
// sequence line. The line feed, which ends lines, is not put in.
std::string Record_With(char b) {
  const std::string x(1, b);
  return "LOCUS       AB000001                  3 bp    DNA     linear   PLN 01-JAN-2000\n"
         "DEFINITION  d" + x + "d\n"
         "ACCESSION   AB" + x + "1\n"
         "SOURCE      s" + x + "s\n"
         "  ORGANISM  o" + x + "o\n"
         "            t" + x + "t\n"
         "REFERENCE   1\n"
         "  AUTHORS   p" + x + "p\n"
         "  JOURNAL   j" + x + "j\n"
         "FEATURES             Location/Qualifiers\n"
         "                     /specific_host=\"h" + x + "h\"\n"
         "                     /db_xref=\"taxon:i" + x + "i\"\n"
         "                     /country=\"c" + x + "c\"\n"
         "                     /lat_lon=\"l" + x + "l\"\n"
         "ORIGIN      \n"
         "        1 a" + x + "c\n"
         "//\n";
}

TEST(Hostile, EveryByteValueInEveryKindOfLine) {
  Sandbox box;
  std::string input, rows, fasta;
  for (int code = 0; code < 256; ++code) {
    const char b = static_cast<char>(code);
    if (b == '\n') continue;
    const std::string x(1, b);
    input += Record_With(b);
    // The accession loses blanks, control characters and underscores; a
    // sequence line keeps only letters, ISO 8859-1 ones included.
    const bool stripped = code <= 32 || (code >= 127 && code <= 159) || b == '_';
    const bool letter = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') ||
                        (code >= 192 && code != 215 && code != 247);
    rows += "d" + x + "d\tAB" + (stripped ? "" : x) + "1\ts" + x + "s\to" + x + "o\tt" + x +
            "t\tp" + x + "p\tj" + x + "j\ti" + x + "i\th" + x + "h\tc" + x + "c\tl" + x + "l\n";
    fasta += ">d" + x + "d\na" + (letter ? x : "") + "c\n";
  }
  box.Write("all.gb", input);
  EXPECT_EQ(box.Run({"-t", "-l", "dasotpjihcl", "all.gb"}), (Run_Result{rows, "", 0}));
  EXPECT_EQ(box.Run({"-r", "0", "-l", "d", "-"}, input), (Run_Result{fasta, "", 0}));

  // Bytes travel into diagnostics unchanged, NUL included; NUL is a control
  // character, so trimmed at the ends of values and removed from accessions.
  const std::string nul(1, '\0');
  box.Write("nul.gb", Record_With('\0'));
  EXPECT_EQ(box.Run({"-m", "d.m4", "-l", "d", "nul.gb"}),
            (Run_Result{">AB1\nac\n", "", 0}));
  EXPECT_EQ(box.Read("d.m4"), "define(`AB1',``d" + nul + "d'')dnl\n");
  box.Write("x.gb", Record_With('\xd7'));
  EXPECT_EQ(box.Run({"-m", "d.m4", "x.gb"}),
            (Run_Result{"", Fatal("TEXTUTILS.M4UTILS.INVALID_MACRO_NAME", "\"AB\xd7" "1\""), 1}));
  EXPECT_EQ(box.Run({"-"}, "SOURCE      s" + nul + "s\n"),
            (Run_Result{"", Fatal("TARVELO.GENBANK_FORMAT_ERROR", "STOP vs. ACCESSION : SOURCE      s" + nul + "s"), 1}));
  EXPECT_EQ(box.Run({"-l", "o", "-"}, Replace(kDuck, "  ORGANISM  Influenza A virus (A/duck/Kyoto/1/2019(H5N1))",
                                              "  ORGANISM  " + nul + "o" + nul + nul + "x" + nul)),
            (Run_Result{">o" + nul + nul + "x\nagcaaaagcagg\n", "", 0}));
}

TEST(Hostile, CarriageReturnsOnly) {
  Sandbox box;
  // One physical line, read 100 characters at a time, each piece losing its
  // last carriage return: nothing is a keyword, inside a sequence each piece
  // is an empty sequence line.
  const std::string crs(250, '\r');
  for (const std::string& only : {std::string("\r"), crs, crs + "\n" + crs + "\n"}) {
    box.Write("cr.gb", only);
    EXPECT_EQ(box.Run({"cr.gb"}), (Run_Result{"", "", 0}));
    EXPECT_EQ(box.Run({"-t", "cr.gb"}), (Run_Result{"", "", 0}));
  }
  box.Write("seq.gb", Head(kHuman) + crs + "\n//\n");
  EXPECT_EQ(box.Run({"seq.gb"}), (Run_Result{">Homo_sapiens_AJ012345\n\n\n\n", "", 0}));
}

// The reader holds one piece of a line at a time: a line of 100 MB without a
// line feed costs no more memory than a short one.
TEST(Hostile, HundredMegabyteLineInBoundedMemory) {
  Sandbox box;
  constexpr std::size_t kLine = 100'000'000;
  constexpr long kBoundKb = 64 * 1024;
  const std::string head = Head(kDuck);
  const std::string label = ">Influenza_A_virus_(A/duck/Kyoto/1/2019(H5N1))_MK000002\n";

  // As a sequence line, at the end of the input: one output line per 100
  // bytes. The output is checked as it is read back: a child forked while this
  // process held 100 MB would count them in its peak.
  Write_Repeated(box, "seq.gb", head, "acgt", kLine / 4);
  Streams s;
  s.in = Open("/dev/null", O_RDONLY);
  s.out = Open(box.Path("out"), O_WRONLY | O_CREAT | O_TRUNC);
  s.err = Open(box.Path("err"), O_WRONLY | O_CREAT | O_TRUNC);
  const Finished f = Wait(Start(box, {"seq.gb"}, s));
  for (int fd : {s.in, s.out, s.err}) close(fd);
  EXPECT_EQ(f.status, 0);
  EXPECT_EQ(box.Read("err"), "");
  EXPECT_LT(f.peak_kb, kBoundKb);
  std::string piece;
  for (int k = 0; k < 25; ++k) piece += "acgt";
  const std::size_t lines = kLine / piece.size();
  EXPECT_EQ(First_Difference(box.Path("out"), label, piece + "\n", lines),
            label.size() + lines * (piece.size() + 1));

  // As the whole input, or as the definition of a record: no record, or a
  // label cut after column 100.
  Write_Repeated(box, "junk.gb", "", "\x01junk", kLine / 5);
  Measured m = Run_To_Files(box, {"junk.gb"});
  EXPECT_EQ(m.result, (Run_Result{"", "", 0}));
  EXPECT_LT(m.peak_kb, kBoundKb);
  const std::string definition = "DEFINITION  Influenza A virus (A/duck/Kyoto/1/2019(H5N1)) segment 4\n";
  const std::size_t at = kDuck.find(definition);
  Write_Repeated(box, "def.gb", kDuck.substr(0, at) + "DEFINITION  ", "def ", kLine / 4,
                 "\n" + kDuck.substr(at + definition.size()));
  m = Run_To_Files(box, {"-l", "da", "def.gb"});
  std::string cut;
  while (cut.size() < 88) cut += "def_";
  EXPECT_EQ(m.result, (Run_Result{">" + cut.substr(0, 87) + "_MK000002\nagcaaaagcagg\n", "", 0}));
  EXPECT_LT(m.peak_kb, kBoundKb);
}

TEST(Hostile, InputsThatAreNotRegularFiles) {
  Sandbox box;
  box.Write("a.gb", kHuman);
  box.Write("dir/x.gb", kDuck);
  EXPECT_EQ(box.Run({"a.gb", "dir"}), (Run_Result{kHumanOut, kInvalidFilename, 1}));
  EXPECT_EQ(box.Run({"a.gb", "/dev/null", "a.gb"}), (Run_Result{kHumanOut + kHumanOut, "", 0}));

  // A FIFO is read as its writer sends.
  signal(SIGPIPE, SIG_IGN);
  ASSERT_EQ(mkfifo(box.Path("fifo").c_str(), 0644), 0);
  std::thread writer([&box] {
    const int fd = Open(box.Path("fifo"), O_WRONLY);
    for (const std::string& part : {kDuck.substr(0, 500), kDuck.substr(500)}) {
      EXPECT_EQ(write(fd, part.data(), part.size()), static_cast<ssize_t>(part.size()));
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    close(fd);
  });
  EXPECT_EQ(box.Run({"a.gb", "fifo"}), (Run_Result{kHumanOut + kDuckOut, "", 0}));
  writer.join();

  // Standard input that cannot be read: a directory, or closed at start.
  EXPECT_EQ(Run_To_Files(box, {"a.gb", "-"}, box.Path("dir")).result,
            (Run_Result{kHumanOut, Fatal(kReadError, "standard input: Is a directory"), 1}));
  EXPECT_EQ(Run_To_Files(box, {"a.gb", "-"}, "").result,
            (Run_Result{kHumanOut, Fatal(kReadError, "standard input: Bad file descriptor"), 1}));

  if (geteuid() == 0) {
    std::cout << "[ NOTE     ] running as root: an unreadable file cannot be made\n";
  } else {
    box.Write("secret.gb", kDuck);
    ASSERT_EQ(chmod(box.Path("secret.gb").c_str(), 0), 0);
    EXPECT_EQ(box.Run({"a.gb", "secret.gb"}), (Run_Result{kHumanOut, kInvalidFilename, 1}));
  }
}

TEST(Hostile, StandardOutputClosedFullOrGone) {
  Sandbox box;
  box.Write("a.gb", kHuman);
  box.Write("empty.gb", "");
  const std::string closed = Fatal(kWriteError, "standard output: Bad file descriptor");

  // Closed at start: the definitions file does not take its place.
  EXPECT_EQ(Run_To_Files(box, {"-m", "d.m4", "a.gb"}, "/dev/null", true).result,
            (Run_Result{"", closed, 1}));
  EXPECT_EQ(box.Read("d.m4"), "define(`AJ012345',``Homo_sapiens_AJ012345'')dnl\n");
  EXPECT_EQ(Run_To_Files(box, {"a.gb"}, "/dev/null", true).result, (Run_Result{"", closed, 1}));
  EXPECT_EQ(Run_To_Files(box, {"empty.gb"}, "/dev/null", true).result, (Run_Result{"", "", 0}));
  // Standard error closed too: the failure still shows in the status.
  EXPECT_EQ(Run_To_Files(box, {"a.gb"}, "/dev/null", true, true).result, (Run_Result{"", "", 1}));

  // Full, after more than one buffer of output.
  std::string many;
  for (int k = 0; k < 5000; ++k) many += kHuman;
  box.Write("many.gb", many);
  Streams full;
  full.out = Open("/dev/full", O_WRONLY);
  full.err = Open(box.Path("err"), O_WRONLY | O_CREAT | O_TRUNC);
  Finished f = Wait(Start(box, {"many.gb"}, full));
  EXPECT_EQ(f.status, 1);
  EXPECT_EQ(box.Read("err"), "\nraised TARVELO.OUTPUT.WRITE_ERROR : standard output: No space left on device\n");
  close(full.out);
  close(full.err);

  // A reader that goes away after the first line, as `| head -n 1` does:
  // SIGPIPE ends the run, or with SIGPIPE ignored the write error does. What
  // the reader took is the start of the output, unchanged.
  std::string expected;
  for (int k = 0; k < 5000; ++k) expected += kHumanOut;
  for (bool ignore : {false, true}) {
    int out[2], err[2];
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(err, O_CLOEXEC), 0);
    Streams s;
    s.in = Open("/dev/null", O_RDONLY);
    s.out = out[1];
    s.err = err[1];
    s.ignore_sigpipe = ignore;
    const pid_t pid = Start(box, {"many.gb"}, s);
    close(s.in);
    close(out[1]);
    close(err[1]);
    std::string taken(4096, '\0');
    const ssize_t n = read(out[0], taken.data(), taken.size());
    ASSERT_GT(n, 0);
    taken.resize(static_cast<std::size_t>(n));
    close(out[0]);
    f = Wait(pid);
    std::string diagnostics(4096, '\0');
    const ssize_t e = read(err[0], diagnostics.data(), diagnostics.size());
    diagnostics.resize(e > 0 ? static_cast<std::size_t>(e) : 0);
    close(err[0]);
    EXPECT_EQ(taken, expected.substr(0, taken.size()));
    if (ignore) {
      EXPECT_EQ(f.status, 1);
      EXPECT_EQ(diagnostics, Fatal(kWriteError, "standard output: Broken pipe"));
    } else {
      EXPECT_EQ(f.status, 128 + SIGPIPE);
      EXPECT_EQ(diagnostics, "");
    }
  }
}

TEST(Hostile, DefinitionsFileCannotBeCreated) {
  Sandbox box;
  box.Write("a.gb", kHuman);
  box.Write("dir/keep", "");
  // Missing directories, a directory, and directories where even root cannot
  // create a file.
  for (const char* name : {"no/such/dir/d.m4", "dir", "/proc/d.m4", "/proc/self/no/d.m4"}) {
    EXPECT_EQ(box.Run({"-m", name, "a.gb"}), (Run_Result{"", kInvalidFilename, 1})) << name;
  }
  if (geteuid() != 0) {
    ASSERT_EQ(chmod(box.Path("dir").c_str(), 0555), 0);
    EXPECT_EQ(box.Run({"-m", "dir/d.m4", "a.gb"}), (Run_Result{"", kInvalidFilename, 1}));
  }
  EXPECT_EQ(box.Names(), (Args{"a.gb", "dir"}));
}

// An input removed or cut short while tarvelo reads it. The run is held with
// its output pipe full, after reading at most a few hundred kilobytes of the
// 4 MB input; then the file changes and the pipe is drained.
TEST(Hostile, InputChangedWhileRead) {
  Sandbox box;
  const std::string line = "        1 acgtacgtac gtacgtacgt acgtacgtac gtacgtacgt acgtacgtac gtacgtacgt\n";
  constexpr std::size_t kLines = 4 << 20 >> 7;  // lines of 76 bytes: about 2.4 MB
  const std::string head = Head(kDuck);
  const std::string label = ">Influenza_A_virus_(A/duck/Kyoto/1/2019(H5N1))_MK000002\n";
  std::string seq_line;
  for (char c : line)
    if (c >= 'a' && c <= 'z') seq_line += c;
  seq_line += '\n';
  const std::size_t cut = head.size() + (kLines / 2) * line.size() + 20;

  for (const bool remove : {true, false}) {
    Write_Repeated(box, "big.gb", head, line, kLines);
    int out[2];
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    Streams s;
    s.in = Open("/dev/null", O_RDONLY);
    s.out = out[1];
    s.err = Open(box.Path("err"), O_WRONLY | O_CREAT | O_TRUNC);
    const pid_t pid = Start(box, {"big.gb"}, s);
    close(s.in);
    close(s.err);
    close(out[1]);
    int pending = 0;
    const int capacity = fcntl(out[0], F_GETPIPE_SZ);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ioctl(out[0], FIONREAD, &pending) == 0 && pending < capacity &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(pending, capacity);
    if (remove) {
      ASSERT_EQ(unlink(box.Path("big.gb").c_str()), 0);
    } else {
      ASSERT_EQ(truncate(box.Path("big.gb").c_str(), static_cast<off_t>(cut)), 0);
    }
    std::string taken;
    char buffer[65536];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) taken.append(buffer, n);
    close(out[0]);
    const Finished f = Wait(pid);
    // Removed: the open file stays readable to its end. Cut: the input ends
    // at the cut, in the middle of a sequence line, which is read as a line.
    std::string expected = label;
    const std::size_t whole = remove ? kLines : kLines / 2;
    for (std::size_t k = 0; k < whole; ++k) expected += seq_line;
    if (!remove) expected += "acgtacgtac\n";
    EXPECT_EQ(taken.size(), expected.size()) << remove;
    EXPECT_TRUE(taken == expected) << remove;
    EXPECT_EQ(box.Read("err"), "");
    EXPECT_EQ(f.status, 0);
  }
}

}  // namespace
}  // namespace tarvelo_test
