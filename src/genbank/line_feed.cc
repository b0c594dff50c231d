#include "genbank/line_feed.h"

#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#define TARVELO_X86 1
#endif

namespace {

constexpr std::size_t Span = Line_Feed_Search_Span;

std::size_t Find_Portable(const char* p) {
  const void* lf = std::memchr(p, '\n', Span);
  return lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - p) : Span;
}

#ifdef TARVELO_X86

// Every version compares whole blocks up to the reach, so that no branch
// depends on where the line ends, and then takes the first line feed.
std::size_t First_Of(std::uint64_t low, std::uint64_t high) {
  const std::size_t at = low != 0 ? static_cast<std::size_t>(__builtin_ctzll(low))
                                  : 64 + static_cast<std::size_t>(__builtin_ctzll(high | (1ULL << 63)));
  return at < Span ? at : Span;
}

std::size_t Find_Sse2(const char* p) {
  static_assert(7 * 16 >= Span && 7 * 16 <= Line_Feed_Search_Reach);
  const __m128i lf = _mm_set1_epi8('\n');
  auto block = [&](int i) -> std::uint64_t {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
    return static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)));
  };
  return First_Of(block(0) | block(1) << 16 | block(2) << 32 | block(3) << 48,
                  block(4) | block(5) << 16 | block(6) << 32);
}

__attribute__((target("avx2"))) std::uint64_t Line_Feeds_Avx2(const char* p) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('\n'))));
}

__attribute__((target("avx2"))) std::size_t Find_Avx2(const char* p) {
  static_assert(4 * 32 >= Span && 4 * 32 <= Line_Feed_Search_Reach);
  return First_Of(Line_Feeds_Avx2(p) | Line_Feeds_Avx2(p + 32) << 32,
                  Line_Feeds_Avx2(p + 64) | Line_Feeds_Avx2(p + 96) << 32);
}

__attribute__((target("avx512f,avx512bw"))) std::size_t Find_Avx512(const char* p) {
  static_assert(2 * 64 >= Span && 2 * 64 <= Line_Feed_Search_Reach);
  const __m512i lf = _mm512_set1_epi8('\n');
  return First_Of(_mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p), lf),
                  _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p + 64), lf));
}

#endif  // TARVELO_X86

using Finder_Function = std::size_t (*)(const char*);

Finder_Function Function_Of(Line_Feed_Finder finder) {
  switch (finder) {
    case Line_Feed_Finder::PORTABLE: return Find_Portable;
#ifdef TARVELO_X86
    case Line_Feed_Finder::SSE2: return Find_Sse2;
    case Line_Feed_Finder::AVX2: return Find_Avx2;
    case Line_Feed_Finder::AVX512: return Find_Avx512;
#else
    case Line_Feed_Finder::SSE2:
    case Line_Feed_Finder::AVX2:
    case Line_Feed_Finder::AVX512: return Find_Portable;
#endif
  }
  return Find_Portable;
}

const Finder_Function Best_Finder = Function_Of(Available_Line_Feed_Finders().back());

}  // namespace

std::vector<Line_Feed_Finder> Available_Line_Feed_Finders() {
  std::vector<Line_Feed_Finder> finders{Line_Feed_Finder::PORTABLE};
#ifdef TARVELO_X86
  __builtin_cpu_init();
  finders.push_back(Line_Feed_Finder::SSE2);  // part of every x86-64
  if (__builtin_cpu_supports("avx2")) finders.push_back(Line_Feed_Finder::AVX2);
  if (__builtin_cpu_supports("avx512bw")) finders.push_back(Line_Feed_Finder::AVX512);
#endif
  return finders;
}

std::size_t Find_Line_Feed_With(Line_Feed_Finder finder, const char* p) {
  return Function_Of(finder)(p);
}

std::size_t Find_Line_Feed(const char* p) { return Best_Finder(p); }
