// End-to-end: the options, scanned right to left so that the leftmost wins,
// their invalid use, the usage text, and the definitions file of -m.
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run_tarvelo.h"

namespace tarvelo_test {
namespace {

Run_Result Row(const std::string& row) { return {row + "\n"}; }

TEST(Options, EachSettingTheLeftmostWinsAndInvalidUseCreatesNothing) {
  Sandbox box;
  const std::string invalid =
      Fatal("TARVELO.PARSE_ARGUMENTS.COMMAND_LINE_ERROR", "Invalid argument.");
  const std::vector<Case> cases = {
      // -r: only the first character counts; an empty letter keeps its separator.
      {{"-l", "d", "-r", "0", "a.gb"}, {Fasta("TP53 (p53), 'x7'; a-b.c")}},
      {{"-l", "dba", "-r", "12", "a.gb"}, {Fasta("TP53_(p53),_'x7';_a-b.c__A1")}},
      {{"-l", "di", "-r", "2", "a.gb"}, {Fasta("TP53__p53____x7___a-b.c_9606")}},
      {{"-l", "d", "-r", "3", "a.gb"}, {Fasta("TP53__p53____x7___a_b.c")}},
      {{"-l", "d", "-r", "4", "a.gb"}, {Fasta("TP53__p53____x7___a_b_c")}},
      {{"-l", "d", "-r", "5x", "a.gb"}, {Fasta("'TP53 (p53), ''x7''; a-b.c'")}},
      // An empty list is an empty label.
      {{"-l", "", "a.gb"}, {Fasta("")}},
      // The separator is never replaced; the leftmost of -s, -t and -r wins.
      {{"-s", " ", "-l", "os", "a.gb"}, {Fasta("Homo_sapiens Homo_sapiens_(human)")}},
      {{"a.gb", "-t", "b.gb"}, Row("Homo sapiens\tA1\nHomo sapiens\tB2")},
      {{"-s", "x", "-r", "2", "-t", "-l", "sa", "a.gb"}, Row("Homo_sapiens__human_xA1")},
      {{"-t", "-r", "5", "-s", "x", "-l", "sa", "a.gb"}, Row("Homo sapiens (human)\tA1")},
      {{"-r", "5", "-t", "a.gb"}, Row("'Homo sapiens A1'")},
      {{"-r", "1", "-r", "5", "-l", "ot", "-l", "a", "a.gb"},
       {Fasta("'Homo sapiens Eukaryota;_Primates.'")}},
      // -u takes any value, cleaned as the options to its right left them.
      {{"-u", "a b", "-r", "0", "-l", "uz", "a.gb"}, {Fasta("a b_")}},
      {{"-r", "0", "-u", "-  b", "-l", "u", "a.gb"}, {Fasta("-__b")}},
      {{"-l", "u", "-u", "-t", "x", "a.gb"}, Row("x")},
      // Only "-" and one known letter is an option: -lao is an input name.
      {{"a.gb", "-lao", "b.gb"}, {Fasta("Homo_sapiens_A1"), kInvalidFilename, 1}},
      {{"-r", "", "a.gb"}, {"", invalid, 1}},
      {{"-s", "ab", "a.gb"}, {"", invalid, 1}},
      {{"a.gb", "-l", "-u", "x"}, {"", invalid, 1}},
      {{"-m", "d.m4", "-r", "7", "a.gb"}, {"", invalid, 1}},
  };
  for (const Case& c : cases) EXPECT_EQ(box.Run(c), c.expected) << testing::PrintToString(c.args);
}

// The usage text goes to standard error, names the command as it was called
// and is otherwise fixed: 43 lines, compared whole through their digest (the
// text is printed in full when it changes).
TEST(Usage, PrintedWithTheCommandNameWhenNoInputIsLeft) {
  Sandbox box;
  for (const Args& args : {Args{}, Args{"-t", "-m", "d.m4", "-l", "xyz"}}) {
    const Run_Result r = box.Run(args, "", {}, "/x/t v");
    std::uint64_t digest = 14695981039346656037u;  // FNV-1a
    for (unsigned char c : r.err) digest = (digest ^ c) * 1099511628211u;
    EXPECT_EQ(std::tuple(r.out, r.status, r.defs, std::count(r.err.begin(), r.err.end(), '\n')),
              std::tuple("", 1, std::nullopt, 43));
    EXPECT_TRUE(r.err.starts_with("/x/t v converts GenBank to FASTA format.\n\n"
                                  "Usage: /x/t v [options] inputfile(s)\n\nOptions:\n"));
    EXPECT_EQ(digest, 801951946263071024u) << r.err;
  }
}

// One definition per record, in a file that is created before the first input
// is opened and is none of the inputs, nor standard output.
TEST(Definitions, OneLinePerRecordInAFileThatIsNoInput) {
  Sandbox box;
  box.Write("m.gb", Record("A1") + Record("M.1"));
  box.Write("d.m4", "old text\n");
  std::string today = Record("T1");
  today.insert(today.find("ORIGIN"), std::string(21, ' ') + "/host=\"Bos taurus\"\n" + std::string(21, ' ') +
                                         "/geo_loc_name=\"Peru: Lima\"\n");
  box.Write("today.gb", today);
  ASSERT_EQ(symlink("a.gb", box.Path("soft.gb").c_str()), 0);
  const std::string a = Fasta("A1"), homo = "define(`A1',``Homo_sapiens_A1'')dnl\n";
  const std::vector<Case> cases = {
      {{"-q", "-m", "d.m4", "-m", "y.m4", "a.gb"},
       {a, "", 0, "define(`A1',`Homo_sapiens_A1')dnl\n"}},
      {{"-r", "5", "-l", "ia", "-m", "d.m4", "a.gb"},
       {a, "", 0, "define(`A1',``'''``T9606 A1'''``'')dnl\n"}},
      {{"-m", "d.m4", "-t", "a.gb", "-", "b.gb"},
       {"A1\nC3\nB2\n", "", 0,
        "define(`A1',``Homo sapiens\tA1'')dnl\ndefine(`C3',``Homo sapiens\tC3'')dnl\n"
        "define(`B2',``Homo sapiens\tB2'')dnl\n"},
       Record("C3")},
      // Today's host and country qualifiers in rows and definitions, UNKNOWN
      // in the record that lacks them.
      {{"-m", "d.m4", "-t", "-l", "hcl", "today.gb", "a.gb"},
       {"T1\nA1\n", "", 0,
        "define(`T1',``Bos taurus\tPeru: Lima\tUNKNOWN'')dnl\ndefine(`A1',``UNKNOWN\tUNKNOWN\tUNKNOWN'')dnl\n"}},
      {{"-m", "d.m4", "m.gb", "b.gb"},
       {a, Fatal("TEXTUTILS.M4UTILS.INVALID_MACRO_NAME", "\"M.1\""), 1, homo}},
      // Letters outside a-z fail at the first label.
      {{"-m", "d.m4", "-l", "-", "a.gb"},
       {"", Fatal("TARVELO.PRINT_LABEL.SELECTION_ERROR", "Invalid label component."), 1, ""}},
      {{"-m", "d.m4", "missing.gb", "a.gb"}, {"", kInvalidFilename, 1, ""}},
      {{"-m", "d.m4", "a.gb", "d.m4"}, {a, kInvalidFilename, 1, homo}},
      {{"-m", "out/d.m4", "a.gb"}, {"", kInvalidFilename, 1}},
      {{"-m", "soft.gb", "a.gb"}, {"", kInvalidFilename, 1}},
      {{"-m", ".in", "empty.gb", "-"}, {"", kInvalidFilename, 1}, Record("C3")},
      {{"-m", ".in", "a.gb"}, {a}, Record("C3")},  // standard input that is not read
      {{"-m", ".out", "a.gb"}, {"", kInvalidFilename, 1}},
      {{"a.gb", ".out", "b.gb"}, {Fasta("Homo_sapiens_A1"), kInvalidFilename, 1}},
      // Standard output never gets ahead of the definitions.
      {{"-m", "/dev/full", "a.gb"},
       {"", Fatal("TARVELO.OUTPUT.WRITE_ERROR", "/dev/full: No space left on device"), 1}},
  };
  for (const Case& c : cases) EXPECT_EQ(box.Run(c), c.expected) << testing::PrintToString(c.args);
  EXPECT_EQ(box.Read("a.gb"), Record("A1"));
  EXPECT_FALSE(std::filesystem::exists(box.Path("y.m4")));
  // A device may be both input and output.
  EXPECT_EQ(box.Run({"/dev/null", "a.gb"}, "", {.in = "/dev/null", .out = "/dev/null"}),
            (Run_Result{}));
}

}  // namespace
}  // namespace tarvelo_test
