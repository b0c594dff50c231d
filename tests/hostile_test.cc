// End-to-end: hostile inputs and faulty conditions. Every byte value in every
// kind of line, a line far longer than memory should hold, standard streams
// that are closed, full or gone, and an input cut short while it is read.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "driver/run.h"
#include "run_tarvelo.h"

namespace tarvelo_test {
namespace {

const std::string kWriteError = "TARVELO.OUTPUT.WRITE_ERROR";
// Record("A1") up to and including its ORIGIN line.
const std::string kHead = Record("A1").substr(0, Record("A1").find("ORIGIN\n") + 7);

// A record with B in the middle of every value the reader takes and of a
// sequence line.
std::string Record_With(const std::string& b) {
  const std::string q = "                     /";  // begins a qualifier line
  return "LOCUS       AB" + b + "1\nDEFINITION  d" + b + "d\n"
         "ACCESSION   AB" + b + "1\nSOURCE      s" + b + "s\n"
         "  ORGANISM  o" + b + "o\n            t" + b + "t\nREFERENCE\n"
         "  AUTHORS   p" + b + "p\n  JOURNAL   j" + b + "j\n" +
         q + "specific_host=\"h" + b + "h\"\n" + q + "db_xref=\"taxon:i" + b + "i\"\n" +
         q + "country=\"c" + b + "c\"\n" + q + "lat_lon=\"l" + b + "l\"\n"
         "ORIGIN\n        1 a" + b + "c\n//\n";
}

TEST(Hostile, EveryByteValueInEveryKindOfLine) {
  Sandbox box;
  std::string input, rows, fasta;
  for (int code = 0; code < 256; ++code) {
    if (code == '\n') continue;
    const std::string x(1, static_cast<char>(code));
    input += Record_With(x);
    // The accession loses blanks, control characters and underscores; a
    // sequence line keeps only letters, ISO 8859-1 ones included.
    const bool stripped = code <= 32 || (code >= 127 && code <= 159) || code == '_';
    const bool letter = (code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z') ||
                        (code >= 192 && code != 215 && code != 247);
    rows += "d" + x + "d\tAB" + (stripped ? "" : x) + "1\ts" + x + "s\to" + x + "o\tt" + x +
            "t\tp" + x + "p\tj" + x + "j\ti" + x + "i\th" + x + "h\tc" + x + "c\tl" + x + "l\n";
    fasta += ">d" + x + "d\na" + (letter ? x : "") + "c\n";
  }
  box.Write("all.gb", input);
  EXPECT_EQ(box.Run({"-t", "-l", "dasotpjihcl", "all.gb"}), (Run_Result{rows}));
  EXPECT_EQ(box.Run({"-r", "0", "-l", "d", "-"}, input), (Run_Result{fasta}));
  // A diagnostic carries the line as it is, NUL included.
  const std::string line = "SOURCE      s" + std::string(1, '\0') + "s";
  EXPECT_EQ(box.Run({"-"}, line + "\n"),
            (Run_Result{"", Fatal("TARVELO.GENBANK_FORMAT_ERROR", "STOP vs. ACCESSION : " + line),
                        1}));
}

// The reader holds one piece of a line at a time: a sequence line of 100 MB
// without a line feed costs no more memory than a short one.
TEST(Hostile, HundredMegabyteLineInBoundedMemory) {
  Sandbox box;
  constexpr std::size_t kLines = 1 << 20;  // of 100 bases each
  std::string bases, expected = ">Homo_sapiens_A1\n";
  for (int k = 0; k < 25; ++k) bases += "acgt";
  {
    std::ofstream file(box.Path("seq.gb"), std::ios::binary);
    file << kHead;
    for (std::size_t k = 0; k < kLines; ++k) file << bases;
  }
  const auto [status, peak_kb] =
      Sandbox::Wait(box.Start({"seq.gb"}, -1, box.Create("out"), box.Create("err")));
  EXPECT_EQ(status, 0);
  EXPECT_LT(peak_kb, 64 * 1024);
  EXPECT_EQ(box.Read("err"), "");
  for (std::size_t k = 0; k < kLines; ++k) expected += bases + "\n";
  EXPECT_TRUE(box.Read("out") == expected);
}

TEST(Hostile, StandardOutputClosedFullOrGone) {
  Sandbox box;
  std::string many, many_out;
  for (int k = 0; k < 20000; ++k) many += Record("A1"), many_out += Fasta("Homo_sapiens_A1");
  box.Write("many.gb", many);
  // Closed at start: the definitions file takes the place of neither standard
  // output nor standard error, and the failure still shows in the status.
  const std::string defs = "define(`A1',``Homo_sapiens_A1'')dnl\n";
  EXPECT_EQ(box.Run({"-m", "d.m4", "a.gb"}, "", {.out = ""}),
            (Run_Result{"", Fatal(kWriteError, "standard output: Bad file descriptor"), 1, defs}));
  EXPECT_EQ(box.Run({"-m", "d.m4", "a.gb"}, "", {.out = "", .err = ""}),
            (Run_Result{"", "", 1, defs}));
  // Full after more than one buffer of output.
  EXPECT_EQ(box.Run({"many.gb"}, "", {.out = "/dev/full"}),
            (Run_Result{"", Fatal(kWriteError, "standard output: No space left on device"), 1}));
  // A reader that goes away after its first read, as `| head -n 1` does:
  // SIGPIPE ends the run, or with SIGPIPE ignored the write error does. What
  // the reader took is the start of the output, unchanged.
  for (bool ignore : {false, true}) {
    int out[2];
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    const pid_t pid = box.Start({"many.gb"}, -1, out[1], box.Create("err"), TARVELO_BINARY, ignore);
    std::string taken(4096, '\0');
    taken.resize(std::max<ssize_t>(read(out[0], taken.data(), taken.size()), 0));
    close(out[0]);
    EXPECT_EQ(Sandbox::Wait(pid).first, ignore ? 1 : 128 + SIGPIPE);
    EXPECT_EQ(box.Read("err"), ignore ? Fatal(kWriteError, "standard output: Broken pipe") : "");
    EXPECT_TRUE(!taken.empty() && many_out.starts_with(taken)) << taken;
  }
}

// An input cut short while tarvelo reads it is converted up to the last whole
// line before the cut, and the run fails. The run is held by its
// full output pipe (up to 1 MiB), having read at most a few megabytes of the
// 10 MB input, when the input is cut in the middle.
TEST(Hostile, InputCutWhileRead) {
  Sandbox box;
  const std::string line =
      "        1 acgtacgtac gtacgtacgt acgtacgtac gtacgtacgt acgtacgtac gtacgtacgt\n";
  const std::string bases = "acgtacgtacgtacgtacgtacgtacgtacgtacgtacgtacgtacgtacgtacgtacgt\n";
  constexpr std::size_t kLines = 131072;
  std::string input = kHead, expected = ">Homo_sapiens_A1\n";
  for (std::size_t k = 0; k < kLines; ++k) input += line;
  for (std::size_t k = 0; k < kLines / 2; ++k) expected += bases;
  box.Write("big.gb", input);
  int out[2];
  ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
  const pid_t pid = box.Start({"big.gb"}, -1, out[1], box.Create("err"));
  int pending = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (ioctl(out[0], FIONREAD, &pending) == 0 && pending < 65536 &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_GE(pending, 65536);
  ASSERT_EQ(truncate(box.Path("big.gb").c_str(), kHead.size() + kLines / 2 * line.size() + 20), 0);
  std::string taken;
  char buffer[65536];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) taken.append(buffer, n);
  close(out[0]);
  EXPECT_EQ(Sandbox::Wait(pid).first, 1);
  EXPECT_EQ(box.Read("err"), Fatal("TARVELO.READ_FILE.READ_ERROR",
                                    "big.gb: the file was cut short while it was read"));
  EXPECT_TRUE(taken == expected) << taken.size() << " bytes";
}

// Standard output is never ahead of the definitions file: a reader that goes
// away in the middle of a record, or a run waiting to open a FIFO, finds the
// definitions of every record it got.
TEST(Hostile, DefinitionsFileNeverBehindStandardOutput) {
  Sandbox box;
  const std::string defs = "define(`A1',``Homo_sapiens_A1'')dnl\n";
  {
    std::ofstream file(box.Path("big.gb"), std::ios::binary);  // a FASTA of 4 MB, more than a pipe holds
    file << kHead;
    for (int k = 0; k < 200000; ++k) file << "        1 acgtacgtac gtacgtacgt\n";
  }
  int out[2];
  ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
  pid_t pid = box.Start({"-m", "d.m4", "big.gb"}, -1, out[1], box.Create("err"));
  char taken[4096];
  EXPECT_EQ(read(out[0], taken, sizeof taken), static_cast<ssize_t>(sizeof taken));
  close(out[0]);
  EXPECT_EQ(Sandbox::Wait(pid).first, 128 + SIGPIPE);
  EXPECT_EQ(box.Read("d.m4"), defs);
  // Opening a FIFO waits for a writer, which finds everything before it written.
  ASSERT_EQ(mkfifo(box.Path("fifo").c_str(), 0600), 0);
  pid = box.Start({"-m", "d.m4", "a.gb", "fifo"}, -1, box.Create("out"), box.Create("err"));
  const int writer = box.Open("fifo", O_WRONLY);
  EXPECT_EQ(box.Read("out"), ">A1\n" + kSeq);
  EXPECT_EQ(box.Read("d.m4"), defs);
  close(writer);
  EXPECT_EQ(Sandbox::Wait(pid).first, 0);
}

// A run called in-process closes its own copy of standard output, not the
// caller's descriptor.
TEST(Hostile, InProcessRunLeavesTheCallersDescriptorsOpen) {
  Sandbox box;
  const int out = box.Create("out"), err = box.Create("err");
  EXPECT_EQ(Run_Tarvelo("tarvelo", {box.Path("a.gb")}, {.in = -1, .out = out, .err = err}), 0);
  EXPECT_EQ(write(out, "x\n", 2), 2);
  close(out);
  close(err);
  EXPECT_EQ(box.Read("out"), Fasta("Homo_sapiens_A1") + "x\n");
}

}  // namespace
}  // namespace tarvelo_test
