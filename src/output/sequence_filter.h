// Keeping only the letters of a sequence line: 'A'-'Z', 'a'-'z' and the
// ISO 8859-1 letters 192-214, 216-246 and 248-255, in their order and case.
// This runs once per sequence line, so it has vector versions, chosen once at
// start-up by what the processor offers; every version gives the same bytes.
#pragma once

#include <cstddef>
#include <vector>

// Bytes past the kept letters that Keep_Letters may overwrite.
inline constexpr std::size_t Keep_Letters_Slack = 64;

// Copies the letters of In[0..N) to Out and returns how many. Out needs room
// for N + Keep_Letters_Slack bytes. In is read only within [0, N).
std::size_t Keep_Letters(const char* in, std::size_t n, char* out);

// The versions, for tests and benchmarks.
enum class Letter_Filter { SCALAR, SSSE3, AVX512 };
// The versions this processor can run, SCALAR first.
std::vector<Letter_Filter> Available_Letter_Filters();
std::size_t Keep_Letters_With(Letter_Filter filter, const char* in, std::size_t n, char* out);
