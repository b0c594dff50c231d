#include "support/textutils-m4utils.h"

#include <gtest/gtest.h>

#include <string>

using namespace Textutils::M4utils;

namespace {

// "FULL_NAME: message" of the Failure that To_Def throws.
std::string Def_Failure(std::string_view name, std::string_view guard = {}) {
  try {
    To_Def(name, "abc", Quote_Type::DOUBLE, guard);
  } catch (const Failure& e) {
    return e.Full_Name() + ": " + e.Message();
  }
  return "no failure";
}

}  // namespace

TEST(IsMacro, AcceptsLettersDigitsUnderscoreNotLeadingDigit) {
  EXPECT_TRUE(Is_Macro("_"));
  EXPECT_TRUE(Is_Macro("a1_b"));
  EXPECT_TRUE(Is_Macro("XM123456"));
  EXPECT_TRUE(Is_Macro("\xE9" "1"));
  EXPECT_TRUE(Is_Macro("\xC0\xD8\xF8\xFF"));
  EXPECT_FALSE(Is_Macro(""));
  EXPECT_FALSE(Is_Macro("1"));
  EXPECT_FALSE(Is_Macro("1a"));
  EXPECT_FALSE(Is_Macro("a.b"));
  EXPECT_FALSE(Is_Macro("a b"));
  EXPECT_FALSE(Is_Macro("a'"));
  EXPECT_FALSE(Is_Macro("a\xD7"));
  EXPECT_FALSE(Is_Macro(std::string("a\0", 2)));
}

TEST(ToExp, QuotesAndEscapesPerLevel) {
  using enum Quote_Type;
  EXPECT_EQ(To_Exp("a`b", NONE), "a'b");
  EXPECT_EQ(To_Exp("", NONE), "");
  EXPECT_EQ(To_Exp("", SINGLE), "`'");
  EXPECT_EQ(To_Exp("", DOUBLE), "``''");
  EXPECT_EQ(To_Exp("it's", SINGLE), "`it''`s'");
  EXPECT_EQ(To_Exp("it's", DOUBLE), "``it'''``s''");
  EXPECT_EQ(To_Exp("'a b'", SINGLE), "`''`a b''`'");
  EXPECT_EQ(To_Exp("'a b'", DOUBLE), "``'''``a b'''``''");
  EXPECT_EQ(To_Exp("a`b", DOUBLE), "``a'''``b''");
  EXPECT_EQ(To_Exp("f(x, y)", SINGLE), "`f(x, y)'");
}

TEST(ToDef, BuildsOneDefinitionWithoutBlanks) {
  using enum Quote_Type;
  EXPECT_EQ(To_Def("X1", "abc", DOUBLE), "define(`X1',``abc'')");
  EXPECT_EQ(To_Def("X1", "abc", SINGLE), "define(`X1',`abc')");
  EXPECT_EQ(To_Def("X1", "abc", NONE), "define(`X1',abc)");
  EXPECT_EQ(To_Def("X1", "a`b", SINGLE), "define(`X1',`a''`b')");
  EXPECT_EQ(To_Def("AB000001", "Homo_sapiens_AB000001", DOUBLE),
            "define(`AB000001',``Homo_sapiens_AB000001'')");
}

TEST(ToDef, GuardWrapsTheUnguardedDefinition) {
  using enum Quote_Type;
  EXPECT_EQ(To_Def("X1", "abc", DOUBLE, "G", false), "ifdef(`G',`define(`X1','```abc'''`)')");
  EXPECT_EQ(To_Def("X1", "abc", DOUBLE, "G", true), "ifdef(`G',,`define(`X1','```abc'''`)')");
  EXPECT_EQ(To_Def("X1", "it's", SINGLE, "G", true), "ifdef(`G',,`define(`X1','``it'''``s''`)')");
  EXPECT_EQ(To_Def("X1", "a,b", NONE, "G"), "ifdef(`G',`define(`X1','`a,b'`)')");
}

TEST(ToDef, RejectsInvalidNamesWithTheQuotedName) {
  EXPECT_EQ(Def_Failure("1X"), "TEXTUTILS.M4UTILS.INVALID_MACRO_NAME: \"1X\"");
  EXPECT_EQ(Def_Failure(""), "TEXTUTILS.M4UTILS.INVALID_MACRO_NAME: \"\"");
  EXPECT_EQ(Def_Failure("AB.1"), "TEXTUTILS.M4UTILS.INVALID_MACRO_NAME: \"AB.1\"");
  EXPECT_EQ(Def_Failure("X1", "no guard"), "TEXTUTILS.M4UTILS.INVALID_MACRO_NAME: \"no guard\"");
}
