// Finding the end of a line within its first 100 bytes. This runs once per
// line, so it has vector versions, chosen once at start-up by what the
// processor offers; every version gives the same answer.
#pragma once

#include <cstddef>
#include <vector>

// How many bytes from P a search may read; the caller guarantees they are
// readable (the line reader pads its buffer).
inline constexpr std::size_t Line_Feed_Search_Reach = 128;
// How far a search looks for the line feed.
inline constexpr std::size_t Line_Feed_Search_Span = 100;

// The offset of the first line feed among the first Line_Feed_Search_Span
// bytes at P, or Line_Feed_Search_Span when there is none.
std::size_t Find_Line_Feed(const char* p);

// The versions, for tests and benchmarks.
enum class Line_Feed_Finder { PORTABLE, SSE2, AVX2, AVX512 };
// The versions this processor can run, PORTABLE first.
std::vector<Line_Feed_Finder> Available_Line_Feed_Finders();
std::size_t Find_Line_Feed_With(Line_Feed_Finder finder, const char* p);
