#include "support/phylo.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

namespace {

// The codes of the inclusive ranges, in order.
std::string Codes(std::initializer_list<std::pair<unsigned, unsigned>> ranges) {
  std::string r;
  for (auto [lo, hi] : ranges)
    for (unsigned c = lo; c <= hi; ++c) r.push_back(static_cast<char>(c));
  return r;
}

// The codes that Map changes, in order; fails the test if any goes elsewhere than '_'.
std::string Changed(const Textutils::Character_Mapping& map) {
  std::string r;
  for (unsigned c = 0; c < 256; ++c) {
    if (map[c] == c) continue;
    EXPECT_EQ(map[c], '_') << "code " << c;
    r.push_back(static_cast<char>(c));
  }
  return r;
}

TEST(LabelMaps, ChangeExactlyTheirCodesToUnderscore) {
  EXPECT_EQ(Changed(Phylo::No_Space), " ");
  EXPECT_EQ(Changed(Phylo::Newick_Label_Map),
            Codes({{0, 32}, {39, 41}, {44, 44}, {58, 59}, {91, 91}, {93, 93}, {127, 159}}));
  EXPECT_EQ(Changed(Phylo::Nexus_Label_Map), Codes({{0, 32}, {34, 34}, {39, 45}, {47, 47}, {58, 62},
                                                    {91, 93}, {96, 96}, {123, 123}, {125, 125},
                                                    {127, 159}}));
  EXPECT_EQ(Changed(Phylo::Word_Map),
            Codes({{0, 47}, {58, 64}, {91, 94}, {96, 96}, {123, 191}, {215, 215}, {247, 247}}));
}

}  // namespace
