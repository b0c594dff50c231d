#include "output/sequence_filter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/textutils.h"

namespace {

std::string Filter(Letter_Filter f, const std::string& in) {
  std::string out(in.size() + Keep_Letters_Slack, '?');
  out.resize(Keep_Letters_With(f, in.data(), in.size(), out.data()));
  return out;
}

TEST(SequenceFilter, KeepsExactlyTheLettersInOrder) {
  std::string every_code;
  for (int c = 0; c < 256; ++c) every_code += static_cast<char>(c);
  for (Letter_Filter f : Available_Letter_Filters())
    EXPECT_EQ(Filter(f, every_code), Textutils::To_Sequence(Textutils::Letter_Set)) << int(f);
}

// Every vector version must give the scalar version's bytes, at every length
// and alignment around its block sizes.
TEST(SequenceFilter, VectorVersionsAgreeWithTheScalarOne) {
  std::mt19937 random(7);
  const std::string alphabet = "acgtACGTn 0123456789.-*\t\r\xe9\xd7\xf7\xc0\xa0\x7f";
  for (std::size_t n = 0; n < 300; ++n) {
    std::string in;
    for (std::size_t i = 0; i < n; ++i) in += alphabet[random() % alphabet.size()];
    const std::string expected = Filter(Letter_Filter::SCALAR, in);
    for (Letter_Filter f : Available_Letter_Filters()) ASSERT_EQ(Filter(f, in), expected) << n;
  }
}

}  // namespace
