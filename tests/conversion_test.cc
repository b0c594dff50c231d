// End-to-end: records to FASTA, the inputs in command-line order, and how an
// input that cannot be opened, read or converted ends the run.
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
  box.Write("bad.gb", "DEFINITION  x\n");
  const std::string a = Fasta("Homo_sapiens_A1");
  const std::vector<Case> cases = {
      {{TARVELO_SOURCE_DIR "/sample/sample.gb"}, {R"(>dengue_virus_type_2_OQ584102
ggcgggacgaatggacaacgacggttctgtcagggtccctatagtgatacaggcagaccg
gtacaggatgcacggtttaagccttccgaatgtagagcccgcgtgaattggctcaggcct
tgcttacaagcggctatcaagatgcatgccgtacaagcgagtggggcctgcgatgtactt
gggctttgggaaaacatagtcggacaagcctgcatgattgtattgtatagctggggcctt
>Klebsiella_pneumoniae_CP104871
ctgtcctccgaccatataacgcattaggtacccatgatggctgacgcaggcctgaatctg
ccgtccacttgtgaaatatatagattaatatcagcacgactgataggtaactttagggaa
acgccggagttaagattgtgccagttccgacagcgacagataggtgggttgtccttaggc
cgctattcgtttgggcttatacccgcgggcctatctagaccgaaagagttacgcgctaag
cctgggcaagatcaagagctgtgcaaacagaaagaatgcatcagagtcatacctagtacg
>Pinus_muricata_MN512946
gaaacccacggtgagggtacacggcgcgtatatacacgggcgaacagactcttcgaggtt
cctcttggtgcactagcggaccccgggcatggcctaccagaagcacaatctcagttgagc
tctttaagtagtggacagtcgagtgtctggcttgggagcaatctcgttgggtccagatat
>Saccharomyces_cerevisiae_S288C_NP013218
mvdyekkqptcaqymtgnssmyvwwprsqhlyietcdttnvnvmkdmsylkervmyqrwp
caknakpepragdrlhkclnkmperhywqyvsrvnhepwpcisqtavfq
)"}},
      // 'f' is the base name without its last extension, cleaned, or STDIN;
      // standard input read a second time is exhausted.
      {{"-l", "fa", "dir/my x.y.gb", "-", "empty.gb", "b.gb", "-"},
       {Fasta("my_x.y_C3") + Fasta("STDIN_A1") + Fasta("b_B2")}, Record("A1")},
      // Only "-" followed by one known letter is an option: -x and -lao are input names.
      {{"-x"}, {Fasta("Homo_sapiens_D4")}},
      {{"a.gb", "-lao", "b.gb"}, {a, kInvalidFilename, 1}},
      {{"a.gb", "missing.gb", "b.gb"}, {a, kInvalidFilename, 1}},
      {{"a.gb", "dir", "b.gb"}, {a, kInvalidFilename, 1}},
      {{"a.gb", "bad.gb", "b.gb"},
       {a, Fatal("TARVELO.GENBANK_FORMAT_ERROR", "STOP vs. START : DEFINITION  x"), 1}},
  };
  for (const Case& c : cases) EXPECT_EQ(box.Run(c), c.expected) << testing::PrintToString(c.args);
  EXPECT_EQ(box.Run({"a.gb", "-"}, "", {.in = "dir"}),
            (Run_Result{a, Fatal("TARVELO.READ_FILE.READ_ERROR", "standard input: Is a directory"),
                        1}));
}

// Compressed input is told by its content, named or on standard input.
TEST(Conversion, GzipInputNamedOrOnStandardInput) {
  Sandbox box;
  box.Write("x.gz", kGzip);
  box.Write("cut.gz", kGzip.substr(0, 10));
  EXPECT_EQ(box.Run({"-o", "x.gz", "-"}, kGzip), (Run_Result{">_\nac\n>_\nac\n"}));
  EXPECT_EQ(box.Run({"a.gb", "cut.gz", "b.gb"}),
            (Run_Result{Fasta("Homo_sapiens_A1"), Fatal("TARVELO.READ_FILE.DECOMPRESSION_ERROR",
                                                        "cut.gz: truncated compressed data"), 1}));
}

}  // namespace
}  // namespace tarvelo_test
