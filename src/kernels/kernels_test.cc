#include "kernels/kernels.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/textutils.h"

namespace {

std::string Letters(const Kernel_Set& k, const std::string& in) {
  std::string out(in.size() + Keep_Letters_Slack, '?');
  out.resize(k.keep_letters(in.data(), in.size(), out.data()));
  return out;
}

// Every level must give the portable level's answers on the same bytes: the
// line feed wherever it stands in or past the searched span, and the letters
// of lines of every length and alignment around the vector block sizes.
TEST(Kernels, EveryLevelGivesThePortableAnswers) {
  const Kernel_Set& portable = Kernels_Of(Kernel_Level::PORTABLE);
  std::string every_code;
  for (int c = 0; c < 256; ++c) every_code += static_cast<char>(c);
  EXPECT_EQ(Letters(portable, every_code), Textutils::To_Sequence(Textutils::Letter_Set));

#if defined(__aarch64__)
  // Every aarch64 processor has NEON: a build that leaves it out is wrong.
  EXPECT_EQ(Available_Kernel_Levels().back(), Kernel_Level::NEON);
#endif

  std::mt19937 random(7);
  const std::string alphabet = "acgtACGTn 0123456789.-*\t\r\xe9\xd7\xf7\xc0\xa0\x7f";
  for (Kernel_Level level : Available_Kernel_Levels()) {
    const Kernel_Set& k = Kernels_Of(level);
    for (std::size_t at = 0; at < Line_Feed_Search_Reach; ++at) {
      std::string block(Line_Feed_Search_Reach, 'a');
      block[at] = '\n';
      if (at + 7 < block.size()) block[at + 7] = '\n';
      ASSERT_EQ(k.find_line_feed(block.data()), std::min(at, Line_Feed_Search_Span))
          << k.name << " " << at;
    }
    EXPECT_EQ(Letters(k, every_code), Letters(portable, every_code)) << k.name;
    for (std::size_t n = 0; n < 300; ++n) {
      std::string in;
      for (std::size_t i = 0; i < n; ++i) in += alphabet[random() % alphabet.size()];
      ASSERT_EQ(Letters(k, in), Letters(portable, in)) << k.name << " " << n;
    }
  }
}

}  // namespace
