#include "genbank/line_reader.h"

#include <gtest/gtest.h>

#include "string_source.h"

#include <string>

namespace {

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
  EXPECT_FALSE(reader.Next_Line(line));  // nothing left: no line, not even an empty one
}

}  // namespace
