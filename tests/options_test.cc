// End-to-end: every option, the right-to-left scan, invalid option use, the
// usage text, and the definitions file of -m.
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run_tarvelo.h"

namespace tarvelo_test {
namespace {

Run_Result Row(const std::string& row) { return {row + "\n"}; }

TEST(Options, EachSettingAndTheLeftmostWins) {
  Sandbox box;
  const std::vector<Case> cases = {
      // -r: only the first character of the value counts.
      {{"-l", "d", "-r", "0", "a.gb"}, {Fasta("TP53 (p53), 'x7'; a-b.c")}},
      {{"-l", "d", "-r", "12", "a.gb"}, {Fasta("TP53_(p53),_'x7';_a-b.c")}},
      {{"-l", "d", "-r", "2", "a.gb"}, {Fasta("TP53__p53____x7___a-b.c")}},
      {{"-l", "d", "-r", "3", "a.gb"}, {Fasta("TP53__p53____x7___a_b.c")}},
      {{"-l", "d", "-r", "4", "a.gb"}, {Fasta("TP53__p53____x7___a_b_c")}},
      {{"-l", "d", "-r", "5x", "a.gb"}, {Fasta("'TP53 (p53), ''x7''; a-b.c'")}},
      // An empty letter still gets its separator; letters outside a-z fail at
      // the first label, so an input without records ends well.
      {{"-l", "oba", "a.gb"}, {Fasta("Homo_sapiens__A1")}},
      {{"-l", "", "a.gb"}, {Fasta("")}},
      {{"-l", "-x", "a.gb"},
       {"", Fatal("TARVELO.PRINT_LABEL.SELECTION_ERROR", "Invalid label component."), 1}},
      {{"-l", "-x", "empty.gb"}, {}},
      {{"-u", "-", "-l", "u", "a.gb"}, {Fasta("-")}},
      {{"-l", "ia", "a.gb"}, {Fasta("9606_A1")}},  // the prefix T needs -m
      // The separator is never replaced.
      {{"-s", " ", "-l", "os", "a.gb"}, {Fasta("Homo_sapiens Homo_sapiens_(human)")}},
      {{"a.gb", "-t", "b.gb"}, Row("Homo sapiens\tA1\nHomo sapiens\tB2")},
      // The leftmost option wins, setting by setting.
      {{"-s", "x", "-t", "a.gb"}, Row("Homo sapiensxA1")},
      {{"-t", "-s", "x", "a.gb"}, Row("Homo sapiens\tA1")},
      {{"-r", "2", "-t", "-l", "s", "a.gb"}, Row("Homo_sapiens__human_")},
      {{"-t", "-r", "2", "-l", "s", "a.gb"}, Row("Homo sapiens (human)")},
      {{"-r", "5", "-t", "a.gb"}, Row("'Homo sapiens A1'")},
      {{"-t", "-r", "5", "a.gb"}, Row("Homo sapiens\tA1")},
      {{"-r", "1", "-r", "5", "-l", "ot", "a.gb"}, {Fasta("'Homo sapiens Eukaryota;_Primates.'")}},
      {{"-l", "a", "-l", "o", "a.gb"}, {Fasta("A1")}},
      // -u is cleaned, and takes its value, as the options to its right left them.
      {{"-u", "a b", "-r", "0", "-l", "u", "a.gb"}, {Fasta("a b")}},
      {{"-r", "0", "-u", "a b", "-l", "u", "a.gb"}, {Fasta("a_b")}},
      {{"-l", "u", "-u", "-t", "x", "a.gb"}, Row("x")},
  };
  for (const Case& c : cases) EXPECT_EQ(box.Run(c), c.expected) << testing::PrintToString(c.args);
}

TEST(Options, InvalidUseCreatesNothing) {
  Sandbox box;
  for (const Args& args : std::vector<Args>{{"-r", "7", "a.gb"},
                                            {"-r", "", "a.gb"},
                                            {"-s", "ab", "a.gb"},
                                            {"a.gb", "-l"},
                                            {"-r"},
                                            {"a.gb", "-l", "-u", "x"},
                                            {"-m", "d.m4", "-r", "7", "a.gb"}})
    EXPECT_EQ(box.Run(args), (Run_Result{"", Fatal("TARVELO.PARSE_ARGUMENTS.COMMAND_LINE_ERROR",
                                                   "Invalid argument."), 1}))
        << testing::PrintToString(args);
}

TEST(Usage, PrintedWithTheCommandNameWhenNoInputIsLeft) {
  const std::string text = R"(/x/t v converts GenBank to FASTA format.

Usage: /x/t v [options] inputfile(s)

Options:
  -l <List>  Select (order of) label components. Currently supported are:
      a  Accession number
      c  Country
      d  Definition (first line)
      f  Basename of the filename
      h  Specific host (if provided, "UNKNOWN" otherwise)
      i  Taxon ID
      j  Journal (first line)
      l  Latitude and longitude (if provided, "UNKNOWN" otherwise)
      o  Organism
      p  Authors (first line)
      s  Source
      t  Taxonomy
      u  User-specified string (see option -u)
    Default is "oa".
  -m  Print only accession in FASTA label to main output but print m4 macros
    defining accession as selected label to this file. If -l i... is selected,
    prepend "T".
  -o  Turn off format checking.
  -q  Quote macro expansion only once (consider setting replacement mode to 4!).
    Has to effect without -m.
  -r <Int>  Character replacement in labels. Currently supported are:
      0  None
      1  Blanks
      2  Newick-incompatible characters
      3  NEXUS-incompatible characters
      4  Everything except letters and digits
      5  None, enclose in "'" and use blank as separator.
    Default is 1. Replacement is always by "_" and does not affect the separator.
  -s <Char>  Separator between label components. Default is "_". Overwrites -r 4
    and -t if specified beforehand.
  -t  Output is tab-separated CSV-Format, not FASTA. Character replacement is
    set to "None" (overwritten if -r is specified beforehand).
  -u  String to be included in taxon labels (subject to character replacement if
    specified before -r).

)";
  Sandbox box;
  for (const Args& args : {Args{}, Args{"-t", "-m", "d.m4", "-l", "xyz"}}) {
    Run_Result r = box.Run(args, "", {}, "/x/t v");
    // Then a line of credits and an empty line.
    const std::size_t credits_end = std::min(r.err.find('\n', text.size() + 1), r.err.size());
    EXPECT_EQ(r.err.substr(0, text.size()) + r.err.substr(credits_end), text + "\n\n") << r.err;
    r.err.clear();
    EXPECT_EQ(r, (Run_Result{"", "", 1}));  // and no definitions file
  }
}

TEST(Definitions, OneLinePerRecordInAFileThatIsNoInput) {
  Sandbox box;
  box.Write("m.gb", Record("M.1"));
  box.Write("d.m4", "old text\n");
  ASSERT_EQ(symlink("a.gb", box.Path("soft.gb").c_str()), 0);
  const std::string a = ">A1\n" + kSeq, homo = "define(`A1',``Homo_sapiens_A1'')dnl\n";
  const std::vector<Case> cases = {
      {{"-m", "d.m4", "a.gb"}, {a, "", 0, homo}},
      {{"-q", "-m", "d.m4", "a.gb"}, {a, "", 0, "define(`A1',`Homo_sapiens_A1')dnl\n"}},
      {{"-r", "5", "-m", "d.m4", "a.gb"},
       {a, "", 0, "define(`A1',``'''``Homo sapiens A1'''``'')dnl\n"}},
      {{"-l", "ia", "-m", "d.m4", "a.gb"}, {a, "", 0, "define(`A1',``T9606_A1'')dnl\n"}},
      {{"-l", "ai", "-m", "d.m4", "a.gb"}, {a, "", 0, "define(`A1',``A1_9606'')dnl\n"}},
      {{"-m", "d.m4", "-t", "a.gb", "-", "b.gb"},
       {"A1\nC3\nB2\n", "", 0,
        "define(`A1',``Homo sapiens\tA1'')dnl\ndefine(`C3',``Homo sapiens\tC3'')dnl\n"
        "define(`B2',``Homo sapiens\tB2'')dnl\n"},
       Record("C3")},
      {{"-m", "d.m4", "a.gb", "m.gb", "b.gb"},
       {a, Fatal("TEXTUTILS.M4UTILS.INVALID_MACRO_NAME", "\"M.1\""), 1, homo}},
      {{"-m", "d.m4", "-m", "y.m4", "a.gb"}, {a, "", 0, homo}},
      // Created before the first input is opened, and never one of the inputs
      // (".in" is standard input).
      {{"-m", "d.m4", "missing.gb", "a.gb"}, {"", kInvalidFilename, 1, ""}},
      {{"-m", "out/d.m4", "a.gb"}, {"", kInvalidFilename, 1}},
      {{"-m", "", "a.gb"}, {"", kInvalidFilename, 1}},
      {{"-m", "soft.gb", "a.gb"}, {"", kInvalidFilename, 1}},
      {{"-m", ".in", "empty.gb", "-"}, {"", kInvalidFilename, 1}, Record("C3")},
      {{"-m", ".in", "a.gb"}, {a}, Record("C3")},  // standard input that is not read
      // Standard output never gets ahead of the definitions.
      {{"-m", "/dev/full", "a.gb"},
       {"", Fatal("TARVELO.OUTPUT.WRITE_ERROR", "/dev/full: No space left on device"), 1}},
  };
  for (const Case& c : cases) EXPECT_EQ(box.Run(c), c.expected) << testing::PrintToString(c.args);
  EXPECT_EQ(box.Read("a.gb"), Record("A1"));
  EXPECT_FALSE(std::filesystem::exists(box.Path("y.m4")));
}

// No run reads a file that it writes: the definitions file, or standard output
// when that is a regular file. A refused input ends the run at its turn.
TEST(Definitions, NoInputIsAFileTheRunWrites) {
  Sandbox box;
  const std::string a = Fasta("Homo_sapiens_A1");
  const std::string homo = "define(`A1',``Homo_sapiens_A1'')dnl\n";
  const std::vector<Case> cases = {
      {{"-m", "d.m4", "a.gb", "d.m4"}, {">A1\n" + kSeq, kInvalidFilename, 1, homo}},
      {{"-m", "d.m4", "d.m4"}, {"", kInvalidFilename, 1, ""}},
      {{"a.gb", ".out", "b.gb"}, {a, kInvalidFilename, 1}},
      {{"-m", ".out", "a.gb"}, {"", kInvalidFilename, 1}},
  };
  for (const Case& c : cases) EXPECT_EQ(box.Run(c), c.expected) << testing::PrintToString(c.args);
  // A device may be both; /dev/stdin with standard input closed fails as "-" does.
  EXPECT_EQ(box.Run({"/dev/null", "a.gb"}, "", {.in = "/dev/null", .out = "/dev/null"}),
            (Run_Result{}));
  EXPECT_EQ(box.Run({"a.gb", "/dev/stdin"}, "", {.in = ""}),
            (Run_Result{a, Fatal("TARVELO.READ_FILE.READ_ERROR", "standard input: Bad file descriptor"),
                        1}));
}

}  // namespace
}  // namespace tarvelo_test
