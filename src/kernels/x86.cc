// The x86-64 versions of the kernels: SSE2, SSSE3, AVX2 and AVX-512. Each
// function carries its own target attribute, so the file builds for any
// x86-64 processor; select.cc runs only what the processor offers.
#if defined(__x86_64__)

#include <immintrin.h>

#include <cstdint>

#include "kernels/kernels.h"
#include "kernels/variants.h"

namespace Kernel_Variants {

namespace {

constexpr std::size_t Span = Line_Feed_Search_Span;

// Every line-feed search compares whole blocks up to the reach, so that no
// branch depends on where the line ends, and then takes the first line feed.
std::size_t First_Of(std::uint64_t low, std::uint64_t high) {
  const std::size_t at = low != 0 ? static_cast<std::size_t>(__builtin_ctzll(low))
                                  : 64 + static_cast<std::size_t>(__builtin_ctzll(high | (1ULL << 63)));
  return at < Span ? at : Span;
}

__attribute__((target("avx2"))) std::uint64_t Line_Feeds_Avx2(const char* p) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('\n'))));
}

// Letters are (c | 0x20) in 'a'..'z', or c >= 192 except 215 and 247.
__attribute__((target("ssse3"))) unsigned Letter_Mask_Ssse3(__m128i v) {
  const __m128i t = _mm_sub_epi8(_mm_or_si128(v, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
  const __m128i ascii = _mm_cmpeq_epi8(_mm_min_epu8(t, _mm_set1_epi8(25)), t);
  const __m128i latin = _mm_andnot_si128(
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(215))),
                   _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(247)))),
      _mm_cmpeq_epi8(_mm_max_epu8(v, _mm_set1_epi8(static_cast<char>(192))), v));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(ascii, latin)));
}

// Stores the bytes of V selected by Mask at Out; returns how many.
__attribute__((target("ssse3"))) std::size_t Compact_Ssse3(__m128i v, unsigned mask, char* out) {
  const unsigned lo = mask & 0xff, hi = mask >> 8;
  const __m128i first = _mm_shuffle_epi8(
      v, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(Compaction.shuffle[lo].data())));
  const __m128i second = _mm_shuffle_epi8(
      _mm_srli_si128(v, 8),
      _mm_loadl_epi64(reinterpret_cast<const __m128i*>(Compaction.shuffle[hi].data())));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), first);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out + Compaction.count[lo]), second);
  return Compaction.count[lo] + Compaction.count[hi];
}

}  // namespace

std::size_t Find_Line_Feed_Sse2(const char* p) {
  static_assert(7 * 16 >= Span && 7 * 16 <= Line_Feed_Search_Reach);
  const __m128i lf = _mm_set1_epi8('\n');
  auto block = [&](int i) -> std::uint64_t {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
    return static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)));
  };
  return First_Of(block(0) | block(1) << 16 | block(2) << 32 | block(3) << 48,
                  block(4) | block(5) << 16 | block(6) << 32);
}

__attribute__((target("avx2"))) std::size_t Find_Line_Feed_Avx2(const char* p) {
  static_assert(4 * 32 >= Span && 4 * 32 <= Line_Feed_Search_Reach);
  return First_Of(Line_Feeds_Avx2(p) | Line_Feeds_Avx2(p + 32) << 32,
                  Line_Feeds_Avx2(p + 64) | Line_Feeds_Avx2(p + 96) << 32);
}

__attribute__((target("avx512f,avx512bw"))) std::size_t Find_Line_Feed_Avx512(const char* p) {
  static_assert(2 * 64 >= Span && 2 * 64 <= Line_Feed_Search_Reach);
  const __m512i lf = _mm512_set1_epi8('\n');
  return First_Of(_mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p), lf),
                  _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p + 64), lf));
}

__attribute__((target("ssse3"))) std::size_t Keep_Letters_Ssse3(const char* in, std::size_t n,
                                                                  char* out) {
  if (n < 16) return Keep_Letters_Portable(in, n, out);
  std::size_t kept = 0;
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    kept += Compact_Ssse3(v, Letter_Mask_Ssse3(v), out + kept);
  }
  if (i < n) {
    // The last 16 bytes, without those already done.
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + n - 16));
    kept += Compact_Ssse3(v, Letter_Mask_Ssse3(v) & (0xffffu << (16 - (n - i))), out + kept);
  }
  return kept;
}

__attribute__((target("avx512f,avx512bw,avx512vbmi2,bmi2,popcnt"))) std::size_t
Keep_Letters_Avx512(const char* in, std::size_t n, char* out) {
  const __m512i case_bit = _mm512_set1_epi8(0x20);
  const __m512i a = _mm512_set1_epi8('a');
  const __m512i letters = _mm512_set1_epi8(26);
  const __m512i high = _mm512_set1_epi8(static_cast<char>(192));
  const __m512i times = _mm512_set1_epi8(static_cast<char>(215));
  const __m512i divide = _mm512_set1_epi8(static_cast<char>(247));
  std::size_t kept = 0;
  for (std::size_t i = 0; i < n; i += 64) {
    const std::size_t left = n - i;
    const __mmask64 load = left >= 64 ? ~__mmask64{0} : _bzhi_u64(~0ULL, static_cast<unsigned>(left));
    const __m512i v = _mm512_maskz_loadu_epi8(load, in + i);
    const __mmask64 ascii =
        _mm512_cmplt_epu8_mask(_mm512_sub_epi8(_mm512_or_si512(v, case_bit), a), letters);
    const __mmask64 latin = _mm512_cmpge_epu8_mask(v, high) & _mm512_cmpneq_epi8_mask(v, times) &
                            _mm512_cmpneq_epi8_mask(v, divide);
    const __mmask64 keep = (ascii | latin) & load;
    // A compress into a register and a plain store: the compressing store is slow on some cores.
    _mm512_storeu_si512(out + kept, _mm512_maskz_compress_epi8(keep, v));
    kept += static_cast<std::size_t>(_mm_popcnt_u64(keep));
  }
  return kept;
}

}  // namespace Kernel_Variants

#endif  // __x86_64__
