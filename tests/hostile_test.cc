// End-to-end: hostile inputs and faulty conditions. A line far longer than
// memory should hold and cut short while it is read, and standard streams that
// are closed, full or gone.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "driver/run.h"
#include "run_tarvelo.h"

namespace tarvelo_test {
namespace {

const std::string kWriteError = "TARVELO.OUTPUT.WRITE_ERROR";
const std::string kDefs = "define(`A1',``Homo_sapiens_A1'')dnl\n";

// Whether Done becomes true within 10 seconds of waiting for another process.
template <class Predicate>
bool Within_10_Seconds(Predicate done) {
  for (int k = 0; k < 2000 && !done(); ++k)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return done();
}

// A sequence line of 100 MB without a line feed, held in memory one piece at
// a time, cut to 50 MB while it is read: the output ends with the last whole
// piece before the cut and the run fails; once standard output blocks, the
// definitions of what it holds are written.
TEST(Hostile, HundredMegabyteLineCutWhileRead) {
  Sandbox box;
  std::string bases;
  for (int k = 0; k < 25; ++k) bases += "acgt";
  const std::string head = Record("A1").substr(0, Record("A1").find("ORIGIN\n") + 7);
  // Read on every processor (stretches of the file side by side) and on one
  // (one read after another).
  for (bool one_processor : {false, true}) {
    {
      std::ofstream file(box.Path("seq.gb"), std::ios::binary);
      file << head;
      for (int k = 0; k < 1 << 20; ++k) file << bases;
    }
    int out[2];
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    std::optional<On_One_Processor> one;
    if (one_processor) one.emplace();
    const pid_t pid = box.Start({"-m", "d.m4", "seq.gb"}, -1, out[1], box.Open("err", true));
    one.reset();
    int pending = 0;
    ASSERT_TRUE(Within_10_Seconds([&] {
      return ioctl(out[0], FIONREAD, &pending) == 0 && pending > fcntl(out[0], F_GETPIPE_SZ) / 2;
    }));
    EXPECT_EQ(box.Read("d.m4"), kDefs);
    ASSERT_EQ(truncate(box.Path("seq.gb").c_str(), head.size() + (1 << 19) * 100 + 20), 0);
    // The output is checked as it comes, not held: memory that this process
    // holds counts in the peak of the next run it starts.
    const std::string head_line = ">A1\n", line = bases + "\n";
    std::size_t taken = 0;
    bool as_expected = true;
    char buffer[65536];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0; taken += n)
      for (ssize_t k = 0; k < n; ++k) {
        const std::size_t at = taken + k;
        as_expected &= buffer[k] == (at < head_line.size() ? head_line[at] : line[(at - head_line.size()) % line.size()]);
      }
    close(out[0]);
    const auto [status, peak_kb] = Sandbox::Wait(pid);
    // Peak memory counts the pages a child shares with this process until exec.
    EXPECT_EQ(std::tuple(status, peak_kb < 64 * 1024, box.Read("err")),
              std::tuple(1, true, Fatal("TARVELO.READ_FILE.READ_ERROR",
                                        "seq.gb: the file was cut short while it was read")));
    EXPECT_TRUE(as_expected && taken == head_line.size() + line.size() * (1 << 19)) << taken << " bytes";
  }
  // While opening a FIFO waits for a writer, all that comes before is written.
  ASSERT_EQ(mkfifo(box.Path("fifo").c_str(), 0600), 0);
  const pid_t fifo_run =
      box.Start({"-m", "d.m4", "a.gb", "fifo"}, -1, box.Open("out", true), box.Open("err", true));
  EXPECT_TRUE(
      Within_10_Seconds([&] { return box.Read("out") + box.Read("d.m4") == Fasta("A1") + kDefs; }));
  const int writer = box.Open("fifo", true);
  close(writer);
  EXPECT_EQ(Sandbox::Wait(fifo_run).first, 0);
}

// Closed at start, full when the run ends, or a reader that goes away after its
// first read as `| head -n 1` does, more than one buffer into the output: the
// failure shows in the status (SIGPIPE, or the write error when SIGPIPE is
// ignored), what was taken is the start of the output, and the definitions
// file takes the place of neither standard output nor standard error.
TEST(Hostile, StandardStreamsClosedFullOrGone) {
  Sandbox box;
  std::string many, many_out;
  for (int k = 0; k < 100000; ++k) many += Record("A1"), many_out += Fasta("Homo_sapiens_A1");
  box.Write("many.gb", many);
  box.Write("bad.gb", Record("A1") + "DEFINITION  x\n");
  const std::string a = Fasta("Homo_sapiens_A1");
  const struct {
    Args args;
    Streams streams;
    Run_Result expected;
  } cases[] = {
      {{"-m", "d.m4", "a.gb"},
       {.out = ""},
       {"", Fatal(kWriteError, "standard output: Bad file descriptor"), 1, kDefs}},
      {{"-m", "d.m4", "a.gb"}, {.out = "", .err = ""}, {"", "", 1, kDefs}},
      {{"bad.gb"},
       {.out = "/dev/full"},
       {"",
        Fatal("TARVELO.GENBANK_FORMAT_ERROR", "STOP vs. START : DEFINITION  x") +
            Fatal(kWriteError, "standard output: No space left on device"),
        1}},
      {{"a.gb", "/dev/stdin"},
       {.in = ""},
       {a, Fatal("TARVELO.READ_FILE.READ_ERROR", "standard input: Bad file descriptor"), 1}},
      {{"a.gb", "-"},
       {.in = "dir"},
       {a, Fatal("TARVELO.READ_FILE.READ_ERROR", "standard input: Is a directory"), 1}},
  };
  for (const auto& c : cases) EXPECT_EQ(box.Run(c.args, "", c.streams), c.expected) << c.args[0];
  for (bool ignore : {false, true}) {
    int out[2];
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    const pid_t pid =
        box.Start({"many.gb"}, -1, out[1], box.Open("err", true), TARVELO_BINARY, ignore);
    std::string taken(4096, '\0');
    taken.resize(std::max<ssize_t>(read(out[0], taken.data(), taken.size()), 0));
    close(out[0]);
    EXPECT_EQ(Sandbox::Wait(pid).first, ignore ? 1 : 128 + SIGPIPE);
    EXPECT_EQ(box.Read("err"), ignore ? Fatal(kWriteError, "standard output: Broken pipe") : "");
    EXPECT_TRUE(!taken.empty() && many_out.starts_with(taken)) << taken;
  }
  // Standard output named as an input, as a pipe: reading it back would wait
  // for ever on the pipe the run holds open itself.
  for (const char* name : {"/dev/stdout", "/proc/self/fd/1"}) {
    int out[2];
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    const pid_t pid = box.Start({"a.gb", name, "b.gb"}, -1, out[1], box.Open("err", true));
    std::string taken;
    char buffer[4096];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) taken.append(buffer, n);
    close(out[0]);
    EXPECT_EQ(std::tuple(Sandbox::Wait(pid).first, taken, box.Read("err")), std::tuple(1, a, kInvalidFilename));
  }
  // A run called in-process closes its own copy of standard output, not the caller's.
  const int out = box.Open("out", true);
  EXPECT_EQ(Run_Tarvelo("tarvelo", {box.Path("a.gb")}, {.in = -1, .out = out, .err = 2}), 0);
  EXPECT_EQ(write(out, "x\n", 2), 2);
  close(out);
  EXPECT_EQ(box.Read("out"), a + "x\n");
}

}  // namespace
}  // namespace tarvelo_test
