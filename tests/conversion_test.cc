// End-to-end: records to FASTA, the inputs in command-line order, compressed
// or not, and how an input that cannot be opened, read or converted ends the run.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run_tarvelo.h"

namespace tarvelo_test {
namespace {

// "ORIGIN\n 1 ac\n//\n" as one gzip member.
const std::string kGzip(
    "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xf3\x0f\xf2\x74\xf7\xf4\xe3\x52\x30\x54\x48\x4c"
    "\xe6\xd2\xd7\xe7\x02\x00\x41\x36\x83\xcc\x10\x00\x00\x00", 36);

TEST(Conversion, InputsInCommandLineOrderUntilTheFirstFailure) {
  Sandbox box;
  box.Write("dir/my x.y.gb", Record("C3"));
  box.Write("-x", Record("D4"));
  // A diagnostic carries the line as it is, NUL included.
  const std::string bad_line("DEFINITION  x\0y", 15);
  box.Write("bad.gb", Record("A1") + bad_line + "\n");
  box.Write("x.gz", kGzip);
  box.Write("cut.gz", kGzip.substr(0, 10));
  const std::string a = Fasta("Homo_sapiens_A1");
  const std::vector<Case> cases = {
      // 'f' is the base name without its last extension, cleaned, or STDIN;
      // standard input read a second time is exhausted.
      {{"-l", "fa", "dir/my x.y.gb", "-", "empty.gb", "b.gb", "-"},
       {Fasta("my_x.y_C3") + Fasta("STDIN_A1") + Fasta("b_B2")}, Record("A1")},
      // Compressed input is told by its content; -x is an input name, not an option.
      {{"-o", "x.gz", "-", "-x"}, {">_\nac\n>_\nac\n" + Fasta("Homo_sapiens_D4")}, kGzip},
      {{"a.gb", "missing.gb", "b.gb"}, {a, kInvalidFilename, 1}},
      {{"a.gb", "dir", "b.gb"}, {a, kInvalidFilename, 1}},
      {{"bad.gb", "b.gb"},
       {a, Fatal("TARVELO.GENBANK_FORMAT_ERROR", "STOP vs. START : " + bad_line), 1}},
      {{"a.gb", "cut.gz", "b.gb"},
       {a, Fatal("TARVELO.READ_FILE.DECOMPRESSION_ERROR", "cut.gz: truncated compressed data"), 1}},
  };
  for (const Case& c : cases) EXPECT_EQ(box.Run(c), c.expected) << testing::PrintToString(c.args);
}

// With format checking on, a run may not end inside a record: what was read
// is written, then the run fails, naming the last input. A record may go on
// into the next input; one that has its "//" but no sequence (a CON record)
// is complete; -o keeps quiet.
TEST(Conversion, ARunThatEndsInsideARecordFails) {
  Sandbox box;
  const std::string c3 = Record("C3");
  const std::size_t origin = c3.find("ORIGIN");
  const std::size_t line = c3.find("gatc");
  box.Write("head.gb", c3.substr(0, origin));
  box.Write("tail.gb", c3.substr(origin));
  box.Write("con.gb", c3.substr(0, origin) + "CONTIG      join(A1:1..20)\n//\n");
  const std::string cut = c3.substr(0, line + 10);
  const auto cut_in = [](const std::string& name) {
    return Fatal("TARVELO.READ_FILE.END_ERROR", name + ": input ends inside a record");
  };
  const std::vector<Case> cases = {
      {{"a.gb", "head.gb"}, {Fasta("Homo_sapiens_A1"), cut_in("head.gb"), 1}},
      {{"a.gb", "-"}, {Fasta("Homo_sapiens_A1") + ">Homo_sapiens_C3\ngatcctccat\n", cut_in("standard input"), 1}, cut},
      {{"head.gb", "empty.gb"}, {"", cut_in("empty.gb"), 1}},
      {{"head.gb", "tail.gb", "b.gb"}, {Fasta("Homo_sapiens_C3") + Fasta("Homo_sapiens_B2")}},
      {{"con.gb", "a.gb"}, {"", Fatal("TARVELO.GENBANK_FORMAT_ERROR", "TAXON_ID vs. STOP : LOCUS       A1"), 1}},
      {{"a.gb", "con.gb"}, {Fasta("Homo_sapiens_A1")}},
      {{"-o", "head.gb"}, {}},
      {{"-o", "-"}, {">Homo_sapiens_C3\ngatcctccat\n"}, cut},
  };
  for (const Case& c : cases) EXPECT_EQ(box.Run(c), c.expected) << testing::PrintToString(c.args);
}

// A file large enough to be converted on every processor gives what it
// gives on one, as a named input and as standard input read twice, also when
// it fails, ends inside a record or holds a record longer than a chunk.
TEST(Conversion, EveryProcessorGivesWhatOneGives) {
  Sandbox box;
  std::string many;
  for (int k = 0; many.size() < (5 << 20); ++k) many += Record("R" + std::to_string(k));
  box.Write("many.gb", many);
  box.Write("bad.gb", many + Record("B1").substr(0, 40) + "\n" + many);
  box.Write("cut.gb", many.substr(0, many.size() - 30));
  // A record longer than a chunk may be, between short ones.
  std::string line = "       1";
  for (int k = 0; k < 6; ++k) line += " acgtacgtac";
  std::string long_record = Record("L1");
  std::string lines;
  for (int k = 0; k < 70000; ++k) lines += line + "\n";
  long_record.insert(long_record.find("ORIGIN\n") + 7, lines);
  box.Write("long.gb", many.substr(0, 3 << 20) + long_record + many);
  const std::vector<Args> runs = {
      {"many.gb"}, {"-t", "-l", "af", "-", "-"}, {"-m", "d.m4", "-l", "ia", "many.gb", "a.gb"},
      {"bad.gb", "a.gb"}, {"-o", "bad.gb"}, {"cut.gb"}, {"long.gb"}};
  for (const Args& args : runs) {
    const Run_Result on_every = box.Run(args, many);
    Run_Result on_one;
    {
      const On_One_Processor one;
      on_one = box.Run(args, many);
    }
    // Compared whole, but shown short: the outputs are megabytes long.
    EXPECT_TRUE(on_one == on_every) << testing::PrintToString(args) << ": " << on_one.out.size() << " bytes, "
                                    << on_one.status << " " << on_one.err << " / " << on_every.out.size()
                                    << " bytes, " << on_every.status << " " << on_every.err;
  }
}

}  // namespace
}  // namespace tarvelo_test
