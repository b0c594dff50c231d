#include "genbank/scanner.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Records what the scanner hands over: a header line naming the components
// that labels are made of, and each sequence line.
class Transcript : public Record_Sink {
 public:
  explicit Transcript(const Label_Components& c) : c_(c) {}
  void Print_Label() override {
    for (char letter : std::string("adsotpjihcl")) log += std::string(1, letter) + "=" + c_[letter] + "|";
    log += "\n";
  }
  void Sequence_Line(std::string_view line) override { log.append("  ").append(line) += "\n"; }
  std::string log;

 private:
  const Label_Components& c_;
};

// One run over several inputs sharing reader state and components.
struct Scan {
  Run_Configuration config = [] {
    Run_Configuration c;
    c.Label_List = "adsotpjihcl";  // the taxonomy is gathered only for a label that uses it
    return c;
  }();
  Reader_State state;
  Label_Components components;
  Transcript transcript{components};

  // The transcript so far, or the failure that ended the input.
  std::string operator()(const std::string& text) {
    String_Source source(text, "in.gb");
    Line_Reader reader(source);
    try {
      Read_File(reader, state, config, components, transcript);
    } catch (const Failure& f) {
      return transcript.log + f.Full_Name() + " : " + f.Message();
    }
    return transcript.log;
  }
};

const std::string Head =
    "LOCUS       X1 10 bp\n"
    "DEFINITION  Thing one,\n"
    "            continued.\n"
    "ACCESSION   AB_000 001 XY2\n"
    "SOURCE      cow\n"
    "  ORGANISM   Bos taurus \n"
    "            Eukaryota; Metazoa;\n"
    "            Mammalia.\n"
    "REFERENCE   1\n"
    "  AUTHORS   Doe,J.\n"
    "            Roe,R.\n"
    "  JOURNAL   J. Cows 1\n"
    "REFERENCE   2\n"
    "  AUTHORS   Other,A.\n"
    "  JOURNAL   Later\n"
    "FEATURES             Location/Qualifiers\n"
    "                     /country=\"Japan: Kyoto\"\n"
    "                     /specific_host=\"Homo sapiens (human)\n"
    "                     second line\"\n"
    "                     /db_xref=\"taxon:9913\"\n";
const std::string Tail =
    "ORIGIN      \n"
    "        1 acgtAC-GT* 1..\n"
    "\n"
    "//\n";

TEST(Scanner, StoresTheFirstLineOfEachValueCleaned) {
  Scan scan;
  EXPECT_EQ(scan(Head + Tail),
            "a=AB000001XY2|d=Thing_one,|s=cow|o=Bos_taurus|t=Eukaryota;_Metazoa;_Mammalia.|"
            "p=Doe,J.|j=J._Cows_1|i=9913|h=Homo_sapiens_(human|c=Japan:_Kyoto|l=UNKNOWN|\n"
            "          1 acgtAC-GT* 1..\n"
            "  \n");
}

TEST(Scanner, QuotedLabelsDoubleApostrophesEverywhereIncludingTheTaxonomy) {
  Scan scan;
  scan.config.Quote_Labels = true;
  scan.config.Replacement_Map = Textutils::Identity;
  scan.config.Tab_Separated = true;  // sequence lines are read and dropped
  std::string text = Head + Tail;
  text.replace(text.find("Mammalia."), 9, "Bishop's");
  text.replace(text.find("cow\n"), 3, "O'Brien");
  EXPECT_EQ(scan(text),
            "a=AB000001XY2|d=Thing one,|s=O''Brien|o=Bos taurus|t=Eukaryota; Metazoa; Bishop''s|"
            "p=Doe,J.|j=J. Cows 1|i=9913|h=Homo sapiens (human|c=Japan: Kyoto|l=UNKNOWN|\n");
}

TEST(Scanner, WithoutFormatCheckAnyOrderIsConvertedAndLocusEndsALostSequence) {
  Scan scan;
  scan.config.Format_Check = false;
  const std::string log = scan(
      "ORIGIN\n 1 aa\nLOCUS       r2\n  ORGANISM  o2\n\nORIGIN\n 1 cc\n//\nORIGIN\n//\n");
  EXPECT_EQ(log,
            "a=|d=|s=|o=|t=|p=|j=|i=|h=|c=|l=|\n   1 aa\n"
            "a=|d=|s=|o=o2|t=|p=|j=|i=|h=UNKNOWN|c=UNKNOWN|l=UNKNOWN|\n   1 cc\n"
            "a=|d=|s=|o=o2|t=|p=|j=|i=|h=UNKNOWN|c=UNKNOWN|l=UNKNOWN|\n");
  EXPECT_EQ(scan.state.Position, Position_Type::STOP);
}

}  // namespace
