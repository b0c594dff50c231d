#include "kernels/kernels.h"
#include "kernels/test_lines.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/textutils.h"

namespace {

// The line feeds that K marks in the first N bytes of Padded, as '1' for a set
// bit, up to the end of the word after the last one of the N bytes.
std::string Marks(const Kernel_Set& k, const std::string& padded, std::size_t n) {
  std::vector<std::uint64_t> bits((n + 63) / 64 + 1, ~0ULL);
  k.mark_line_feeds(padded.data(), n, bits.data());
  std::string marks;
  for (std::size_t j = 0; j < bits.size() * 64; ++j) marks += (bits[j / 64] >> (j % 64) & 1) != 0 ? '1' : '0';
  return marks;
}

// Everything the kernels of K make of In: its line-feed marks, its letters, and
// the run of sequence lines at its front, written and not.
std::string Answers(const Kernel_Set& k, const std::string& in) {
  const std::string padded = in + std::string(Sequence_Lines_Reach, '\n');
  std::string letters(in.size() + Keep_Letters_Slack, '?'), out = letters;
  letters.resize(k.keep_letters(in.data(), in.size(), letters.data()));
  std::string answers = Marks(k, padded, in.size()) + "|" + letters;
  for (char* to : {out.data(), static_cast<char*>(nullptr)}) {
    const Sequence_Run run = k.sequence_lines(padded.data(), in.size(), to);
    answers += "|" + std::to_string(run.consumed) + " " + std::to_string(run.lines) + " " +
               out.substr(0, run.written);
  }
  return answers;
}

// The portable level marks the line feeds (and nothing past its input) and
// keeps the letters; every other level gives its answers on the same bytes:
// every byte value, and sequence sections whose runs end with every kind of
// line, in whichever block, and wherever the input ends.
TEST(Kernels, EveryLevelGivesThePortableAnswers) {
  const Kernel_Set& portable = Kernels_Of(Kernel_Level::PORTABLE);
  std::string every_code;
  for (int c = 0; c < 256; ++c) every_code += static_cast<char>(c);
  std::string letters(256 + Keep_Letters_Slack, '?');
  letters.resize(portable.keep_letters(every_code.data(), 256, letters.data()));
  EXPECT_EQ(letters, Textutils::To_Sequence(Textutils::Letter_Set));
#if defined(__aarch64__)
  // Every aarch64 processor has NEON: a build that leaves it out is wrong.
  EXPECT_EQ(Available_Kernel_Levels().back(), Kernel_Level::NEON);
#endif
  std::mt19937 random(11);
  for (int round = 0; round < 3000; ++round) {
    std::string in = round == 0 ? every_code : Test_Lines::Sequence_Section(random, random() % 14);
    if (round > 0 && random() % 3 == 0) in.resize(random() % (in.size() + 1));
    std::string marks;
    for (char c : in) marks += c == '\n' ? '1' : '0';
    marks.resize((in.size() + 63) / 64 * 64, '0');
    ASSERT_EQ(Marks(portable, in + std::string(64, '\n'), in.size()), marks + std::string(64, '1'));
    const std::string expected = Answers(portable, in);
    for (Kernel_Level level : Available_Kernel_Levels())
      ASSERT_EQ(Answers(Kernels_Of(level), in), expected) << Kernels_Of(level).name << " " << in;
  }
}

}  // namespace
