#include "support/textutils-m4utils.h"

#include <gtest/gtest.h>

#include <string>

using namespace Textutils::M4utils;
using enum Quote_Type;

namespace {

TEST(IsMacro, AsciiLettersDigitsUnderscoreNotLeadingDigitNorAnM4Name) {
  for (const char* name : {"_", "a1_b", "XM123456", "DEFINE", "define_", "__file", "unix1"})
    EXPECT_TRUE(Is_Macro(name)) << name;
  for (const char* name : {"", "1a", "a.b", "a b", "a'", "\xE9" "1", "AB\xE9", "dnl", "__file__",
                           "unix", "__windows__"})  // the last two: m4 on other platforms
    EXPECT_FALSE(Is_Macro(name)) << name;
}

TEST(ToDef, QuotesTheExpansionPerLevel) {
  EXPECT_EQ(To_Exp("a`b", NONE), "a'b");
  EXPECT_EQ(To_Exp("", SINGLE), "`'");
  EXPECT_EQ(To_Exp("'a b'", SINGLE), "`''`a b''`'");
  EXPECT_EQ(To_Exp("'a b'", DOUBLE), "``'''``a b'''``''");
  EXPECT_EQ(To_Def("X1", "a`b", SINGLE), "define(`X1',`a''`b')");
  EXPECT_EQ(To_Def("X1", "abc", DOUBLE, "G", false), "ifdef(`G',`define(`X1','```abc'''`)')");
  EXPECT_EQ(To_Def("X1", "it's", SINGLE, "G", true), "ifdef(`G',,`define(`X1','``it'''``s''`)')");
  // A bad name or guard builds nothing.
  EXPECT_THROW(To_Def("1X", "abc", DOUBLE), Invalid_Macro_Name);
  EXPECT_THROW(To_Def("X1", "abc", DOUBLE, "no guard"), Invalid_Macro_Name);
}

}  // namespace
