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

TEST(ToExp, QuotesTheExpansionPerLevel) {
  EXPECT_EQ(To_Exp("a`b", NONE), "a'b");
  EXPECT_EQ(To_Exp("", SINGLE), "`'");
  EXPECT_EQ(To_Exp("'a b'", SINGLE), "`''`a b''`'");
  EXPECT_EQ(To_Exp("'a b'", DOUBLE), "``'''``a b'''``''");
}

}  // namespace
