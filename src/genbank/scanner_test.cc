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
  Run_Configuration config;
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

TEST(Scanner, QualifierValuesNeedOneCharacterBeforeTheClosingQuote) {
  Scan scan;
  std::string text = Head + Tail;
  text.replace(text.find("Japan: Kyoto\""), 13, "\"");  // empty value: line of 32 characters
  text.insert(text.find("ORIGIN"), "                     /lat_lon=\"x\"\n");
  const std::string log = scan(text);
  EXPECT_NE(log.find("|c=UNKNOWN|l=x|"), std::string::npos) << log;
}

TEST(Scanner, HostCountryAndLatLonAreResetAtEveryRecordOtherValuesCarryOver) {
  Scan scan;
  scan(Head + Tail);
  const std::string second =
      "LOCUS       X2\nDEFINITION  two\nACCESSION   B2\nSOURCE      s\n  ORGANISM  o\n"
      "REFERENCE\n  AUTHORS   a\n  JOURNAL   j\n                     /db_xref=\"taxon:1\"\n"
      "ORIGIN\n//\n";
  const std::string log = scan(second);
  EXPECT_EQ(log.substr(log.rfind("a=B2")),
            "a=B2|d=two|s=s|o=o|t=|p=a|j=j|i=1|h=UNKNOWN|c=UNKNOWN|l=UNKNOWN|\n");
}

TEST(Scanner, KeywordsOutOfOrderStopTheRunWithBothPositionsAndTheLine) {
  const std::string gbfe = "TARVELO.GENBANK_FORMAT_ERROR : ";
  struct Case {
    std::string text, error;
  } cases[] = {
      {"DEFINITION  x\r\n", "STOP vs. START : DEFINITION  x"},
      {"LOCUS       x\nDEFINITION\nACCESSION   A1\n", "START vs. DEFINITION : ACCESSION   A1"},
      {Head + "                     /db_xref=\"taxon:2\"\n", "TAXON_ID vs. JOURNAL : " +
                                                                 std::string(21, ' ') +
                                                                 "/db_xref=\"taxon:2\""},
      {Head.substr(0, Head.find("  AUTHORS   Doe")) + "  JOURNAL   j\n",
       "ORGANISM vs. AUTHORS :   JOURNAL   j"},
      {Head.substr(0, Head.find("                     /db_xref")) + Tail,
       "JOURNAL vs. TAXON_ID : ORIGIN      "},
      // An ORIGIN line with text after column 12 is not recognised.
      {Head + "ORIGIN      x\n        1 acgt\n//\nLOCUS       next one\n",
       "TAXON_ID vs. STOP : LOCUS       next one"},
      // A record that lost its "//" does not swallow the next one.
      {Head + "ORIGIN\n        1 acgt\nLOCUS       next one\n",
       "a=AB000001XY2|d=Thing_one,|s=cow|o=Bos_taurus|t=Eukaryota;_Metazoa;_Mammalia.|"
       "p=Doe,J.|j=J._Cows_1|i=9913|h=Homo_sapiens_(human|c=Japan:_Kyoto|l=UNKNOWN|\n"
       "          1 acgt\nSEQUENCE vs. STOP : LOCUS       next one"},
  };
  for (const Case& c : cases) {
    Scan scan;
    const std::string log = scan(c.text);
    const std::size_t at = c.error.find(" vs. ");
    const std::size_t header_end = c.error.rfind('\n', at);
    const std::string expected = header_end == std::string::npos
                                     ? gbfe + c.error
                                     : c.error.substr(0, header_end + 1) + gbfe +
                                           c.error.substr(header_end + 1);
    EXPECT_EQ(log, expected);
  }
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

TEST(Scanner, StateCarriesOverFromOneInputToTheNext) {
  Scan scan;
  scan(Head + "ORIGIN\n        1 aa\n");
  EXPECT_EQ(scan.state.Position, Position_Type::SEQUENCE);
  scan.transcript.log.clear();
  EXPECT_EQ(scan("more\n//x\n//\n"), "  more\n");  // "//x" ends the sequence, "//" is ignored
  EXPECT_EQ(scan.state.Position, Position_Type::STOP);

  Scan cut;
  EXPECT_EQ(cut(Head), "");
  EXPECT_EQ(cut("LOCUS       y\n"),
            "TARVELO.GENBANK_FORMAT_ERROR : TAXON_ID vs. STOP : LOCUS       y");
}

TEST(Scanner, InputEndingInsideTheTaxonomyNamesTheInputAndLine) {
  Scan scan;
  EXPECT_EQ(scan("LOCUS       x\nDEFINITION  d\nACCESSION   A\nSOURCE      s\n  ORGANISM  o\n"
                 "            Bacteria;\n"),
            "TARVELO.READ_FILE.END_ERROR : end of input inside the taxonomy lines after line 6 "
            "of in.gb");
}

TEST(Scanner, TaxonPrefixGoesBeforeTheTaxonIdentifier) {
  Scan scan;
  scan.config.Taxon_Prefix = true;
  EXPECT_NE(scan(Head + Tail).find("|i=T9913|"), std::string::npos);
}

}  // namespace
