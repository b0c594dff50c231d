// End-to-end: the m4 definitions file of -m, its safety rules, and a round
// trip through GNU m4.
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fixtures.h"
#include "run_tarvelo.h"

namespace tarvelo_test {
namespace {

using Args = std::vector<std::string>;

const std::string kHumanAccessionOut = ">AJ012345\n" + kHumanSeq;

TEST(Definitions, OneLinePerRecord) {
  Sandbox box;
  box.Write("a.gb", kHuman);
  box.Write("b.gb", kDuck);
  struct Case {
    Args options;
    std::string out, definitions;
  };
  const std::vector<Case> cases = {
      {{}, kHumanAccessionOut, "define(`AJ012345',``Homo_sapiens_AJ012345'')dnl\n"},
      {{"-q"}, kHumanAccessionOut, "define(`AJ012345',`Homo_sapiens_AJ012345')dnl\n"},
      {{"-r", "5"}, kHumanAccessionOut, "define(`AJ012345',``'''``Homo sapiens AJ012345'''``'')dnl\n"},
      {{"-q", "-r", "5"}, kHumanAccessionOut, "define(`AJ012345',`''`Homo sapiens AJ012345''`')dnl\n"},
      {{"-t"}, "AJ012345\n", "define(`AJ012345',``Homo sapiens\tAJ012345'')dnl\n"},
      {{"-l", "ia"}, kHumanAccessionOut, "define(`AJ012345',``T9606_AJ012345'')dnl\n"},
      {{"-l", "ai"}, kHumanAccessionOut, "define(`AJ012345',``AJ012345_9606'')dnl\n"},
      {{"-l", ""}, kHumanAccessionOut, "define(`AJ012345',``'')dnl\n"},
      // Backquotes become apostrophes; each apostrophe is requoted.
      {{"-l", "d"}, kHumanAccessionOut,
       "define(`AJ012345',``TP53_(p53),_clone_'''``x7'''``;_a-b+c_[1]/{2}\\=*\"'''``<>:.!'')dnl\n"},
  };
  for (const Case& c : cases) {
    Args args = c.options;
    for (const char* more : {"-m", "d.m4", "a.gb"}) args.push_back(more);
    EXPECT_EQ(box.Run(args), (Run_Result{c.out, "", 0})) << testing::PrintToString(c.options);
    EXPECT_EQ(box.Read("d.m4"), c.definitions) << testing::PrintToString(c.options);
  }
  // The taxon prefix needs -m.
  EXPECT_EQ(box.Run({"-l", "ia", "a.gb"}), (Run_Result{">9606_AJ012345\n" + kHumanSeq, "", 0}));
  // All inputs write into the one file, which replaces an existing one.
  box.Write("d.m4", "old text that must go\n");
  EXPECT_EQ(box.Run({"-m", "d.m4", "-t", "a.gb", "-", "b.gb"}, kDuck),
            (Run_Result{"AJ012345\nMK000002\nMK000002\n", "", 0}));
  const std::string duck =
      "define(`MK000002',``Influenza A virus (A/duck/Kyoto/1/2019(H5N1))\tMK000002'')dnl\n";
  EXPECT_EQ(box.Read("d.m4"), "define(`AJ012345',``Homo sapiens\tAJ012345'')dnl\n" + duck + duck);
  // The leftmost -m wins; the other file is not created.
  EXPECT_EQ(box.Run({"-m", "x.m4", "-m", "y.m4", "b.gb"}), (Run_Result{">MK000002\nagcaaaagcagg\n", "", 0}));
  EXPECT_TRUE(box.Exists("x.m4"));
  EXPECT_FALSE(box.Exists("y.m4"));
}

TEST(Definitions, InvalidMacroNameStopsAtThatRecord) {
  Sandbox box;
  box.Write("a.gb", kHuman + Replace(kDuck, "ACCESSION   MK000002", "ACCESSION   MK 0.2") + kHuman);
  EXPECT_EQ(box.Run({"-m", "d.m4", "a.gb"}),
            (Run_Result{kHumanAccessionOut, Fatal("TEXTUTILS.M4UTILS.INVALID_MACRO_NAME", "\"MK0.2\""), 1}));
  EXPECT_EQ(box.Read("d.m4"), "define(`AJ012345',``Homo_sapiens_AJ012345'')dnl\n");
  EXPECT_EQ(box.Run({"-m", "d.m4", "-l", "oA", "a.gb"}),  // a bad label list writes nothing either
            (Run_Result{"", Fatal("TARVELO.PRINT_LABEL.SELECTION_ERROR", "Invalid label component."), 1}));
  EXPECT_EQ(box.Read("d.m4"), "");
  for (const auto& [accession, name] : {std::pair{"1_MK", "1MK"}, std::pair{" _ ", ""}}) {
    box.Write("b.gb", Replace(kDuck, "ACCESSION   MK000002", std::string("ACCESSION   ") + accession));
    EXPECT_EQ(box.Run({"-m", "d.m4", "b.gb"}),
              (Run_Result{"", Fatal("TEXTUTILS.M4UTILS.INVALID_MACRO_NAME", "\"" + std::string(name) + "\""), 1}));
    EXPECT_EQ(box.Read("d.m4"), "");
  }
}

TEST(Definitions, FileCreationAndSafety) {
  Sandbox box;
  box.Write("a.gb", kHuman);
  box.Write("empty.gb", "");
  // Created before the first input is opened, so it stays, empty.
  EXPECT_EQ(box.Run({"-m", "d.m4", "missing.gb", "a.gb"}), (Run_Result{"", kInvalidFilename, 1}));
  EXPECT_TRUE(box.Exists("d.m4"));
  EXPECT_EQ(box.Read("d.m4"), "");
  box.Write("d.m4", "x");
  EXPECT_EQ(box.Run({"-m", "d.m4", "empty.gb"}), (Run_Result{"", "", 0}));
  EXPECT_EQ(box.Read("d.m4"), "");
  // Cannot be created: nothing is read.
  EXPECT_EQ(box.Run({"-m", "", "a.gb"}), (Run_Result{"", kInvalidFilename, 1}));
  EXPECT_EQ(box.Run({"-m", "out/d.m4", "a.gb"}), (Run_Result{"", kInvalidFilename, 1}));
  box.Write("dir/x", "");
  EXPECT_EQ(box.Run({"-m", "dir", "a.gb"}), (Run_Result{"", kInvalidFilename, 1}));
  EXPECT_EQ(box.Names(), (Args{"a.gb", "d.m4", "dir", "empty.gb"}));

  // Never empties an input: the same file under any name, or standard input
  // when "-" is among the inputs.
  ASSERT_EQ(link(box.Path("a.gb").c_str(), box.Path("hard.gb").c_str()), 0);
  ASSERT_EQ(symlink("a.gb", box.Path("soft.gb").c_str()), 0);
  for (const Args& args : std::vector<Args>{{"-m", "a.gb", "a.gb"},
                                            {"-m", "./a.gb", "empty.gb", "a.gb"},
                                            {"-m", "hard.gb", "a.gb"},
                                            {"-m", "soft.gb", "a.gb"},
                                            {"-m", "a.gb", "empty.gb", "soft.gb"}}) {
    EXPECT_EQ(box.Run(args), (Run_Result{"", kInvalidFilename, 1})) << testing::PrintToString(args);
    EXPECT_EQ(box.Read("a.gb"), kHuman);
  }
  Run_Options from_a;
  from_a.stdin_file = "a.gb";
  EXPECT_EQ(box.Run_With(from_a, {"-m", "a.gb", "empty.gb", "-"}), (Run_Result{"", kInvalidFilename, 1}));
  EXPECT_EQ(box.Read("a.gb"), kHuman);
  // Standard input that is not read may be the definitions file.
  box.Write("d.m4", kHuman);
  Run_Options from_d;
  from_d.stdin_file = "d.m4";
  EXPECT_EQ(box.Run_With(from_d, {"-m", "d.m4", "a.gb"}), (Run_Result{kHumanAccessionOut, "", 0}));
  EXPECT_EQ(box.Read("d.m4"), "define(`AJ012345',``Homo_sapiens_AJ012345'')dnl\n");
}

TEST(Definitions, WriteFailureIsFatal) {
  Sandbox box;
  box.Write("a.gb", kHuman);
  Run_Result r = box.Run({"-m", "/dev/full", "a.gb"});
  EXPECT_EQ(r.err, Fatal("TARVELO.OUTPUT.WRITE_ERROR", "/dev/full: No space left on device"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(kHumanAccessionOut.substr(0, r.out.size()), r.out);
}

// Labels with apostrophes, commas and parentheses come back from m4 exactly.
TEST(Definitions, RoundTripThroughM4) {
  const std::string m4 = Find_Program("m4");
  if (m4.empty()) GTEST_SKIP() << "m4 is not installed";
  Sandbox box;
  auto record = [](const std::string& accession, const std::string& organism) {
    return Replace(Replace(kDuck, "ACCESSION   MK000002", "ACCESSION   " + accession),
                   "  ORGANISM  Influenza A virus (A/duck/Kyoto/1/2019(H5N1))", "  ORGANISM  " + organism);
  };
  box.Write("r.gb", record("AB000001", "Bishop's pine, (var. coastal)") +
                        record("AB000002", "O'Brien's isolate (1999), no. 4") +
                        record("AB000003", "Pinus radiata"));
  box.Write("tree.txt", "(AB000001,(AB000002,AB000003));\n");
  const std::vector<std::pair<Args, std::vector<std::string>>> cases = {
      {{}, {"Bishop's_pine,_(var._coastal)_AB000001", "O'Brien's_isolate_(1999),_no._4_AB000002",
            "Pinus_radiata_AB000003"}},
      {{"-q"}, {"Bishop's_pine,_(var._coastal)_AB000001", "O'Brien's_isolate_(1999),_no._4_AB000002",
                "Pinus_radiata_AB000003"}},
      {{"-r", "5"}, {"'Bishop''s pine, (var. coastal) AB000001'", "'O''Brien''s isolate (1999), no. 4 AB000002'",
                     "'Pinus radiata AB000003'"}},
      // Expanded once more after -q, so the label must not hold the accession as a word.
      {{"-q", "-r", "5", "-l", "o"},
       {"'Bishop''s pine, (var. coastal)'", "'O''Brien''s isolate (1999), no. 4'", "'Pinus radiata'"}},
  };
  for (auto [args, labels] : cases) {
    for (const char* more : {"-m", "d.m4", "r.gb"}) args.push_back(more);
    ASSERT_EQ(box.Run(args), (Run_Result{">AB000001\nagcaaaagcagg\n>AB000002\nagcaaaagcagg\n"
                                         ">AB000003\nagcaaaagcagg\n", "", 0}));
    Run_Options options;
    options.program = options.argv0 = m4;
    EXPECT_EQ(box.Run_With(options, {"d.m4", "tree.txt"}),
              (Run_Result{"(" + labels[0] + ",(" + labels[1] + "," + labels[2] + "));\n", "", 0}))
        << testing::PrintToString(args);
  }
}

}  // namespace
}  // namespace tarvelo_test
