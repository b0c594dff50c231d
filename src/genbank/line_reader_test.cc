#include "genbank/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using V = std::vector<std::string>;

// The lines of Text served in slices of Chunk bytes, each followed by the
// number of the physical line it belongs to.
V Lines(const std::string& text, std::size_t chunk) {
  String_Source source(text, "test", chunk);
  Line_Reader reader(source);
  V lines;
  std::string_view line;
  while (!reader.At_End() && reader.Next_Line(line))
    lines.push_back(std::string(line) + "#" + std::to_string(reader.Line_Number()));
  return lines;
}

TEST(LineReader, SplitsAtOneHundredDropsOneCarriageReturnAndIgnoresOneFinalLineFeed) {
  const std::string a(100, 'a'), b(100, 'b'), c(50, 'c'), n(99, 'n');
  const std::vector<std::pair<std::string, V>> cases = {
      {a + b + c + "\nx\n", {a + "#1", b + "#1", c + "#1", "x#2"}},
      // A line of exactly 100 leaves its line feed for an empty line, unless
      // that line feed ends the input.
      {a + "\nx\n", {a + "#1", "#1", "x#2"}},
      {"x\n" + a + "\n", {"x#1", a + "#2"}},
      {"x\n" + a, {"x#1", a + "#2"}},
      {"a\r\r\nb\r\n\r\nc\rd\nlast\r", {"a\r#1", "b#2", "#3", "c\rd#4", "last#5"}},
      {n + "\r\nx\n", {n + "#1", "#1", "x#2"}},
      {"\n", {}},
      {"a\n\n", {"a#1"}},
      {"a\n\n\n", {"a#1", "#2"}},
  };
  for (std::size_t chunk : {1, 7, 99, 100, 101, 1 << 20})
    for (const auto& [text, lines] : cases)
      EXPECT_EQ(Lines(text, chunk), lines) << chunk << " " << text;
}

// A line that has arrived is handed over before the reader flushes and waits
// for more: the number of lines delivered at each flush.
TEST(LineReader, FlushesBeforeEveryReadThatMayBlock) {
  String_Source source(std::string(100, 'x') + "\ny\n", "test", 100, true);
  std::string flushes;
  int lines = 0;
  Line_Reader reader(source, [&] { flushes += std::to_string(lines) + " "; });
  std::string_view line;
  while (!reader.At_End() && reader.Next_Line(line)) ++lines;
  EXPECT_EQ(flushes, "0 1 3 ");
}

}  // namespace
