#include "support/textutils.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace Textutils;
using enum Replace_Type;

namespace {

// Each row: a result and what it must be. String_Map searches forward for
// FIRST and EVERY, backward for LAST; a mapping applies to the source only,
// for the search; String_Map never rescans what it inserted.
TEST(StringHelpers, TrimBasenameAndStringMap) {
  const Character_Mapping lower = To_Mapping("ABC", "abc");
  const std::pair<std::string, std::string> rows[] = {
      {std::string(Trim("\t\r\x7F a b \x7F\r\t", Whitespace, Whitespace)), "a b"},
      {std::string(Trim(" \t \r", Whitespace, Whitespace)), ""},
      {std::string(Trim("xyx", To_Set("x"), To_Set("y"))), "yx"},
      {Basename("seq.tar.gz"), "seq.tar"},
      {Basename("dir.d/file"), "file"},
      {Basename(".profile"), ""},
      {Basename("x."), "x"},
      {Basename("/dir.d/x.gb.gz"), "x.gb"},
      {String_Map("a'b'c", "'", "''", FIRST, Identity), "a''b'c"},
      {String_Map("'a''", "'", "''", EVERY, Identity), "''a''''"},
      {String_Map("aaa", "aa", "b", EVERY, Identity), "ba"},
      {String_Map("aaa", "aa", "b", LAST, Identity), "ab"},
      {String_Map("ab", "ab", "x", FIRST, Identity), "x"},
      {String_Map("ab", "abc", "x", LAST, Identity), "ab"},
      {String_Map("abc", "", "-", EVERY, Identity), "a-b-c"},
      {String_Map("abc", "", "-", LAST, Identity), "ab-c"},
      {String_Map("a", "", "-", FIRST, Identity), "a"},
      {String_Map("xAbyaB", "ab", "-", EVERY, lower), "x-y-"},
      {String_Map("AB", "AB", "AB", EVERY, lower), "AB"},
      // A long input needs no deep calls.
      {String_Map(std::string(1'000'000, '\''), "'", "''", EVERY, Identity),
       std::string(2'000'000, '\'')},
  };
  for (const auto& row : rows) EXPECT_EQ(row.first, row.second) << "row " << &row - rows;
}

}  // namespace
