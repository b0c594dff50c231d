#include "kernels/kernels.h"
#include "kernels/test_lines.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/textutils.h"

namespace {

// The positions of the line feeds that K finds in the first N bytes of
// Padded, counted from 1000.
std::string Line_Feeds(const Kernel_Set& k, const std::string& padded, std::size_t n) {
  std::vector<std::uint32_t> at(n + Index_Line_Feeds_Slack);
  at.resize(k.index_line_feeds(padded.data(), n, 1000, at.data()));
  std::string positions;
  for (std::uint32_t j : at) positions += std::to_string(j) + " ";
  return positions;
}

// Everything the kernels of K make of In: its line-feed marks, its letters, and
// the run of sequence lines at its front, written and not.
std::string Answers(const Kernel_Set& k, const std::string& in) {
  const std::string padded = in + std::string(Sequence_Lines_Reach, '\n');
  std::string letters(in.size() + Keep_Letters_Slack, '?'), out = letters;
  letters.resize(k.keep_letters(in.data(), in.size(), letters.data()));
  std::string answers = Line_Feeds(k, padded, in.size()) + "|" + letters;
  for (char* to : {out.data(), static_cast<char*>(nullptr)}) {
    const Sequence_Run run = k.sequence_lines(padded.data(), in.size(), to);
    answers += "|" + std::to_string(run.consumed) + " " + std::to_string(run.lines) + " " +
               out.substr(0, run.written);
  }
  return answers;
}

// The portable level finds the line feeds (and nothing past its input) and
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
    // Now and then lines of a few bytes, some 16 or 17 of them to a block.
    if (round % 100 == 1)
      for (in.clear(); in.size() < 300;) in += std::string(random() % 7, 'a') + "\n";
    if (round > 0 && random() % 3 == 0) in.resize(random() % (in.size() + 1));
    std::string line_feeds;
    for (std::size_t j = 0; j < in.size(); ++j)
      if (in[j] == '\n') line_feeds += std::to_string(1000 + j) + " ";
    ASSERT_EQ(Line_Feeds(portable, in + std::string(64, '\n'), in.size()), line_feeds);
    const std::string expected = Answers(portable, in);
    for (Kernel_Level level : Available_Kernel_Levels())
      ASSERT_EQ(Answers(Kernels_Of(level), in), expected) << Kernels_Of(level).name << " " << in;
  }
}

}  // namespace
