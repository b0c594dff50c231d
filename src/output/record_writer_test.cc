#include "output/record_writer.h"

#include <gtest/gtest.h>

#include "string_source.h"
#include <sys/mman.h>
#include <unistd.h>

#include <random>
#include <string>

#include "kernels/test_lines.h"

namespace {

// Converts Text, served in slices of Chunk bytes, into output of the given
// buffer Capacity, with the kernels of Level; with Whole_Runs off every
// sequence line goes to the writer one by one. Returns the output, then the
// failure that ended the run.
std::string Convert(const std::string& text, std::size_t chunk, const Run_Configuration& config,
                    std::size_t capacity, Kernel_Level level, bool whole_runs) {
  struct One_By_One : Record_Sink {
    explicit One_By_One(Record_Writer& w) : writer(w) {}
    void Print_Label() override { writer.Print_Label(); }
    void Sequence_Line(std::string_view line) override { writer.Sequence_Line(line); }
    Record_Writer& writer;
  };
  const int fd = memfd_create("out", 0);
  Output_Stream out(fd, "out", capacity);
  Reader_State state;
  Record_Writer writer(config, state.Components, out, nullptr, Kernels_Of(level));
  One_By_One lines(writer);
  std::string failure;
  try {
    String_Source source(text, "in.gb", chunk);
    Line_Reader reader(source);
    Read_File(reader, state, config, whole_runs ? static_cast<Record_Sink&>(writer) : lines);
  } catch (const Failure& f) {
    failure = f.Full_Name() + " : " + f.Message();
  }
  out.Flush();
  std::string result(static_cast<std::size_t>(lseek(fd, 0, SEEK_CUR)), '\0');
  EXPECT_EQ(pread(fd, result.data(), result.size(), 0), static_cast<ssize_t>(result.size()));
  close(fd);
  return result + failure;
}

// Runs of ordinary sequence lines taken at once give the output of the same
// lines taken one by one with the portable kernels, at every kernel level:
// with every kind of line that ends a run, records without "//", LOCUS inside
// a sequence, an input that ends in every way or inside the taxonomy lines
// (whose message counts the lines), slices of every size and a nearly full
// output buffer.
TEST(RecordWriter, RunsOfSequenceLinesGiveTheOutputOfSingleLinesAtEveryLevel) {
  std::mt19937 random(5);
  for (int round = 0; round < 600; ++round) {
    std::string text;
    for (int records = 1 + random() % 3; records > 0; --records) {
      text += "LOCUS       A\nACCESSION   A" + std::to_string(round) + "\nORIGIN\n";
      text += Test_Lines::Sequence_Section(random, random() % 60);
      if (random() % 4 != 0) text += "//\n";
    }
    if (random() % 5 == 0) text += "  ORGANISM  o\n            a;\n";
    if (random() % 3 == 0) text.resize(random() % (text.size() + 1));
    if (random() % 2 == 0) text += Test_Lines::Input_Endings[random() % Test_Lines::Input_Endings.size()];
    const std::size_t chunk = random() % 4 == 0 ? std::string::npos : 1 + random() % 300;
    const std::size_t capacity = random() % 2 == 0 ? Output_Stream::Default_Capacity : 16 * 1024 + 100;
    Run_Configuration config;
    config.Format_Check = false;
    config.Tab_Separated = random() % 4 == 0;
    const std::string expected = Convert(text, chunk, config, capacity, Kernel_Level::PORTABLE, false);
    for (Kernel_Level level : Available_Kernel_Levels())
      for (bool whole_runs : {true, false})
        ASSERT_EQ(Convert(text, chunk, config, capacity, level, whole_runs), expected)
            << Kernels_Of(level).name << (whole_runs ? " runs " : " lines ") << testing::PrintToString(text);
  }
}

// The same endings, whole, with what the output must be: a line feed left
// alone at the end is no line, and a line of 100 characters leaves its line
// feed for an empty line only when something follows.
TEST(RecordWriter, EveryWayAnInputEndsInsideASequence) {
  const std::string head = "LOCUS       A\nORIGIN\n        1 acgt\n";
  const std::string a100(100, 'a');
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "acgt\n"},
      {"\n", "acgt\n"},
      {"\n\n", "acgt\n\n"},
      {"\r\n", "acgt\n\n"},
      {"//\n\n", "acgt\n"},
      {a100 + "\n", "acgt\n" + a100 + "\n"},
      {a100 + "\n\n", "acgt\n" + a100 + "\n\n"},
      {std::string(150, 'a') + "\n\n", "acgt\n" + a100 + "\n" + std::string(50, 'a') + "\n"},
      {" ac", "acgt\nac\n"},
  };
  Run_Configuration config;
  config.Format_Check = false;
  config.Label_List = "";
  for (const auto& [ending, sequence] : cases)
    for (Kernel_Level level : Available_Kernel_Levels())
      for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::string::npos})
        EXPECT_EQ(Convert(head + ending, chunk, config, Output_Stream::Default_Capacity, level, true),
                  ">\n" + sequence)
            << Kernels_Of(level).name << " " << testing::PrintToString(ending) << " " << chunk;
}

}  // namespace
