// End-to-end: every option, the right-to-left scan, invalid option use and the
// usage text.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fixtures.h"
#include "run_tarvelo.h"

namespace tarvelo_test {
namespace {

using Args = std::vector<std::string>;

const std::string kSelectionError =
    Fatal("TARVELO.PRINT_LABEL.SELECTION_ERROR", "Invalid label component.");

// The FASTA output of kHuman under the label `label`.
Run_Result Human(const std::string& label) { return {">" + label + "\n" + kHumanSeq, "", 0}; }
Run_Result Row(const std::string& row) { return {row + "\n", "", 0}; }

TEST(Options, ReplacementModes) {
  Sandbox box;
  box.Write("a.gb", kHuman);
  // -u stands left of -r, so its value is cleaned with the same map as the
  // definition from the input.
  const std::string user = "\xe9\x7f\xd7\xa0\x80z";
  const std::string newick_user = "\xe9_\xd7\xa0_z";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"0", "TP53 (p53), clone 'x7'; a-b+c [1]/{2}\\=*\"`<>:.!_" + user},
      {"1", "TP53_(p53),_clone_'x7';_a-b+c_[1]/{2}\\=*\"`<>:.!_" + user},
      {"12", "TP53_(p53),_clone_'x7';_a-b+c_[1]/{2}\\=*\"`<>:.!_" + user},
      {"2", "TP53__p53___clone__x7___a-b+c_[1]/{2}\\=*\"`<>_.!_" + newick_user},
      {"3", "TP53__p53___clone__x7___a_b_c__1___2_________.!_" + newick_user},
      {"4", "TP53__p53___clone__x7___a_b_c__1___2____________\xe9____z"},
      {"5", "'TP53 (p53), clone ''x7''; a-b+c [1]/{2}\\=*\"`<>:.! " + user + "'"},
      {"5x", "'TP53 (p53), clone ''x7''; a-b+c [1]/{2}\\=*\"`<>:.! " + user + "'"},
  };
  for (const auto& [mode, label] : cases)
    EXPECT_EQ(box.Run({"-l", "du", "-u", user, "-r", mode, "a.gb"}), Human(label)) << mode;

  // The taxonomy is translated by the map, and its apostrophes are doubled
  // in quoted labels.
  box.Write("t.gb", Replace(kHuman, "Primates;", "Primates' group;"));
  const std::string taxonomy =
      "Eukaryota; Metazoa; Chordata; Craniata; Vertebrata; Euteleostomi; Mammalia; "
      "Primates'' group; Hominidae; Homo.";
  EXPECT_EQ(box.Run({"-r", "5", "-l", "t", "t.gb"}), Human("'" + taxonomy + "'"));
  EXPECT_EQ(box.Run({"-r", "2", "-l", "t", "t.gb"}),
            Human("Eukaryota__Metazoa__Chordata__Craniata__Vertebrata__Euteleostomi__Mammalia__"
                  "Primates__group__Hominidae__Homo."));
  // -r 1 left of -r 5: map No_Space, quoting on, blank separator.
  std::string no_space_taxonomy = taxonomy;
  for (char& c : no_space_taxonomy) c = c == ' ' ? '_' : c;
  EXPECT_EQ(box.Run({"-r", "1", "-r", "5", "-l", "ot", "t.gb"}),
            Human("'Homo sapiens " + no_space_taxonomy + "'"));
}

TEST(Options, LabelList) {
  Sandbox box;
  box.Write("a.gb", kHuman);
  box.Write("empty.gb", "");
  const std::vector<std::pair<Args, std::string>> cases = {
      {{"-l", "aa"}, "AJ012345_AJ012345"},
      {{"-l", "oba"}, "Homo_sapiens__AJ012345"},
      {{"-l", "obz"}, "Homo_sapiens__"},
      {{"-l", "b"}, ""},
      {{"-l", ""}, ""},
      {{"-l", "", "-r", "5"}, "''"},
      {{"-l", "ou", "-u", "UG1"}, "Homo_sapiens_UG1"},
      {{"-u", "UG1"}, "Homo_sapiens_AJ012345"},
      {{"-l", "u", "-u", "O'x", "-r", "5"}, "'O''x'"},
      {{"-l", "u", "-u", "\x01" "a\xff" "b"}, "a\xff" "b"},
      {{"-l", "u", "-u", std::string(100000, 'x')}, std::string(100000, 'x')},
  };
  for (auto [args, label] : cases) {
    args.push_back("a.gb");
    EXPECT_EQ(box.Run(args), Human(label)) << args[1];
  }
  // A letter outside a-z fails at the first label, before anything is written.
  for (const char* list : {"oA", "o1", "o a", "-x"}) {
    EXPECT_EQ(box.Run({"-l", list, "a.gb"}), (Run_Result{"", kSelectionError, 1})) << list;
    EXPECT_EQ(box.Run({"-l", list, "empty.gb"}), (Run_Result{"", "", 0})) << list;
  }
}

TEST(Options, SeparatorTableUserStringFormatCheck) {
  Sandbox box;
  box.Write("a.gb", kHuman);
  box.Write("two.gb", kHuman + kDuck);
  EXPECT_EQ(box.Run({"-s", "/", "-l", "ao", "a.gb"}), Human("AJ012345/Homo_sapiens"));
  EXPECT_EQ(box.Run({"-s", "-", "a.gb"}), Human("Homo_sapiens-AJ012345"));
  EXPECT_EQ(box.Run({"-s", "\t", "a.gb"}), Human("Homo_sapiens\tAJ012345"));
  EXPECT_EQ(box.Run({"-s", " ", "-l", "os", "a.gb"}), Human("Homo_sapiens Homo_sapiens_(human)"));
  EXPECT_EQ(box.Run({"-t", "two.gb"}),
            Row("Homo sapiens\tAJ012345\nInfluenza A virus (A/duck/Kyoto/1/2019(H5N1))\tMK000002"));
  EXPECT_EQ(box.Run({"-u", "-", "-l", "u", "a.gb"}), Human("-"));
  EXPECT_EQ(box.Run({"-q", "a.gb"}), Human("Homo_sapiens_AJ012345"));
  // Without format checking a record lacking AUTHORS and JOURNAL, with two
  // taxon qualifiers, converts; the last taxon wins and p, j carry over.
  std::string loose = Replace(kDuck, "  AUTHORS   Sato,K.\n", "");
  loose = Replace(loose, "  JOURNAL   Submitted (01-FEB-2019) Kyoto University, Kyoto, Japan\n", "");
  loose = Replace(loose, "taxon:2587390", "taxon:1111\"\n                     /db_xref=\"taxon:2222");
  box.Write("origin.gb", "ORIGIN\n        1 acgt\n//\n");  // values never stored are empty
  EXPECT_EQ(box.Run({"-o", "-l", "ochla", "origin.gb"}), (Run_Result{">____\nacgt\n", "", 0}));
  box.Write("loose.gb", kHuman + loose);
  EXPECT_EQ(box.Run({"-o", "-l", "aipj", "loose.gb"}),
            (Run_Result{">AJ012345_9606_Meyer,A._and_Braun,B._Gene_100,_1-10_(2001)\n" + kHumanSeq +
                            ">MK000002_2222_Meyer,A._and_Braun,B._Gene_100,_1-10_(2001)\nagcaaaagcagg\n",
                        "", 0}));
}

TEST(Options, LeftmostOptionWinsSettingBySetting) {
  Sandbox box;
  box.Write("a.gb", kHuman);
  const std::string newick_d = "TP53__p53___clone__x7___a-b+c_[1]/{2}\\=*\"`<>_.!";
  const std::string raw_d = "TP53 (p53), clone 'x7'; a-b+c [1]/{2}\\=*\"`<>:.!";
  const std::vector<std::pair<Args, Run_Result>> cases = {
      {{"-s", "x", "-t"}, Row("Homo sapiensxAJ012345")},
      {{"-t", "-s", "x"}, Row("Homo sapiens\tAJ012345")},
      {{"-r", "2", "-t", "-l", "od"}, Row("Homo_sapiens\t" + newick_d)},
      {{"-t", "-r", "2", "-l", "od"}, Row("Homo sapiens\t" + raw_d)},
      {{"-r", "5", "-t"}, Row("'Homo sapiens AJ012345'")},
      {{"-t", "-r", "5"}, Row("Homo sapiens\tAJ012345")},
      {{"-t", "-r", "1"}, Row("Homo sapiens\tAJ012345")},
      {{"-r", "1", "-t"}, Row("Homo_sapiens\tAJ012345")},
      {{"-u", "a b", "-r", "0", "-l", "u"}, Human("a b")},
      {{"-r", "0", "-u", "a b", "-l", "u"}, Human("a_b")},
      {{"-r", "4", "-u", "a.b", "-l", "u"}, Human("a.b")},
      {{"-u", "a.b", "-r", "4", "-l", "u"}, Human("a_b")},
      {{"-l", "u", "-u", "-t", "x"}, Row("x")},
      {{"-l", "a", "-l", "o"}, Human("AJ012345")},
      {{"-s", "/", "-s", "-"}, Human("Homo_sapiens/AJ012345")},
      {{"-u", "x", "-u", "y", "-l", "u"}, Human("x")},
  };
  for (auto [args, expected] : cases) {
    args.push_back("a.gb");
    EXPECT_EQ(box.Run(args), expected) << testing::PrintToString(args);
  }
  // Options take effect wherever they stand among the inputs.
  EXPECT_EQ(box.Run({"a.gb", "-t"}), Row("Homo sapiens\tAJ012345"));
}

TEST(Options, InvalidUseCreatesNothing) {
  const std::vector<Args> cases = {
      {"-r", "7", "a.gb"},  {"-r", "x", "a.gb"},           {"-r", "", "a.gb"},
      {"-s", "ab", "a.gb"}, {"-s", "", "a.gb"},            {"-s", "\xc3\xa9", "a.gb"},
      {"a.gb", "-l"},       {"a.gb", "-m"},                {"a.gb", "-r"},
      {"a.gb", "-s"},       {"a.gb", "-u"},                {"-r"},
      {"a.gb", "-l", "-u", "x"}, {"-m", "d.m4", "-r", "7", "a.gb"}, {"-m", "d.m4", "a.gb", "-u"},
  };
  for (const Args& args : cases) {
    Sandbox box;
    box.Write("a.gb", kHuman);
    EXPECT_EQ(box.Run(args), (Run_Result{"", kInvalidArgument, 1})) << testing::PrintToString(args);
    EXPECT_EQ(box.Names(), Args{"a.gb"});
  }
}

TEST(Usage, PrintedWhenNoInputIsLeft) {
  const std::vector<std::string> lines = {
      "./conv converts GenBank to FASTA format.",
      "",
      "Usage: ./conv [options] inputfile(s)",
      "",
      "Options:",
      "  -l <List>  Select (order of) label components. Currently supported are:",
      "      a  Accession number",
      "      c  Country",
      "      d  Definition (first line)",
      "      f  Basename of the filename",
      "      h  Specific host (if provided, \"UNKNOWN\" otherwise)",
      "      i  Taxon ID",
      "      j  Journal (first line)",
      "      l  Latitude and longitude (if provided, \"UNKNOWN\" otherwise)",
      "      o  Organism",
      "      p  Authors (first line)",
      "      s  Source",
      "      t  Taxonomy",
      "      u  User-specified string (see option -u)",
      "    Default is \"oa\".",
      "  -m  Print only accession in FASTA label to main output but print m4 macros",
      "    defining accession as selected label to this file. If -l i... is selected,",
      "    prepend \"T\".",
      "  -o  Turn off format checking.",
      "  -q  Quote macro expansion only once (consider setting replacement mode to 4!).",
      "    Has to effect without -m.",
      "  -r <Int>  Character replacement in labels. Currently supported are:",
      "      0  None",
      "      1  Blanks",
      "      2  Newick-incompatible characters",
      "      3  NEXUS-incompatible characters",
      "      4  Everything except letters and digits",
      "      5  None, enclose in \"'\" and use blank as separator.",
      "    Default is 1. Replacement is always by \"_\" and does not affect the separator.",
      "  -s <Char>  Separator between label components. Default is \"_\". Overwrites -r 4",
      "    and -t if specified beforehand.",
      "  -t  Output is tab-separated CSV-Format, not FASTA. Character replacement is",
      "    set to \"None\" (overwritten if -r is specified beforehand).",
      "  -u  String to be included in taxon labels (subject to character replacement if",
      "    specified before -r).",
      "",
      "(credits)",
      "",
  };
  for (const Args& args : std::vector<Args>{{}, {"-t"}, {"-m", "defs.m4"}, {"-t", "-o", "-l", "xyz"}}) {
    Sandbox box;
    Run_Options options;
    options.argv0 = "./conv";
    Run_Result r = box.Run_With(options, args);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(box.Names().empty());  // no definitions file either
    ASSERT_TRUE(!r.err.empty() && r.err.back() == '\n');
    std::vector<std::string> got;
    std::istringstream stream(r.err);
    for (std::string line; std::getline(stream, line);) got.push_back(line);
    ASSERT_EQ(got.size(), lines.size()) << r.err;
    EXPECT_FALSE(got[41].empty()) << "credits";
    got[41] = lines[41];
    EXPECT_EQ(got, lines);
  }
  Sandbox box;  // the command name exactly as the process received it
  Run_Options options;
  options.argv0 = "/opt/bin/tv 2";
  const std::string head = "/opt/bin/tv 2 converts GenBank to FASTA format.\n\nUsage: /opt/bin/tv 2 [options] inputfile(s)\n";
  EXPECT_EQ(box.Run_With(options, {}).err.substr(0, head.size()), head);
}

}  // namespace
}  // namespace tarvelo_test
