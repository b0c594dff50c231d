#include "genbank/scanner.h"

#include <gtest/gtest.h>

#include "string_source.h"

#include <string>
#include <tuple>
#include <vector>

// A case's configuration names only the settings it changes.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

// Reads Inputs in turn with one reader state, as a run does. The transcript
// shows each header as "letter=value|" for the letters of the label list,
// each sequence line indented, then the failure that ended the run.
std::string Scan(const std::vector<std::string>& inputs, const Run_Configuration& config) {
  struct Transcript : Record_Sink {
    const Run_Configuration* config;
    const Label_Components* c;
    std::string log;
    void Print_Label() override {
      for (char letter : config->Label_List) log += std::string(1, letter) + "=" + (*c)[letter] + "|";
      log += "\n";
    }
    void Sequence_Line(std::string_view line) override { log.append("  ").append(line) += "\n"; }
  } t;
  t.config = &config;
  Reader_State state;
  t.c = &state.Components;
  try {
    for (const std::string& text : inputs) {
      String_Source source(text, "in.gb");
      Line_Reader reader(source);
      Read_File(reader, state, config, t);
    }
  } catch (const Failure& f) {
    t.log += f.Full_Name() + " : " + f.Message();
  }
  return t.log;
}

const std::string kTaxon = "                     /db_xref=\"taxon:9913\"\n";
const std::string kRecord =
    "LOCUS       X1 10 bp\n"
    "DEFINITION  Thing one,\r\n"
    "            continued.\n"
    "ACCESSION   AB_000 001 XY2\n"
    "SOURCE      cow\n"
    "  ORGANISM   Bos taurus \n"
    "            Eukaryota; Metazoa;\n"
    "            Mammalia. \n"
    "REFERENCE   1\n"
    "  AUTHORS   Doe,J.\n"
    "            Roe,R.\n"
    "  JOURNAL   J. Cows 1\n"
    "  AUTHORS   Other,A.\n"
    "  JOURNAL   Later\n"
    "                     /country=\"Japan: Kyoto\"\n"
    "                     /specific_host=\"Homo sapiens (human)\n"
    "                     second line\"\n"
    "                     /lat_lon=\"1 N\"\n" +
    kTaxon +
    "ORIGIN1\r\n"
    "        1 acgtAC-GT* 1..\n"
    "\n"
    "//x\n";

// The transcript of kRecord's sequence lines.
const std::string kLines = "          1 acgtAC-GT* 1..\n  \n";

// Text with the first From replaced by To.
std::string Edit(const std::string& from, const std::string& to, std::string text = kRecord) {
  const std::size_t at = text.find(from);
  if (at == std::string::npos) throw std::logic_error("no " + from);
  return text.replace(at, from.size(), to);
}

TEST(Scanner, StoresTheFirstLineOfEachValueCleanedAndHandsOverSequenceLines) {
  const std::string second =  // a one-character country is taken, an empty lat_lon is not
      Edit("Japan: Kyoto", "X", Edit("1 N", "", Edit("                     /specific_host=", "/")));
  const std::tuple<Run_Configuration, std::vector<std::string>, std::string> cases[] = {
      {{.Label_List = "adsotpjihcl"}, {kRecord + second},
       "a=AB000001XY2|d=Thing_one,|s=cow|o=Bos_taurus|t=Eukaryota;_Metazoa;_Mammalia.|p=Doe,J.|"
       "j=J._Cows_1|i=9913|h=Homo_sapiens_(human|c=Japan:_Kyoto|l=1_N|\n" + kLines +
       "a=AB000001XY2|d=Thing_one,|s=cow|o=Bos_taurus|t=Eukaryota;_Metazoa;_Mammalia.|p=Doe,J.|"
       "j=J._Cows_1|i=9913|h=UNKNOWN|c=X|l=UNKNOWN|\n" + kLines},
      // Of a line longer than 100 characters the rest arrives as a line of its own.
      {{.Label_List = "d"}, {Edit("Thing one,", std::string(100, 'x'))},
       "d=" + std::string(88, 'x') + "|\n" + kLines},
      // Later AUTHORS and JOURNAL lines are ignored, long ones too.
      {{.Label_List = "pj"}, {Edit("Later", std::string(100, 'z'), Edit("Other,A.", std::string(100, 'y')))},
       "p=Doe,J.|j=J._Cows_1|\n" + kLines},
      // Apostrophes are doubled everywhere, in the taxonomy too; -t drops sequence lines.
      {{.Label_List = "st", .Replacement_Map = Textutils::Identity, .Quote_Labels = true,
        .Tab_Separated = true},
       {Edit("cow", "O'Brien", Edit("Mammalia.", "Bishop's"))},
       "s=O''Brien|t=Eukaryota; Metazoa; Bishop''s|\n"},
      // Without format checking any order is taken, and a LOCUS line with a
      // name ends a sequence; a bare one is sequence data.
      {{.Label_List = "oh", .Format_Check = false},
       {"ORIGIN\n 1 aa\nLOCUS       \nLOCUS       r2\n  ORGANISM  o2\n\nORIGIN\n 1 cc\n//\n"
        "ORIGIN\n//\n"},
       "o=|h=|\n   1 aa\n  LOCUS       \no=o2|h=UNKNOWN|\n   1 cc\no=o2|h=UNKNOWN|\n"},
      // The next input goes on with a sequence that an input ended in (one
      // final line feed is no line).
      {{.Label_List = "a"}, {Edit("//x\n", ""), " 61 cc\n//\n" + kRecord},
       "a=AB000001XY2|\n          1 acgtAC-GT* 1..\n   61 cc\na=AB000001XY2|\n" + kLines},
  };
  for (const auto& [config, inputs, transcript] : cases)
    EXPECT_EQ(Scan(inputs, config), transcript);
}

// The host and the country by today's names and the older ones, at the
// shortest lines that carry a value; the last one read wins. A record that
// lacks a value shows UNKNOWN, never the value of the record before it.
TEST(Scanner, ReadsTodaysQualifierNamesAndResetsEveryValueAtLocus) {
  const std::string q(21, ' ');
  const std::string bare = "LOCUS       X2\nORIGIN\n//\n";
  const std::tuple<Run_Configuration, std::string, std::string> cases[] = {
      {{.Label_List = "hc"}, Edit(kTaxon, kTaxon + q + "/host=\"H\"\n" + q + "/geo_loc_name=\"J\"\n"),
       "h=H|c=J|\n" + kLines},
      {{.Label_List = "hc"}, Edit(kTaxon, kTaxon + q + "/host=\"\"\n" + q + "/geo_loc_name=\"\"\n"),
       "h=Homo_sapiens_(human|c=Japan:_Kyoto|\n" + kLines},
      {{.Label_List = "c"}, Edit("/country=\"Japan: Kyoto\"", "/geo_loc_name=\"Japan: Kyoto\""),
       "c=Japan:_Kyoto|\n" + kLines},
      {{.Label_List = "h"}, Edit("/specific_host=", "/host="), "h=Homo_sapiens_(human|\n" + kLines},
      // /lab_host is not the host; a wrapped value gives its first line.
      {{.Label_List = "hcl", .Format_Check = false},
       Edit(kTaxon, kTaxon + q + "/lab_host=\"L\"\n" + q + "/host=\"Bos taurus\n" + q + "indicus\"\n" + q +
                        "/geo_loc_name=\"Peru\"\n") + bare,
       "h=Bos_tauru|c=Peru|l=1_N|\n" + kLines + "h=UNKNOWN|c=UNKNOWN|l=UNKNOWN|\n"},
      {{.Label_List = "adsotpjiu", .Format_Check = false}, kRecord + bare,
       "a=AB000001XY2|d=Thing_one,|s=cow|o=Bos_taurus|t=Eukaryota;_Metazoa;_Mammalia.|p=Doe,J.|"
       "j=J._Cows_1|i=9913|u=|\n" + kLines +
       "a=UNKNOWN|d=UNKNOWN|s=UNKNOWN|o=UNKNOWN|t=UNKNOWN|p=UNKNOWN|j=UNKNOWN|i=UNKNOWN|u=|\n"},
  };
  for (const auto& [config, text, transcript] : cases) EXPECT_EQ(Scan({text}, config), transcript) << text;
}

TEST(Scanner, StopsAtTheFirstLineOutOfOrder) {
  // kRecord with From replaced by To, and the line that stops it.
  const std::vector<std::tuple<std::string, std::string, std::string>> edits = {
      {"LOCUS       X1 10 bp\n", "", "STOP vs. START : DEFINITION  Thing one,"},
      {"DEFINITION  Thing one,\r", "DEFINITION", "START vs. DEFINITION : ACCESSION   AB_000 001 XY2"},
      {"ACCESSION   AB_000 001 XY2\n", "", "DEFINITION vs. ACCESSION : SOURCE      cow"},
      {"SOURCE      cow\n", "", "ACCESSION vs. SOURCE :   ORGANISM   Bos taurus "},
      {"  ORGANISM   Bos taurus \n", "", "SOURCE vs. ORGANISM :   AUTHORS   Doe,J."},
      {"  AUTHORS   Doe,J.", "  CONSRTM   Cows", "ORGANISM vs. AUTHORS :   JOURNAL   J. Cows 1"},
      // The line that ends the taxonomy is not examined.
      {"REFERENCE   1\n", "", "ORGANISM vs. AUTHORS :   JOURNAL   J. Cows 1"},
      {kTaxon, kTaxon + kTaxon, "TAXON_ID vs. JOURNAL : " + kTaxon.substr(0, 42)},
      {kTaxon, "", "JOURNAL vs. TAXON_ID : ORIGIN1"},
  };
  const std::string error = "TARVELO.GENBANK_FORMAT_ERROR : ";
  for (const auto& [from, to, message] : edits)
    EXPECT_EQ(Scan({Edit(from, to)}, {.Label_List = "a"}), error + message);
  // The line number counts physical lines, not the pieces of a long one, and
  // one final line feed left is the end of the input there too.
  std::string cut = Edit("continued.", std::string(150, 'c'));
  cut.resize(cut.find("REFERENCE"));
  const std::string end =
      "TARVELO.READ_FILE.END_ERROR : end of input inside the taxonomy lines after line 8 of in.gb";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{Edit("ORIGIN1", "ORIGIN       x"), kRecord}, error + "TAXON_ID vs. STOP : LOCUS       X1 10 bp"},
      {{Edit("//x\n", "") + kRecord},
       "a=AB000001XY2|\n" + kLines + error + "SEQUENCE vs. STOP : LOCUS       X1 10 bp"},
      {{cut}, end},
      {{cut + "\n"}, end},
  };
  for (const auto& [inputs, transcript] : cases) EXPECT_EQ(Scan(inputs, {.Label_List = "a"}), transcript);
}

}  // namespace
