#include "genbank/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Lines(const std::string& text, std::size_t chunk = 1 << 20) {
  String_Source source(text, "test", chunk, true);
  Line_Reader reader(source);
  std::vector<std::string> lines;
  std::string_view line;
  while (!reader.At_End() && reader.Next_Line(line)) lines.emplace_back(line);
  return lines;
}

using V = std::vector<std::string>;

TEST(LineReader, SplitsLongLinesIntoPiecesOfAtMostOneHundred) {
  const std::string a(100, 'a'), b(100, 'b'), c(50, 'c');
  for (std::size_t chunk : {1, 7, 99, 100, 101, 1 << 20}) {
    SCOPED_TRACE(chunk);
    EXPECT_EQ(Lines(a + b + c + "\n", chunk), (V{a, b, c}));
    // A line of exactly 100 leaves its line feed for an empty line...
    EXPECT_EQ(Lines(a + "\nx\n", chunk), (V{a, "", "x"}));
    // ...unless that line feed ends the input.
    EXPECT_EQ(Lines(a + "\n", chunk), (V{a}));
    EXPECT_EQ(Lines("x\n" + a, chunk), (V{"x", a}));
  }
}

TEST(LineReader, DropsOneCarriageReturnBeforeTheLineEnd) {
  EXPECT_EQ(Lines("ORIGIN\r\nab\r\n"), (V{"ORIGIN", "ab"}));
  EXPECT_EQ(Lines("\r\n"), (V{""}));
  EXPECT_EQ(Lines("a\r\r\n"), (V{"a\r"}));
  EXPECT_EQ(Lines("a\rb\n"), (V{"a\rb"}));
  EXPECT_EQ(Lines("last\r"), (V{"last"}));
  // 99 characters and a carriage return fill the buffer; the line feed gives an empty line.
  const std::string n99(99, 'n');
  EXPECT_EQ(Lines(n99 + "\r\nx\n"), (V{n99, "", "x"}));
}

TEST(LineReader, EndOfInputIgnoresOneFinalLineFeed) {
  EXPECT_EQ(Lines(""), V{});
  EXPECT_EQ(Lines("\n"), V{});
  EXPECT_EQ(Lines("a"), (V{"a"}));
  EXPECT_EQ(Lines("a\n\n"), (V{"a"}));
  EXPECT_EQ(Lines("a\n\n\n"), (V{"a", ""}));
  EXPECT_EQ(Lines(std::string("a\0b\n", 4)), (V{std::string("a\0b", 3)}));
}

TEST(LineReader, ReadingPastTheEndDeliversNothingAndCountsPhysicalLines) {
  String_Source source(std::string(150, 'x') + "\nlast\n");
  Line_Reader reader(source);
  std::string_view line;
  ASSERT_TRUE(reader.Next_Line(line));
  ASSERT_TRUE(reader.Next_Line(line));
  EXPECT_EQ(reader.Line_Number(), 1u);  // both pieces belong to line 1
  ASSERT_TRUE(reader.Next_Line(line));
  EXPECT_EQ(line, "last");
  EXPECT_EQ(reader.Line_Number(), 2u);
  EXPECT_FALSE(reader.Next_Line(line));
  EXPECT_TRUE(reader.At_End());
}

TEST(LineReader, FlushesBeforeEveryReadThatMayBlock) {
  String_Source source("a\nb\n", "test", 2, true);
  int flushes = 0;
  Line_Reader reader(source, [&] { ++flushes; });
  std::string_view line;
  while (!reader.At_End() && reader.Next_Line(line)) {
  }
  EXPECT_EQ(flushes, 3);  // two slices and the read that finds the end
}

}  // namespace

namespace {

// Every vector version must find the portable version's line feed, wherever
// it stands in or past the searched span.
TEST(LineFeedFinder, VectorVersionsAgreeWithThePortableOne) {
  for (std::size_t at = 0; at < Line_Feed_Search_Reach; ++at) {
    std::string block(Line_Feed_Search_Reach, 'a');
    block[at] = '\n';
    if (at + 7 < block.size()) block[at + 7] = '\n';
    const std::size_t expected = at < Line_Feed_Search_Span ? at : Line_Feed_Search_Span;
    for (Line_Feed_Finder f : Available_Line_Feed_Finders())
      ASSERT_EQ(Find_Line_Feed_With(f, block.data()), expected) << at;
  }
}

}  // namespace
