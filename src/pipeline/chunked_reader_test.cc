#include "pipeline/chunked_reader.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "genbank/line_reader.h"
#include "input/byte_source.h"
#include "kernels/test_lines.h"

namespace {

// Everything a conversion leaves: standard output, definitions, the failure,
// the reader's state (the values of the label letters included) and, after
// a completed reading, the file's offset, for whoever reads on.
struct Outcome {
  std::string out, m4, failure;
  Reader_State state;
  off_t offset = -1;
  bool operator==(const Outcome&) const = default;
};
void PrintTo(const Outcome& o, std::ostream* os) {
  std::vector<std::string> shown = {o.out, o.m4, o.failure, std::to_string(static_cast<int>(o.state.Position)),
                                    std::to_string(o.state.Authors_Seen) + std::to_string(o.state.Journal_Seen) +
                                        std::to_string(o.state.Record_Open),
                                    std::to_string(o.offset)};
  for (char letter = 'a'; letter <= 'z'; ++letter) shown.push_back(o.state.Components[letter]);
  *os << testing::PrintToString(shown);
}

// Converts the file on Fd from its start, line by line on this thread
// (Settings null) or in chunks.
Outcome Convert(int fd, const Run_Configuration& config, const Chunk_Settings* settings) {
  Outcome outcome;
  Output_Stream out("out"), m4("m4");
  Reader_State& state = outcome.state;
  state.Components['f'] = "F";
  Record_Writer writer(config, state.Components, out, config.M4_Mode ? &m4 : nullptr);
  lseek(fd, 0, SEEK_SET);
  try {
    if (settings != nullptr) {
      Read_File_In_Chunks(fd, "in.gb", *settings, state, config, writer, out, &m4);
    } else {
      Fd_Source source(fd, "in.gb");
      Line_Reader reader(source);
      Read_File(reader, state, config, writer);
    }
  } catch (const Failure& f) {
    outcome.failure = f.Full_Name() + " : " + f.Message();
  }
  outcome.out = out.Exchange({}).View();
  outcome.m4 = m4.Exchange({}).View();
  if (outcome.failure.empty()) outcome.offset = lseek(fd, 0, SEEK_CUR);
  return outcome;
}

// A record of Accession with Lines sequence lines; a damaged one has one
// fault of its own.
std::string Record(std::mt19937& random, const std::string& accession, std::size_t lines, bool damage) {
  std::vector<std::string> text = {
      "LOCUS       " + accession + " 100 bp",
      "DEFINITION  Thing " + accession + ", it's",
      "ACCESSION   " + accession,
      "SOURCE      cow",
      "  ORGANISM  Bos taurus",
      "            Eukaryota; Metazoa;",
      "REFERENCE   1",
      "  AUTHORS   Doe,J.",
      "  JOURNAL   J. Cows " + accession,
      "FEATURES             Location/Qualifiers",
      "                     /host=\"Homo sapiens\"",
      "                     /geo_loc_name=\"Peru\"",
      "                     /db_xref=\"taxon:9913\"",
      "ORIGIN"};
  std::string sequence = std::string(lines, ' ') + "1 acgtacgtac gt\n", end = "//\n", line_end = "\n";
  switch (damage ? random() % 16 : 0) {
    case 1: text.erase(text.begin() + random() % text.size()); break;  // a line left out
    case 2: {                                                           // a line twice
      const std::size_t k = random() % text.size();
      text.insert(text.begin() + k, text[k]);
      break;
    }
    case 3: text.pop_back(); break;  // no sequence section: a CON record
    case 4:                          // cut after the taxonomy, which swallows the next LOCUS line
      text.resize(6);
      sequence = end = "";
      break;
    case 5: end = ""; break;  // no "//": the sequence swallows the next record
    case 6: sequence = Test_Lines::Sequence_Section(random, lines); break;
    case 7: line_end = "\r\n"; break;
    case 8: end = "//x\n"; break;
    case 9:  // a LOCUS line that starts no record, in a record that lacks a value: the last record's shows
      text[0] = "LOCUS       ";
      text.erase(text.begin() + 1 + random() % (text.size() - 1));
      break;
  }
  std::string record;
  for (const std::string& line : text) record += line + line_end;
  return record + sequence + end;
}

// Chunks converted on other threads give, byte for byte, what the one thread
// gives, whatever the chunk size: with every option set, damaged records (a
// line left out or doubled, a record without "//" or swallowed, long lines,
// carriage returns, a CON record, a record cut after its taxonomy), failures in the middle of a chunk, an invalid macro name
// or label letter, and inputs that end inside a record.
TEST(ChunkedReader, GivesTheOutputOfOneThreadWhateverTheChunks) {
  std::mt19937 random(23);
  const int fd = memfd_create("in.gb", 0);
  ASSERT_GE(fd, 0);
  for (int round = 0; round < 500; ++round) {
    const bool damage = round % 2 == 1;
    std::string text = random() % 10 == 0 ? "junk before\n" : "";
    for (int records = 1 + random() % 40; records > 0; --records)
      text += Record(random, "A" + std::to_string(random() % 1000), random() % 12, damage);
    if (random() % 6 == 0) text.resize(random() % (text.size() + 1));
    // An input that ends inside the taxonomy lines fails with its line number.
    if (random() % 8 == 0) text += "LOCUS       Z9\n  ORGANISM  Bos taurus\n            Eukaryota;\n";
    // An input that ends in every way a sequence section can, in its last
    // record's sequence or after it.
    if (random() % 4 == 0) {
      if (text.ends_with("//\n") && random() % 2 == 0) text.resize(text.size() - 3);
      text += Test_Lines::Input_Endings[random() % Test_Lines::Input_Endings.size()];
    }
    if (random() % 20 == 0) text.replace(random() % text.size(), 1, "\n/");  // an accession m4 refuses
    ASSERT_EQ(ftruncate(fd, 0), 0);
    ASSERT_EQ(pwrite(fd, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
    Run_Configuration config;
    config.Format_Check = random() % 3 != 0;
    config.Tab_Separated = random() % 4 == 0;
    config.M4_Mode = random() % 3 == 0;
    config.Macro_Quotes = random() % 2 == 0 ? Quote_Type::DOUBLE : Quote_Type::SINGLE;
    const char* lists[] = {"oa", "adsotpjichlf", "ia", "", "t", "aX"};
    config.Label_List = lists[random() % 50 == 0 ? 5 : random() % 2 == 0 ? 1 : random() % 5];
    config.Taxon_Prefix = config.M4_Mode && config.Label_List.starts_with("i");
    const Outcome expected = Convert(fd, config, nullptr);
    Chunk_Settings settings;
    settings.workers = 1 + random() % 3;
    settings.chunk_size = 1 + random() % (random() % 2 == 0 ? 200 : 3000);
    settings.chunks_in_flight = 1 + random() % 5;
    settings.longest_chunk = settings.chunk_size * (1 + random() % 6);
    settings.straight_to_output = random() % 2 == 0;
    ASSERT_EQ(Convert(fd, config, &settings), expected)
        << testing::PrintToString(text) << " chunk " << settings.chunk_size << " longest " << settings.longest_chunk;
  }
  close(fd);
}

}  // namespace
