// End-to-end: records to FASTA, input order, record order errors, the line
// buffer, unreadable inputs and write failures.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fixtures.h"
#include "run_tarvelo.h"

namespace tarvelo_test {
namespace {

const std::string kSample = std::string(TARVELO_SOURCE_DIR) + "/sample/sample.gb";
const std::string kDuckLocus = kDuck.substr(0, kDuck.find('\n'));

std::string Format_Error(const std::string& message) {
  return Fatal("TARVELO.GENBANK_FORMAT_ERROR", message);
}
std::string End_Error(const std::string& where) {
  return Fatal("TARVELO.READ_FILE.END_ERROR", "end of input inside the taxonomy lines after " + where);
}
// The record up to and including its "ORIGIN" line, and with its first sequence line.
std::string Head(const std::string& record) { return record.substr(0, record.find("ORIGIN      \n") + 13); }
const std::string kHumanCut = Head(kHuman) + kHuman.substr(Head(kHuman).size(), 76);
const std::string kHumanCutOut = kHumanOut.substr(0, kHumanOut.find("ccgacatgag"));

TEST(Conversion, SampleGivesFastaAndRows) {
  Sandbox box;
  const std::string fasta = R"(>dengue_virus_type_2_OQ584102
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
)";
  EXPECT_EQ(box.Run({kSample}), (Run_Result{fasta, "", 0}));
  std::string crlf;  // carriage-return line ends change nothing
  for (char c : Read_File(kSample)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  box.Write("crlf.gb", crlf);
  EXPECT_EQ(box.Run({"crlf.gb"}), (Run_Result{fasta, "", 0}));
  EXPECT_EQ(box.Run({"-t", "-l", "ipjhcl", kSample}),
            (Run_Result{"11060\tNguyen,T.H., Tran,V.K., Le,M.Q., Pham,D.T., Hoang,A.N., Vo,T.T.\t"
                        "Virus Evol. 9 (1), vead021 (2023)\tHomo sapiens; female, 27 years\t"
                        "Viet Nam: Ho Chi Minh City\t10.78 N 106.70 E\n"
                        "573\tSchmidt,A., Becker,L., Wolf,S. and Richter,M.\t"
                        "J. Antimicrob. Chemother. 78 (2), 401-409 (2023)\tUNKNOWN\tGermany: Berlin\tUNKNOWN\n"
                        "3343\tO'Brien,K.E., Hollister,R.D. and Alvarez-Buylla,M.\t"
                        "Am. J. Bot. 107 (4), 612-625 (2020)\tUNKNOWN\tUSA: California, Point Reyes\t"
                        "38.07 N 122.88 W\n"
                        "559292\tEngel,S.R., Wong,E.D., Nash,R.S., Aleksander,S., Alexander,M.,\t"
                        "Genetics 220 (4), iyab224 (2022)\tUNKNOWN\tUNKNOWN\tUNKNOWN\n",
                        "", 0}));
}

TEST(Conversion, InputsInCommandLineOrder) {
  Sandbox box;
  box.Write("a.gb", kHuman);
  box.Write("b.gb", kDuck);
  box.Write("dir/x.y.gb", kDuck);
  box.Write("my file.gb", kDuck);
  box.Write("empty.gb", "");
  EXPECT_EQ(box.Run({"a.gb", "-", "empty.gb", "b.gb"}, kDuck + kHuman),
            (Run_Result{kHumanOut + kDuckOut + kHumanOut + kDuckOut, "", 0}));
  EXPECT_EQ(box.Run({"-", "-"}, kDuck), (Run_Result{kDuckOut, "", 0}));  // exhausted the second time
  // The file-name component: the base name, cleaned; STDIN for standard input.
  EXPECT_EQ(box.Run({"-t", "-l", "fa", "dir/x.y.gb", "-", "my file.gb"}, kHuman),
            (Run_Result{"x.y\tMK000002\nSTDIN\tAJ012345\nmy file\tMK000002\n", "", 0}));
  EXPECT_EQ(box.Run({"-l", "f", "my file.gb", "-"}, kHuman),
            (Run_Result{">my_file\nagcaaaagcagg\n>STDIN\n" + kHumanSeq, "", 0}));
}

TEST(Conversion, QualifiersAndPerRecordValues) {
  Sandbox box;
  box.Write("two.gb", kDuck + kHuman);  // host, country, lat_lon reset at LOCUS
  EXPECT_EQ(box.Run({"-l", "ochli", "two.gb"}),
            (Run_Result{">Influenza_A_virus_(A/duck/Kyoto/1/2019(H5N1))_Japan:_Kyoto_Anas_platyrhynchos_"
                        "35.01_N_135.77_E_2587390\nagcaaaagcagg\n>Homo_sapiens_Germany:_Bonn_UNKNOWN_UNKNOWN_9606\n" +
                            kHumanSeq,
                        "", 0}));
  // A wrapped host keeps its first line less the last character; a one-character
  // country is taken, an empty lat_lon is not; accessions lose blanks and underscores.
  std::string odd = Replace(kHuman, "ACCESSION   AJ012345", "ACCESSION   NM_000546 XM_000001");
  odd = Replace(odd, "/country=\"Germany: Bonn\"\n",
                "/specific_host=\"Homo sapiens; male; age 61; sampled at the\n"
                "                     university hospital\"\n                     /country=\"X\"\n"
                "                     /lat_lon=\"\"\n");
  box.Write("odd.gb", odd);
  EXPECT_EQ(box.Run({"-l", "ahclpj", "odd.gb"}),
            (Run_Result{">NM000546XM000001_Homo_sapiens;_male;_age_61;_sampled_at_th_X_UNKNOWN_"
                        "Meyer,A._and_Braun,B._Gene_100,_1-10_(2001)\n" + kHumanSeq, "", 0}));
  // NUL is an ordinary character.
  box.Write("nul.gb", Replace(Replace(kHuman, "TP53 (p53)", std::string("TP53\0(p53)", 10)), "ccgacatgag",
                              std::string("ccga\0catgag", 11)));
  EXPECT_EQ(box.Run({"-l", "d", "nul.gb"}),
            (Run_Result{">TP53" + std::string(1, '\0') + "(p53),_clone_'x7';_a-b+c_[1]/{2}\\=*\"`<>:.!\n" + kHumanSeq, "", 0}));
}

TEST(Conversion, RecordOrderViolationsStopTheRun) {
  Sandbox box;
  const std::string taxon = "                     /db_xref=\"taxon:9606\"\n";
  const auto at = [](const std::string& s) { return s.find("DEFINITION"); };
  struct Case {
    std::vector<std::string> inputs;  // contents of 1.gb, 2.gb, ...
    std::string out, message;
  };
  const std::vector<Case> cases = {
      {{kHuman + Replace(kDuck, kDuckLocus + "\n", "")}, kHumanOut,
       "STOP vs. START : DEFINITION  Influenza A virus (A/duck/Kyoto/1/2019(H5N1)) segment 4"},
      {{Replace(kHuman, "ACCESSION   AJ012345\n", "")}, "", "DEFINITION vs. ACCESSION : SOURCE      Homo sapiens (human)"},
      {{Replace(kHuman, kHuman.substr(at(kHuman), kHuman.find("ACCESSION") - at(kHuman)), "DEFINITION\n")}, "",
       "START vs. DEFINITION : ACCESSION   AJ012345"},
      {{Replace(kHuman, "  AUTHORS   Meyer,A. and Braun,B.\n", "  CONSRTM   Tumour Genome Consortium\n")}, "",
       "ORGANISM vs. AUTHORS :   JOURNAL   Gene 100, 1-10 (2001)"},
      // The line that ends the taxonomy is not examined further.
      {{Replace(kHuman, "REFERENCE   1  (bases 1 to 70)\n", "")}, "",
       "ORGANISM vs. AUTHORS :   JOURNAL   Gene 100, 1-10 (2001)"},
      {{Replace(kHuman, taxon, taxon + taxon)}, "", "TAXON_ID vs. JOURNAL : " + taxon.substr(0, 42)},
      {{Replace(kHuman, taxon, "")}, "", "JOURNAL vs. TAXON_ID : ORIGIN      "},
      {{Replace(kHuman, "ORIGIN      \n", "ORIGIN      x\n") + kDuck}, "", "TAXON_ID vs. STOP : " + kDuckLocus},
      // A record without "//" does not swallow the next one, within or across inputs.
      {{Replace(kHuman, "//\n", "") + kDuck}, kHumanOut, "SEQUENCE vs. STOP : " + kDuckLocus},
      {{kHumanCut, kDuck}, kHumanCutOut, "SEQUENCE vs. STOP : " + kDuckLocus},
      {{kHuman.substr(0, kHuman.find("ORIGIN")), kDuck}, "", "TAXON_ID vs. STOP : " + kDuckLocus},
      // The line is quoted without its line-end carriage return; one only is removed.
      {{Replace(Replace(kHuman, "ACCESSION   AJ012345\n", ""), "(human)\n", "(human)\r\n")}, "",
       "DEFINITION vs. ACCESSION : SOURCE      Homo sapiens (human)"},
      {{"DEFINITION  x\r\r\n"}, "", "STOP vs. START : DEFINITION  x\r"},
      {{"ORIGIN\n        1 acgt\n//\n"}, "", "STOP vs. TAXON_ID : ORIGIN"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args;
    for (const std::string& input : c.inputs) {
      args.push_back(std::to_string(args.size() + 1) + ".gb");
      box.Write(args.back(), input);
    }
    EXPECT_EQ(box.Run(args), (Run_Result{c.out, Format_Error(c.message), 1})) << c.message;
  }
  box.Write("1.gb", Replace(kHuman, "//\n", "") + kDuck);  // -o: the LOCUS line starts a record
  EXPECT_EQ(box.Run({"-o", "1.gb"}), (Run_Result{kHumanOut + kDuckOut, "", 0}));
}

TEST(Conversion, EndOfInput) {
  Sandbox box;
  const std::string taxonomy = kHuman.substr(0, kHuman.find("REFERENCE"));
  box.Write("t.gb", taxonomy);
  EXPECT_EQ(box.Run({"t.gb"}), (Run_Result{"", End_Error("line 10 of t.gb"), 1}));
  box.Write("long.gb", Replace(taxonomy.substr(0, taxonomy.size() - 1), "KEYWORDS    .", "KEYWORDS    " +
                               std::string(150, 'k')));  // one physical line, no final line feed
  EXPECT_EQ(box.Run({"long.gb"}), (Run_Result{"", End_Error("line 10 of long.gb"), 1}));
  box.Write("a.gb", kHuman);
  EXPECT_EQ(box.Run({"a.gb", "-"}, kHuman.substr(0, kHuman.find("            Eukaryota"))),
            (Run_Result{kHumanOut, End_Error("line 8 of standard input"), 1}));
  box.Write("t.gb", taxonomy + "\n");  // a last empty line ends the taxonomy
  EXPECT_EQ(box.Run({"t.gb"}), (Run_Result{"", "", 0}));
  // Inside a sequence the next input goes on with the sequence.
  box.Write("cut.gb", kHumanCut);
  box.Write("rest.gb", "       61 ccgacatgag\n//\n" + kDuck);
  EXPECT_EQ(box.Run({"cut.gb", "rest.gb"}), (Run_Result{kHumanOut + kDuckOut, "", 0}));
}

TEST(Conversion, LineBufferAndSequenceLines) {
  Sandbox box;
  const std::string a100(100, 'a'), c100(100, 'c');
  const std::vector<std::pair<std::string, std::string>> cases = {
      {a100 + c100 + "ggg\n//\n", a100 + "\n" + c100 + "\nggg\n"},
      {a100 + "\nacgt\n//\n", a100 + "\n\nacgt\n"},
      {std::string(99, 't') + "\r\nacgt\n//\n", std::string(99, 't') + "\n\nacgt\n"},
      {"\r\n 120 \n       61 GATC-NNNN* ..acgt\n//\n", "\n\nGATCNNNNacgt\n"},
      {"x\xe9\xd7\xf7\xc0\xdf\xff\xa0y\n//\n", "x\xe9\xc0\xdf\xffy\n"},
      {"LOCUS       \nLOCUSacgt\n//x\n", "LOCUS\nLOCUSacgt\n"},
      // At the very end of an input one line feed is no line; a second one is.
      {a100 + "\n", a100 + "\n"},
      {"acgt\n\n", "acgt\n"},
      {"acgt\n\n\n", "acgt\n\n"},
      {"acgt", "acgt\n"},
  };
  for (const auto& [body, out] : cases) {
    box.Write("s.gb", Head(kHuman) + body);
    EXPECT_EQ(box.Run({"s.gb"}), (Run_Result{">Homo_sapiens_AJ012345\n" + out, "", 0})) << body;
  }
  // Of a keyword line longer than 100 characters only columns 13 to 100 count.
  box.Write("long.gb", Replace(kHuman, "TP53 (p53)", std::string(80, 'd') + "0123456789ABCDEFGHIJ"));
  EXPECT_EQ(box.Run({"-l", "d", "long.gb"}), (Run_Result{">" + std::string(80, 'd') + "01234567\n" + kHumanSeq, "", 0}));
  box.Write("o.gb", Replace(kHuman, "ORIGIN      \n", "ORIGIN1\r\n"));  // any line of 6 to 12
  EXPECT_EQ(box.Run({"o.gb"}), (Run_Result{kHumanOut, "", 0}));
}

TEST(Conversion, UnreadableInputs) {
  Sandbox box;
  box.Write("a.gb", kHuman);
  box.Write("dir/x.gb", kDuck);
  for (const char* bad : {"missing.gb", "dir", "", "-h", "--", "-lao", "-x", "-T"})
    EXPECT_EQ(box.Run({"a.gb", bad, "a.gb"}), (Run_Result{kHumanOut, kInvalidFilename, 1})) << bad;
  box.Write("-x", kDuck);
  EXPECT_EQ(box.Run({"a.gb", "-x"}), (Run_Result{kHumanOut + kDuckOut, "", 0}));
}

TEST(Conversion, WriteFailureIsFatal) {
  Sandbox box;
  box.Write("a.gb", kHuman);
  Run_Options options;
  options.stdout_file = "/dev/full";
  EXPECT_EQ(box.Run_With(options, {"a.gb"}),
            (Run_Result{"", Fatal("TARVELO.OUTPUT.WRITE_ERROR", "standard output: No space left on device"), 1}));
}

}  // namespace
}  // namespace tarvelo_test
