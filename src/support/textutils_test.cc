#include "support/textutils.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "support/failure.h"

using namespace Textutils;

namespace {

// The codes of the inclusive ranges, in order.
std::string Codes(std::initializer_list<std::pair<unsigned, unsigned>> ranges) {
  std::string r;
  for (auto [lo, hi] : ranges)
    for (unsigned c = lo; c <= hi; ++c) r.push_back(static_cast<char>(c));
  return r;
}

// "FULL_NAME: message" of the Failure that F throws.
template <class F>
std::string Failure_Of(F f) {
  try {
    f();
  } catch (const Failure& e) {
    return e.Full_Name() + ": " + e.Message();
  }
  return "no failure";
}

const Character_Set Strip_Set = Whitespace | To_Set("_");
const Character_Set Non_Letters = ~Letter_Set;

}  // namespace

TEST(CharacterSets, StandardClassesHoldExactlyTheirCodes) {
  EXPECT_EQ(To_Sequence(Control_Set), Codes({{0, 31}, {127, 159}}));
  EXPECT_EQ(To_Sequence(Graphic_Set), Codes({{32, 126}, {160, 255}}));
  EXPECT_EQ(To_Sequence(Letter_Set),
            Codes({{'A', 'Z'}, {'a', 'z'}, {192, 214}, {216, 246}, {248, 255}}));
  EXPECT_EQ(To_Sequence(Decimal_Digit_Set), "0123456789");
  EXPECT_EQ(To_Sequence(Whitespace), Codes({{0, 32}, {127, 159}}));
  EXPECT_EQ(To_Sequence(Blackspace), Codes({{33, 126}, {160, 255}}));
  EXPECT_EQ(To_Sequence(Null_Set), "");
}

TEST(CharacterSets, AlgebraAndMappingsTreatEveryCodeAlike) {
  EXPECT_EQ(To_Sequence(To_Set(std::string("b\0a\xFF" "b", 5))), std::string("\0ab\xFF", 4));
  EXPECT_EQ(To_Sequence(To_Set("abc") - To_Set("b\xE9")), "ac");
  EXPECT_EQ(Translate(std::string("a\0b", 3), Map_All(To_Set(std::string(1, '\0')), '_')), "a_b");
  EXPECT_EQ(Translate("[x].", To_Mapping("[].", "{}-")), "{x}-");
  EXPECT_EQ(Map_All(Null_Set, '_'), Identity);
  EXPECT_EQ(Translate(Codes({{0, 255}}), Map_All(~Null_Set, '#')), std::string(256, '#'));
}

TEST(Trim, DropsOnlyLeadingLeftAndTrailingRightMembers) {
  EXPECT_EQ(Trim("\t\r\x7F a b \x7F\r\t", Whitespace, Whitespace), "a b");
  EXPECT_EQ(Trim("\xA0" "a\xA0", Whitespace, Whitespace), "\xA0" "a\xA0");
  EXPECT_EQ(Trim(" \t \r", Whitespace, Whitespace), "");
  EXPECT_EQ(Trim("", Whitespace, Whitespace), "");
  EXPECT_EQ(Trim("__a__", To_Set("_"), Null_Set), "a__");
  EXPECT_EQ(Trim("__a__", Null_Set, To_Set("_")), "__a");
  EXPECT_EQ(Trim("xyx", To_Set("x"), To_Set("y")), "yx");
}

TEST(IsIn, ChecksEveryCharacterAndRejectsEmptyInputs) {
  EXPECT_TRUE(Is_In("ab", Letter_Set));
  EXPECT_FALSE(Is_In("ab1", Letter_Set));
  EXPECT_FALSE(Is_In("1ab", Letter_Set));
  EXPECT_EQ(Failure_Of([] { Is_In("", Letter_Set); }), "TEXTUTILS.LENGTH_ERROR: textutils:84");
  EXPECT_EQ(Failure_Of([] { Is_In("", Null_Set); }), "TEXTUTILS.LENGTH_ERROR: textutils:84");
  EXPECT_EQ(Failure_Of([] { Is_In("a", Null_Set); }), "TEXTUTILS.PATTERN_ERROR: textutils:86");
}

TEST(Remove, KeepsNonMembersInOrder) {
  EXPECT_EQ(Remove("a b_c", Strip_Set), "abc");
  EXPECT_EQ(Remove("AB123456 \tXY_9\r", Strip_Set), "AB123456XY9");
  EXPECT_EQ(Remove("acgt 10", Non_Letters), "acgt");
  EXPECT_EQ(Remove(std::string("a\0\xE9", 3), Non_Letters), "a\xE9");
  EXPECT_EQ(Remove(" _\t_ ", Strip_Set), "");
  EXPECT_EQ(Failure_Of([] { Remove("abc", Null_Set); }), "TEXTUTILS.PATTERN_ERROR: textutils:138");
}

TEST(BeforeAfter, SearchDirectionsAndAbsentPattern) {
  using enum Replace_Type;
  EXPECT_EQ(Before("a.b.c", ".", FIRST, false, Identity), "a");
  EXPECT_EQ(Before("a.b.c", ".", EVERY, false, Identity), "a");
  EXPECT_EQ(Before("a.b.c", ".", LAST, false, Identity), "a.b");
  EXPECT_EQ(After("a.b.c", ".", FIRST, false, Identity), "b.c");
  EXPECT_EQ(After("a.b.c", ".", EVERY, false, Identity), "c");
  EXPECT_EQ(After("a.b.c", ".", LAST, false, Identity), "c");

  EXPECT_EQ(Before("abc", ".", LAST, false, Identity), "abc");
  EXPECT_EQ(Before("abc", ".", LAST, true, Identity), "");
  EXPECT_EQ(After("abc", ".", LAST, false, Identity), "");
  EXPECT_EQ(After("abc", ".", LAST, true, Identity), "abc");
  EXPECT_EQ(Before("ab", "abc", FIRST, false, Identity), "ab");
  EXPECT_EQ(After("", "a", FIRST, true, Identity), "");

  EXPECT_EQ(Before(".abc.", ".", FIRST, true, Identity), "");
  EXPECT_EQ(After(".abc.", ".", LAST, false, Identity), "");
  EXPECT_EQ(After("aXbXXc", "XX", FIRST, false, Identity), "c");
  EXPECT_EQ(Before("aXXXb", "XX", LAST, false, Identity), "aX");
}

TEST(BeforeAfter, MappingAppliesToSourceOnly) {
  using enum Replace_Type;
  const Character_Mapping lower = To_Mapping("ABC", "abc");
  EXPECT_EQ(Before("xxBcyy", "bc", FIRST, false, lower), "xx");
  EXPECT_EQ(After("xxBCyyBc", "bc", FIRST, false, lower), "yyBc");
  EXPECT_EQ(Before("xxbcyy", "BC", FIRST, true, lower), "");
  EXPECT_EQ(Failure_Of([] { Before("abc", "", FIRST, false, Identity); }),
            "TEXTUTILS.PATTERN_ERROR: empty pattern");
  EXPECT_EQ(Failure_Of([] { After("", "", LAST, true, Identity); }),
            "TEXTUTILS.PATTERN_ERROR: empty pattern");
}

TEST(Basename, DropsDirectoriesAndLastExtension) {
  EXPECT_EQ(Basename("/data/run1/seq.gb"), "seq");
  EXPECT_EQ(Basename("seq.tar.gz"), "seq.tar");
  EXPECT_EQ(Basename("noext"), "noext");
  EXPECT_EQ(Basename("x."), "x");
  EXPECT_EQ(Basename("dir.d/file"), "file");
  EXPECT_EQ(Basename("dir/"), "");
  EXPECT_EQ(Basename(".profile"), "");
  EXPECT_EQ(Basename(""), "");
  EXPECT_EQ(Basename("C:\\data\\seq.v2.gb"), "C:\\data\\seq.v2");
}

TEST(StringMap, ReplacesChosenOccurrencesWithoutRescanning) {
  using enum Replace_Type;
  EXPECT_EQ(String_Map("it's", "'", "''", EVERY, Identity), "it''s");
  EXPECT_EQ(String_Map("a'b'c", "'", "''", FIRST, Identity), "a''b'c");
  EXPECT_EQ(String_Map("a'b'c", "'", "''", LAST, Identity), "a'b''c");
  EXPECT_EQ(String_Map("'a''", "'", "''", EVERY, Identity), "''a''''");
  EXPECT_EQ(String_Map("aaa", "aa", "b", EVERY, Identity), "ba");
  EXPECT_EQ(String_Map("aaa", "aa", "b", FIRST, Identity), "ba");
  EXPECT_EQ(String_Map("aaa", "aa", "b", LAST, Identity), "ab");
  EXPECT_EQ(String_Map("abab", "ab", "", EVERY, Identity), "");
  EXPECT_EQ(String_Map("", "a", "b", EVERY, Identity), "");
}

TEST(StringMap, EmptyFromInsertsBetweenCharacters) {
  using enum Replace_Type;
  EXPECT_EQ(String_Map("abc", "", "-", EVERY, Identity), "a-b-c");
  EXPECT_EQ(String_Map("abc", "", "-", FIRST, Identity), "a-bc");
  EXPECT_EQ(String_Map("abc", "", "-", LAST, Identity), "ab-c");
  EXPECT_EQ(String_Map("ab", "", "<>", EVERY, Identity), "a<>b");
  for (Replace_Type r : {FIRST, EVERY, LAST}) {
    EXPECT_EQ(String_Map("a", "", "-", r, Identity), "a");
    EXPECT_EQ(String_Map("abc", "", "", r, Identity), "abc");
  }
}

TEST(StringMap, SearchesUnderMappingButKeepsUnmappedText) {
  using enum Replace_Type;
  const Character_Mapping lower = To_Mapping("AB", "ab");
  EXPECT_EQ(String_Map("xAbyaB", "ab", "-", EVERY, lower), "x-y-");
  EXPECT_EQ(String_Map("xAbyaB", "ab", "-", LAST, lower), "xAby-");
  EXPECT_EQ(String_Map("AAB", "AB", "-", EVERY, lower), "AAB");
  EXPECT_EQ(String_Map("AB", "AB", "AB", EVERY, lower), "AB");
  EXPECT_EQ(String_Map("a b", " ", " ", EVERY, Map_All(~Null_Set, 'x')), "a b");
}

TEST(StringMap, LongInputsNeedNoDeepCalls) {
  using enum Replace_Type;
  const std::string quotes(1'000'000, '\'');
  EXPECT_EQ(String_Map(quotes, "'", "''", EVERY, Identity), std::string(2'000'000, '\''));
  const std::string letters(1'000'000, 'a');
  const std::string spread = String_Map(letters, "", "-", EVERY, Identity);
  ASSERT_EQ(spread.size(), 1'999'999u);
  EXPECT_EQ(spread.substr(0, 5), "a-a-a");
  EXPECT_EQ(spread.substr(spread.size() - 3), "a-a");
}
