#include "support/textutils.h"

#include <gtest/gtest.h>

#include <string>


using namespace Textutils;
using enum Replace_Type;

namespace {

const Character_Mapping kLower = To_Mapping("ABC", "abc");

TEST(CharacterSets, HoldExactlyTheirCodes) {
  std::string letters, whitespace;
  for (int c = 0; c < 256; ++c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 192 && c != 215 && c != 247))
      letters += char(c);
    if (c <= 32 || (c >= 127 && c <= 159)) whitespace += char(c);
  }
  EXPECT_EQ(To_Sequence(Letter_Set), letters);
  EXPECT_EQ(To_Sequence(Whitespace), whitespace);
}

TEST(Trim, DropsOnlyLeadingLeftAndTrailingRightMembers) {
  EXPECT_EQ(Trim("\t\r\x7F a b \x7F\r\t", Whitespace, Whitespace), "a b");
  EXPECT_EQ(Trim(" \t \r", Whitespace, Whitespace), "");
  EXPECT_EQ(Trim("xyx", To_Set("x"), To_Set("y")), "yx");
}

TEST(BeforeAfter, SearchDirectionsAbsentPatternAndMapping) {
  struct {
    bool after;
    const char *source, *pattern;
    Replace_Type occurrence;
    bool absent_at_start;
    const char* expected;
  } const cases[] = {
      {false, "a.b.c", ".", EVERY, false, "a"},  {false, "a.b.c", ".", LAST, false, "a.b"},
      {true, "a.b.c", ".", FIRST, false, "b.c"}, {true, "a.b.c", ".", EVERY, false, "c"},
      {true, "a.b.c", ".", LAST, false, "c"},    {false, "abc", ".", LAST, false, "abc"},
      {false, "abc", ".", LAST, true, ""},       {true, "abc", ".", LAST, false, ""},
      {true, "abc", ".", LAST, true, "abc"},     {false, "ab", "abc", FIRST, false, "ab"},
      {true, "aXbXXc", "XX", FIRST, false, "c"}, {false, "aXXXb", "XX", LAST, false, "aX"},
  };
  for (const auto& c : cases)
    EXPECT_EQ((c.after ? After : Before)(c.source, c.pattern, c.occurrence, c.absent_at_start,
                                         Identity),
              c.expected)
        << c.after << " " << c.source << " " << c.pattern << " " << int(c.occurrence);
  // The mapping applies to Source only.
  EXPECT_EQ(Before("xxBcyy", "bc", FIRST, false, kLower), "xx");
  EXPECT_EQ(Before("xxbcyy", "BC", FIRST, true, kLower), "");
}

TEST(Basename, DropsDirectoriesAndLastExtension) {
  for (const auto& [path, base] :
       {std::pair{"/data/run1/seq.gb", "seq"}, {"seq.tar.gz", "seq.tar"}, {"noext", "noext"},
        {"x.", "x"}, {"dir.d/file", "file"}, {"dir/", ""}, {".profile", ""}, {"", ""},
        {"C:\\data\\seq.v2.gb", "C:\\data\\seq.v2"}})
    EXPECT_EQ(Basename(path), base) << path;
}

TEST(StringMap, ReplacesChosenOccurrencesWithoutRescanning) {
  struct {
    const char *source, *from, *to;
    Replace_Type occurrence;
    const char* expected;
  } const cases[] = {
      {"it's", "'", "''", EVERY, "it''s"},  {"a'b'c", "'", "''", FIRST, "a''b'c"},
      {"a'b'c", "'", "''", LAST, "a'b''c"}, {"'a''", "'", "''", EVERY, "''a''''"},
      {"aaa", "aa", "b", EVERY, "ba"},      {"aaa", "aa", "b", LAST, "ab"},
      {"abab", "ab", "", EVERY, ""},        {"", "a", "b", EVERY, ""},
      {"abc", "", "-", EVERY, "a-b-c"},     {"abc", "", "-", FIRST, "a-bc"},
      {"abc", "", "-", LAST, "ab-c"},       {"a", "", "-", EVERY, "a"},
      {"abc", "", "", EVERY, "abc"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(String_Map(c.source, c.from, c.to, c.occurrence, Identity), c.expected)
        << c.source << " " << c.from << " " << int(c.occurrence);
  // Searched under the mapping, cut from the unmapped text; From equal to To changes nothing.
  EXPECT_EQ(String_Map("xAbyaB", "ab", "-", EVERY, kLower), "x-y-");
  EXPECT_EQ(String_Map("AB", "AB", "AB", EVERY, kLower), "AB");
  // A long input needs no deep calls.
  EXPECT_EQ(String_Map(std::string(1'000'000, '\''), "'", "''", EVERY, Identity),
            std::string(2'000'000, '\''));
  EXPECT_EQ(String_Map(std::string(1'000'000, 'a'), "", "-", EVERY, Identity).size(), 1'999'999u);
}

}  // namespace
