#include "support/phylo.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

using Textutils::Character_Mapping;
using Textutils::Translate;

namespace {

// The codes of the inclusive ranges, in order.
std::string Codes(std::initializer_list<std::pair<unsigned, unsigned>> ranges) {
  std::string r;
  for (auto [lo, hi] : ranges)
    for (unsigned c = lo; c <= hi; ++c) r.push_back(static_cast<char>(c));
  return r;
}

// The codes that MAP changes, in order; fails the test if any goes elsewhere than '_'.
std::string Changed(const Character_Mapping& map) {
  std::string r;
  for (unsigned c = 0; c < 256; ++c) {
    if (map[c] == c) continue;
    EXPECT_EQ(map[c], '_') << "code " << c;
    r.push_back(static_cast<char>(c));
  }
  return r;
}

}  // namespace

TEST(LabelMaps, ChangeExactlyTheirCodesToUnderscore) {
  EXPECT_EQ(Changed(Phylo::No_Space), " ");

  const std::string newick = Changed(Phylo::Newick_Label_Map);
  EXPECT_EQ(newick, Codes({{0, 32}, {39, 41}, {44, 44}, {58, 59}, {127, 159}}));
  EXPECT_EQ(newick.size(), 72u);

  const std::string nexus = Changed(Phylo::Nexus_Label_Map);
  EXPECT_EQ(nexus, Codes({{0, 32}, {34, 34}, {39, 45}, {47, 47}, {58, 62}, {91, 93}, {96, 96},
                          {123, 123}, {125, 125}, {127, 159}}));
  EXPECT_EQ(nexus.size(), 86u);

  const std::string word = Changed(Phylo::Word_Map);
  EXPECT_EQ(word, Codes({{0, 47}, {58, 64}, {91, 94}, {96, 96}, {123, 191}, {215, 215},
                         {247, 247}}));
  EXPECT_EQ(word.size(), 131u);
}

TEST(LabelMaps, CleanTypicalLabels) {
  EXPECT_EQ(Translate("a b", Phylo::No_Space), "a_b");
  EXPECT_EQ(Translate("a\tb", Phylo::No_Space), "a\tb");

  EXPECT_EQ(Translate("Homo sapiens (human)", Phylo::Newick_Label_Map), "Homo_sapiens__human_");
  EXPECT_EQ(Translate("x[1]", Phylo::Newick_Label_Map), "x[1]");
  EXPECT_EQ(Translate("x[1]", Phylo::Nexus_Label_Map), "x_1_");
  EXPECT_EQ(Translate("a-b+c", Phylo::Newick_Label_Map), "a-b+c");
  EXPECT_EQ(Translate("a-b+c", Phylo::Nexus_Label_Map), "a_b_c");
  EXPECT_EQ(Translate("it's", Phylo::Nexus_Label_Map), "it_s");

  const std::string kept = "._|\xA0\xE9\xFF";
  const std::string dropped = "\x7F\x80\x9F";
  for (const Character_Mapping* map : {&Phylo::Newick_Label_Map, &Phylo::Nexus_Label_Map}) {
    EXPECT_EQ(Translate(kept, *map), kept);
    EXPECT_EQ(Translate(dropped, *map), "___");
  }

  EXPECT_EQ(Translate("B.1-2", Phylo::Word_Map), "B_1_2");
  EXPECT_EQ(Translate("\xE9\xD7\xF7\xA0", Phylo::Word_Map), "\xE9___");
}
