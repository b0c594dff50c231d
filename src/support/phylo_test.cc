#include "support/phylo.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// Each map changes exactly the codes of its inclusive ranges, to '_'.
TEST(LabelMaps, ChangeExactlyTheirCodesToUnderscore) {
  using Ranges = std::vector<std::pair<unsigned, unsigned>>;
  const std::pair<const Textutils::Character_Mapping&, Ranges> maps[] = {
      {Phylo::No_Space, {{32, 32}}},
      {Phylo::Newick_Label_Map,
       {{0, 32}, {39, 41}, {44, 44}, {58, 59}, {91, 91}, {93, 93}, {127, 159}}},
      {Phylo::Nexus_Label_Map,
       {{0, 32},
        {34, 34},
        {39, 45},
        {47, 47},
        {58, 62},
        {91, 93},
        {96, 96},
        {123, 123},
        {125, 125},
        {127, 159}}},
      {Phylo::Word_Map,
       {{0, 47}, {58, 64}, {91, 94}, {96, 96}, {123, 191}, {215, 215}, {247, 247}}},
  };
  for (const auto& [map, ranges] : maps) {
    std::string changed, expected;
    for (unsigned c = 0; c < 256; ++c)
      if (map[c] != c) changed += std::to_string(c) + (map[c] == '_' ? " " : "? ");
    for (auto [lo, hi] : ranges)
      for (unsigned c = lo; c <= hi; ++c) expected += std::to_string(c) + " ";
    EXPECT_EQ(changed, expected);
  }
}

}  // namespace
