#include "output/sequence_filter.h"

#include <array>
#include <cstdint>

#include "driver/run_config.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TARVELO_X86 1
#endif

namespace {

constexpr auto Is_Letter = [] {
  std::array<unsigned char, 256> t{};
  for (std::size_t i = 0; i < 256; ++i) t[i] = Non_Letters[static_cast<unsigned char>(i)] ? 0 : 1;
  return t;
}();

std::size_t Keep_Letters_Scalar(const char* in, std::size_t n, char* out) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char c = in[i];
    out[kept] = c;  // always stored, kept only when a letter
    kept += Is_Letter[static_cast<unsigned char>(c)];
  }
  return kept;
}

#ifdef TARVELO_X86

// For each 8-bit mask: the positions of its set bits, in order, as pshufb
// indices (0x80 clears the rest), and how many there are.
struct Compact_Table {
  alignas(16) std::array<std::array<std::uint8_t, 8>, 256> shuffle{};
  std::array<std::uint8_t, 256> count{};
};
constexpr Compact_Table Compaction = [] {
  Compact_Table t;
  for (unsigned mask = 0; mask < 256; ++mask) {
    unsigned k = 0;
    for (unsigned bit = 0; bit < 8; ++bit)
      if (mask & (1u << bit)) t.shuffle[mask][k++] = static_cast<std::uint8_t>(bit);
    t.count[mask] = static_cast<std::uint8_t>(k);
    for (; k < 8; ++k) t.shuffle[mask][k] = 0x80;
  }
  return t;
}();

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

__attribute__((target("ssse3"))) std::size_t Keep_Letters_Ssse3(const char* in, std::size_t n,
                                                                  char* out) {
  if (n < 16) return Keep_Letters_Scalar(in, n, out);
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

#endif  // TARVELO_X86

using Filter_Function = std::size_t (*)(const char*, std::size_t, char*);

Filter_Function Function_Of(Letter_Filter filter) {
  switch (filter) {
    case Letter_Filter::SCALAR: return Keep_Letters_Scalar;
#ifdef TARVELO_X86
    case Letter_Filter::SSSE3: return Keep_Letters_Ssse3;
    case Letter_Filter::AVX512: return Keep_Letters_Avx512;
#else
    case Letter_Filter::SSSE3:
    case Letter_Filter::AVX512: return Keep_Letters_Scalar;
#endif
  }
  return Keep_Letters_Scalar;
}

const Filter_Function Best_Filter = Function_Of(Available_Letter_Filters().back());

}  // namespace

std::vector<Letter_Filter> Available_Letter_Filters() {
  std::vector<Letter_Filter> filters{Letter_Filter::SCALAR};
#ifdef TARVELO_X86
  __builtin_cpu_init();
  if (__builtin_cpu_supports("ssse3")) filters.push_back(Letter_Filter::SSSE3);
  if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi2") &&
      __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt"))
    filters.push_back(Letter_Filter::AVX512);
#endif
  return filters;
}

std::size_t Keep_Letters_With(Letter_Filter filter, const char* in, std::size_t n, char* out) {
  return Function_Of(filter)(in, n, out);
}

std::size_t Keep_Letters(const char* in, std::size_t n, char* out) { return Best_Filter(in, n, out); }
