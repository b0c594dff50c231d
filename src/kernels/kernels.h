// The processor-specific kernels: finding the end of a line, and keeping the
// letters of a sequence line. They run once per line, so each has a portable
// version and vector versions. One level is chosen once at start-up by what
// the processor offers; every level gives the same answers, byte for byte.
//
// Every architecture-specific line of the program lives in this folder:
// portable.cc, x86.cc, neon.cc, and select.cc, the one place that chooses.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

// How many bytes from P a line-feed search may read; the caller guarantees
// they are readable (the line reader pads its buffer).
inline constexpr std::size_t Line_Feed_Search_Reach = 128;
// How far a line-feed search looks.
inline constexpr std::size_t Line_Feed_Search_Span = 100;
// Bytes past the kept letters that a letter filter may overwrite.
inline constexpr std::size_t Keep_Letters_Slack = 64;

// PORTABLE runs everywhere; then the x86-64 levels, from the most portable to
// the most specific; then the aarch64 level.
enum class Kernel_Level { PORTABLE, SSSE3, AVX2, AVX512, NEON };

struct Kernel_Set {
  Kernel_Level level;
  std::string_view name;
  // The offset of the first line feed among the first Line_Feed_Search_Span
  // bytes at P, or Line_Feed_Search_Span when there is none.
  std::size_t (*find_line_feed)(const char* p);
  // Copies the letters of In[0..N) ('A'-'Z', 'a'-'z' and the ISO 8859-1
  // letters 192-214, 216-246, 248-255) to Out, in order, and returns how many.
  // Out needs room for N + Keep_Letters_Slack bytes; In is read only within
  // [0, N).
  std::size_t (*keep_letters)(const char* in, std::size_t n, char* out);
};

// The levels this processor can run, PORTABLE first, the chosen one last.
std::vector<Kernel_Level> Available_Kernel_Levels();
// The kernels of one level (for tests and benchmarks); the portable ones for
// a level of another processor.
const Kernel_Set& Kernels_Of(Kernel_Level level);
// The kernels chosen at start-up: the last of the available levels.
extern const Kernel_Set* const Chosen_Kernels;

inline std::size_t Find_Line_Feed(const char* p) { return Chosen_Kernels->find_line_feed(p); }
inline std::size_t Keep_Letters(const char* in, std::size_t n, char* out) {
  return Chosen_Kernels->keep_letters(in, n, out);
}
