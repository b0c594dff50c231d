// The processor-specific kernels: finding the end of a line, keeping the
// letters of a sequence line, and converting whole runs of ordinary sequence
// lines at once. Each has a portable version and vector versions. One level is chosen once at start-up by what
// the processor offers; every level gives the same answers, byte for byte.
//
// Every architecture-specific line of the program lives in this folder:
// portable.cc, x86.cc, neon.cc, and select.cc, the one place that chooses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// How many bytes past its input a line-feed finder may read; the caller
// guarantees they are readable (the line reader pads its buffer).
inline constexpr std::size_t Index_Line_Feeds_Reach = 64;
// Entries past the positions found that a line-feed finder may overwrite.
inline constexpr std::size_t Index_Line_Feeds_Slack = 64;
// Bytes past the kept letters that a letter filter may overwrite.
inline constexpr std::size_t Keep_Letters_Slack = 64;
// How many bytes past its input a sequence-line kernel may read.
inline constexpr std::size_t Sequence_Lines_Reach = 64;
// The longest line that a sequence-line kernel takes: a longer one is split by
// the line reader, and one of 100 leaves its line feed for an empty line.
inline constexpr std::size_t Longest_Ordinary_Line = 99;

// What a sequence-line kernel did: the bytes it took (whole lines, each with
// its line feed), the bytes it wrote, and the number of lines.
struct Sequence_Run {
  std::size_t consumed = 0;
  std::size_t written = 0;
  std::size_t lines = 0;
};

// PORTABLE runs everywhere; then the x86-64 levels, from the most portable to
// the most specific; then the aarch64 level.
enum class Kernel_Level { PORTABLE, SSSE3, AVX2, AVX512, NEON };

struct Kernel_Set {
  Kernel_Level level;
  std::string_view name;
  // Writes Base + J for every line feed P[J] of P[0..N) to Out, in order,
  // and returns how many. Out needs room for N + Index_Line_Feeds_Slack
  // entries; Base + N must fit in 32 bits.
  std::size_t (*index_line_feeds)(const char* p, std::size_t n, std::uint32_t base, std::uint32_t* out);
  // Copies the letters of In[0..N) ('A'-'Z', 'a'-'z' and the ISO 8859-1
  // letters 192-214, 216-246, 248-255) to Out, in order, and returns how many.
  // Out needs room for N + Keep_Letters_Slack bytes; In is read only within
  // [0, N).
  std::size_t (*keep_letters)(const char* in, std::size_t n, char* out);
  // Takes the longest run of whole lines at the front of In[0..N) that each
  // begin with neither '/' nor 'L' (as "//" and LOCUS do) and hold at most
  // Longest_Ordinary_Line characters before their line feed: the ordinary
  // lines of a sequence section, which no other rule touches. Writes each line's letters and a line feed to Out,
  // unless Out is null. In must be readable to N + Sequence_Lines_Reach; Out
  // needs room for N + Keep_Letters_Slack bytes.
  Sequence_Run (*sequence_lines)(const char* in, std::size_t n, char* out);
};

// The levels this processor can run, PORTABLE first, the chosen one last.
std::vector<Kernel_Level> Available_Kernel_Levels();
// The kernels of one level (for tests and benchmarks); the portable ones for
// a level of another processor.
const Kernel_Set& Kernels_Of(Kernel_Level level);
// The kernels chosen at start-up: the last of the available levels.
extern const Kernel_Set* const Chosen_Kernels;

inline std::size_t Index_Line_Feeds(const char* p, std::size_t n, std::uint32_t base, std::uint32_t* out) {
  return Chosen_Kernels->index_line_feeds(p, n, base, out);
}
inline std::size_t Keep_Letters(const char* in, std::size_t n, char* out) {
  return Chosen_Kernels->keep_letters(in, n, out);
}
inline Sequence_Run Sequence_Lines(const char* in, std::size_t n, char* out) {
  return Chosen_Kernels->sequence_lines(in, n, out);
}
