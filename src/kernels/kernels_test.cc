#include "kernels/kernels.h"
#include "kernels/test_lines.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/textutils.h"

namespace {

std::string Letters(const Kernel_Set& k, const std::string& in) {
  std::string out(in.size() + Keep_Letters_Slack, '?');
  out.resize(k.keep_letters(in.data(), in.size(), out.data()));
  return out;
}

// Every level must give the portable level's answers on the same bytes: the
// line feeds of inputs of every length (and nothing past their end), and the
// letters of lines of every length and alignment around the vector block sizes.
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
    for (std::size_t n = 0; n < 200; ++n) {
      std::string in(n + Mark_Line_Feeds_Reach, '\n');
      for (std::size_t i = 0; i < n; ++i) in[i] = random() % 3 == 0 ? '\n' : 'a';
      std::vector<std::uint64_t> bits(4, ~0ULL), expected(4, ~0ULL);
      for (std::size_t i = 0; i < (n + 63) / 64; ++i) expected[i] = 0;
      for (std::size_t i = 0; i < n; ++i) expected[i / 64] |= std::uint64_t{in[i] == '\n'} << (i % 64);
      k.mark_line_feeds(in.data(), n, bits.data());
      ASSERT_EQ(bits, expected) << k.name << " " << n;
    }
    EXPECT_EQ(Letters(k, every_code), Letters(portable, every_code)) << k.name;
    for (std::size_t n = 0; n < 300; ++n) {
      std::string in;
      for (std::size_t i = 0; i < n; ++i) in += alphabet[random() % alphabet.size()];
      ASSERT_EQ(Letters(k, in), Letters(portable, in)) << k.name << " " << n;
    }
  }
}

std::string Run_Of(const Kernel_Set& k, const std::string& in, bool writing) {
  std::string padded = in + std::string(Sequence_Lines_Reach, '\n');
  std::string out(in.size() + Keep_Letters_Slack, '?');
  const Sequence_Run run = k.sequence_lines(padded.data(), in.size(), writing ? out.data() : nullptr);
  out.resize(run.written);
  return std::to_string(run.consumed) + " " + std::to_string(run.lines) + " " + out;
}

// Every level takes the same run of lines and writes the same letters as the
// portable level, which takes line by line: whatever line ends the run, in
// whichever block, and wherever the input ends.
TEST(Kernels, EveryLevelTakesTheSameSequenceLines) {
  std::mt19937 random(11);
  for (int round = 0; round < 3000; ++round) {
    std::string in = Test_Lines::Sequence_Section(random, random() % 14);
    if (random() % 3 == 0) in.resize(random() % (in.size() + 1));
    for (bool writing : {true, false}) {
      const std::string expected = Run_Of(Kernels_Of(Kernel_Level::PORTABLE), in, writing);
      for (Kernel_Level level : Available_Kernel_Levels())
        ASSERT_EQ(Run_Of(Kernels_Of(level), in, writing), expected) << Kernels_Of(level).name << " " << in;
    }
  }
}

}  // namespace
