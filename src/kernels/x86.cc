// The x86-64 versions of the kernels: SSE2, SSSE3, AVX2 and AVX-512. Each
// function carries its own target attribute, so the file builds for any
// x86-64 processor; select.cc runs only what the processor offers.
#if defined(__x86_64__)

#include <immintrin.h>

#include <array>
#include <bit>
#include <cstdint>

#include "kernels/kernels.h"
#include "kernels/line_blocks.h"
#include "kernels/variants.h"

namespace Kernel_Variants {

namespace {

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

#define AVX512_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,bmi,bmi2,lzcnt,popcnt")))

AVX512_TARGET inline __mmask64 Letter_Mask_Avx512(__m512i v) {
  const __mmask64 ascii = _mm512_cmplt_epu8_mask(
      _mm512_sub_epi8(_mm512_or_si512(v, _mm512_set1_epi8(0x20)), _mm512_set1_epi8('a')),
      _mm512_set1_epi8(26));
  if (_mm512_movepi8_mask(v) == 0) return ascii;  // the usual case: no byte above 127
  const __mmask64 latin = _mm512_cmpge_epu8_mask(v, _mm512_set1_epi8(static_cast<char>(192))) &
                          _mm512_cmpneq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(215))) &
                          _mm512_cmpneq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(247)));
  return ascii | latin;
}

// The low 16 bytes of V, without an instruction (the intrinsic for it makes
// GCC 12 warn about undefined lanes).
AVX512_TARGET inline __m128i Low_Quarter(__m512i v) {
  using Words = long long __attribute__((vector_size(64)));
  return reinterpret_cast<__m128i>(__builtin_shufflevector(reinterpret_cast<Words>(v), reinterpret_cast<Words>(v), 0, 1));
}

// The bytes that end a run of sequence lines when they begin a line, '/'
// and 'L', are found with one table lookup by the low bits of each byte and
// one compare with the byte itself. The table holds '/' and 'L' at their own
// low bits and, everywhere else, a byte whose low bits differ from the index,
// which no byte looked up there can equal.
template <std::size_t N>
alignas(N) constexpr std::array<char, N> Odd_Table = [] {
  static_assert('/' % N != 'L' % N);
  std::array<char, N> t{};
  for (std::size_t i = 0; i < N; ++i) t[i] = static_cast<char>(i ^ 1);
  t['/' % N] = '/';
  t['L' % N] = 'L';
  return t;
}();

// With a 64-byte table: VBMI looks up every byte by its low 6 bits (in the
// masked form, all lanes kept: the plain intrinsic makes GCC 12 warn about
// undefined lanes).
AVX512_TARGET inline std::uint64_t Odd_Avx512(__m512i v) {
  const __m512i table = _mm512_load_si512(Odd_Table<64>.data());
  return _mm512_cmpeq_epi8_mask(_mm512_maskz_permutexvar_epi8(~__mmask64{0}, v, table), v);
}

// With a 16-byte table: a byte shuffle looks up by the low 4 bits, and gives
// 0 for the bytes from 128 on, which equal no such byte.
__attribute__((target("ssse3"))) inline std::uint64_t Odd_Ssse3(__m128i v) {
  const __m128i table = _mm_load_si128(reinterpret_cast<const __m128i*>(Odd_Table<16>.data()));
  return static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_shuffle_epi8(table, v), v)));
}

// The bytes of V equal to C, as bits 0-15.
__attribute__((target("ssse3"))) inline std::uint64_t Equal_Ssse3(__m128i v, char c) {
  return static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(c))));
}

}  // namespace

std::size_t Index_Line_Feeds_Sse2(const char* p, std::size_t n, std::uint32_t base, std::uint32_t* out) {
  const __m128i lf = _mm_set1_epi8('\n');
  auto block = [&](std::size_t i) -> std::uint64_t {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    return static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)));
  };
  std::uint32_t* end = out;
  for (std::size_t i = 0; i < n; i += Block) {
    end = Positions((block(i) | block(i + 16) << 16 | block(i + 32) << 32 | block(i + 48) << 48) & Below(n - i),
                    base + static_cast<std::uint32_t>(i), end);
  }
  return static_cast<std::size_t>(end - out);
}

__attribute__((target("avx2,bmi,popcnt"))) std::size_t Index_Line_Feeds_Avx2(const char* p, std::size_t n,
                                                                             std::uint32_t base, std::uint32_t* out) {
  std::uint32_t* end = out;
  for (std::size_t i = 0; i < n; i += Block)
    end = Positions((Line_Feeds_Avx2(p + i) | Line_Feeds_Avx2(p + i + 32) << 32) & Below(n - i),
                    base + static_cast<std::uint32_t>(i), end);
  return static_cast<std::size_t>(end - out);
}

// The byte positions of a block's line feeds, gathered with one compress and
// widened to 32 bits: four with one small store (a block of annotation or
// sequence lines holds at most two), more with a second store, and those past
// the 16th of a block (short lines) one by one.
AVX512_TARGET std::size_t Index_Line_Feeds_Avx512(const char* p, std::size_t n, std::uint32_t base,
                                                  std::uint32_t* out) {
  const __m512i lf = _mm512_set1_epi8('\n');
  const __m512i iota = _mm512_set_epi8(63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46,
                                       45, 44, 43, 42, 41, 40, 39, 38, 37, 36, 35, 34, 33, 32, 31, 30, 29, 28,
                                       27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10,
                                       9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
  // The offsets of the block, in four lanes, moved on by a vector add, and
  // the compare mask going to the compress as it is (the shuffle unit is the
  // bottleneck here); the last block's mask is cut at the end of the input.
  std::size_t count = 0;
  __m128i offset = _mm_set1_epi32(static_cast<int>(base));
  auto block = [&](std::size_t i, __mmask64 bits) AVX512_TARGET {
    const __m128i at = Low_Quarter(_mm512_maskz_compress_epi8(bits, iota));
    const std::size_t found = Ones(bits);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + count), _mm_add_epi32(_mm_cvtepu8_epi32(at), offset));
    if (found > 4) {
      const auto first = static_cast<int>(base + i);
      _mm512_storeu_si512(out + count,
                          _mm512_add_epi32(_mm512_maskz_cvtepu8_epi32(0xFFFF, at), _mm512_set1_epi32(first)));
      if (found > 16) {
        std::uint64_t rest = bits;
        for (int k = 0; k < 16; ++k) rest &= rest - 1;
        Positions(rest, base + static_cast<std::uint32_t>(i), out + count + 16);
      }
    }
    count += found;
    offset = _mm_add_epi32(offset, _mm_set1_epi32(Block));
  };
  std::size_t i = 0;
  for (; i + Block <= n; i += Block) block(i, _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p + i), lf));
  if (i < n) block(i, _mm512_mask_cmpeq_epi8_mask(Below(n - i), _mm512_loadu_si512(p + i), lf));
  return count;
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

AVX512_TARGET std::size_t Keep_Letters_Avx512(const char* in, std::size_t n, char* out) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < n; i += 64) {
    const std::size_t left = n - i;
    const __mmask64 load = left >= 64 ? ~__mmask64{0} : _bzhi_u64(~0ULL, static_cast<unsigned>(left));
    const __m512i v = _mm512_maskz_loadu_epi8(load, in + i);
    const __mmask64 keep = Letter_Mask_Avx512(v) & load;
    // A compress into a register and a plain store: the compressing store is slow on some cores.
    _mm512_storeu_si512(out + kept, _mm512_maskz_compress_epi8(keep, v));
    kept += static_cast<std::size_t>(_mm_popcnt_u64(keep));
  }
  return kept;
}

// One block of 64 bytes per step: one mask of the letters and line feeds, one
// compress, one store; the line rules look at the masks only.
__attribute__((target("ssse3"))) Sequence_Run Sequence_Lines_Ssse3(const char* in, std::size_t n, char* out) {
  Line_Blocks blocks;
  std::size_t written = 0;
  for (std::size_t i = 0;; i += Block) {
    const std::uint64_t valid = i < n ? Below(n - i) : 0;
    __m128i v[4];
    std::uint64_t line_feeds = 0, odd = 0, letters = 0;
    for (int j = 0; j < 4; ++j) {
      v[j] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 16 * j));
      line_feeds |= Equal_Ssse3(v[j], '\n') << (16 * j);
      odd |= Odd_Ssse3(v[j]) << (16 * j);
      if (out != nullptr) letters |= std::uint64_t{Letter_Mask_Ssse3(v[j])} << (16 * j);
    }
    line_feeds &= valid;
    std::uint64_t keep = out != nullptr ? (letters | line_feeds) & valid : 0;
    std::size_t stop = No_Stop;
    if (valid != ~0ULL || !blocks.Ordinary(i, line_feeds, odd)) {
      stop = blocks.Stop(i, line_feeds, odd, valid);
      if (stop != No_Stop) keep &= stop > i ? Below(stop - i) : 0;
    }
    std::size_t w = written;
    for (int j = 0; j < 4 && out != nullptr; ++j)
      w += Compact_Ssse3(v[j], static_cast<unsigned>(keep >> (16 * j)) & 0xffff, out + w);
    if (stop != No_Stop) return blocks.Finish(stop, i, line_feeds, keep, written, in, out != nullptr);
    blocks.Pass(i, line_feeds);
    written = w;
  }
}

#define AVX2_TARGET __attribute__((target("avx2,bmi,popcnt")))

namespace {

// The bytes of the block V (two halves) equal to C.
AVX2_TARGET inline std::uint64_t Equal_Avx2(const __m256i v[2], char c) {
  const __m256i k = _mm256_set1_epi8(c);
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v[0], k))) |
         std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v[1], k)))} << 32;
}

// The '/' and 'L' among the 32 bytes of V, as Odd_Ssse3 finds them in each half.
AVX2_TARGET inline std::uint32_t Odd_Avx2(__m256i v) {
  const __m256i table =
      _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(Odd_Table<16>.data())));
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_shuffle_epi8(table, v), v)));
}

// The letters among the 32 bytes of V, as Letter_Mask_Ssse3 tells them.
AVX2_TARGET inline std::uint32_t Letter_Mask_Avx2(__m256i v) {
  const __m256i t = _mm256_sub_epi8(_mm256_or_si256(v, _mm256_set1_epi8(0x20)), _mm256_set1_epi8('a'));
  const __m256i ascii = _mm256_cmpeq_epi8(_mm256_min_epu8(t, _mm256_set1_epi8(25)), t);
  const __m256i latin = _mm256_andnot_si256(
      _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(static_cast<char>(215))),
                      _mm256_cmpeq_epi8(v, _mm256_set1_epi8(static_cast<char>(247)))),
      _mm256_cmpeq_epi8(_mm256_max_epu8(v, _mm256_set1_epi8(static_cast<char>(192))), v));
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_or_si256(ascii, latin)));
}

// One block of 64 bytes as two vectors, with its masks.
struct Block_Avx2 {
  __m256i v[2];
  std::uint64_t line_feeds, odd;

  AVX2_TARGET explicit Block_Avx2(const char* p) {
    v[0] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    v[1] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    line_feeds = Equal_Avx2(v, '\n');
    odd = Odd_Avx2(v[0]) | std::uint64_t{Odd_Avx2(v[1])} << 32;
  }
  AVX2_TARGET std::uint64_t Letters() const {
    return Letter_Mask_Avx2(v[0]) | std::uint64_t{Letter_Mask_Avx2(v[1])} << 32;
  }
  // Writes the bytes of Keep at Out; returns how many.
  AVX2_TARGET std::size_t Compact(std::uint64_t keep, char* out) const {
    std::size_t w = 0;
    for (int j = 0; j < 2; ++j) {
      w += Compact_Ssse3(_mm256_castsi256_si128(v[j]), static_cast<unsigned>(keep >> (32 * j)) & 0xffff, out + w);
      w += Compact_Ssse3(_mm256_extracti128_si256(v[j], 1), static_cast<unsigned>(keep >> (32 * j + 16)) & 0xffff,
                         out + w);
    }
    return w;
  }
};

// As the AVX-512 version: whole pairs of blocks first, then block by block.
template <bool Writing>
AVX2_TARGET Sequence_Run Sequence_Lines_Avx2_As(const char* in, std::size_t n, char* out) {
  Line_Blocks blocks;
  std::size_t written = 0;
  std::size_t i = 0;
  for (; i + 2 * Block <= n; i += 2 * Block) {
    const Block_Avx2 b(in + i), next(in + i + Block);
    if (!blocks.Ordinary_Pair(i, b.line_feeds, b.odd, next.line_feeds, next.odd)) break;
    if (Writing) {
      written += b.Compact(b.Letters() | b.line_feeds, out + written);
      written += next.Compact(next.Letters() | next.line_feeds, out + written);
    }
    blocks.Pass(i, b.line_feeds);
    blocks.Pass(i + Block, next.line_feeds);
  }
  for (;; i += Block) {
    const std::uint64_t valid = i < n ? Below(n - i) : 0;
    const Block_Avx2 b(in + i);
    const std::uint64_t line_feeds = b.line_feeds & valid;
    std::uint64_t keep = Writing ? (b.Letters() | line_feeds) & valid : 0;
    const std::size_t stop = blocks.Stop(i, line_feeds, b.odd, valid);
    if (stop != No_Stop) keep &= stop > i ? Below(stop - i) : 0;
    const std::size_t w = Writing ? b.Compact(keep, out + written) : 0;
    if (stop != No_Stop) return blocks.Finish(stop, i, line_feeds, keep, written, in, Writing);
    blocks.Pass(i, line_feeds);
    written += w;
  }
}

}  // namespace

Sequence_Run Sequence_Lines_Avx2(const char* in, std::size_t n, char* out) {
  return out != nullptr ? Sequence_Lines_Avx2_As<true>(in, n, out) : Sequence_Lines_Avx2_As<false>(in, n, out);
}

namespace {

template <bool Writing>
AVX512_TARGET Sequence_Run Sequence_Lines_Avx512_As(const char* in, std::size_t n, char* out) {
  const __m512i line_feed = _mm512_set1_epi8('\n');
  Line_Blocks blocks;
  std::size_t written = 0;
  // Writes the letters and line feeds of the whole block V.
  auto write = [&](__m512i v, std::uint64_t line_feeds) AVX512_TARGET {
    const std::uint64_t keep = Letter_Mask_Avx512(v) | line_feeds;
    _mm512_storeu_si512(out + written, _mm512_maskz_compress_epi8(keep, v));
    written += Ones(keep);
  };
  std::size_t i = 0;
  // Whole pairs of blocks of ordinary lines, the usual case.
  for (; i + 2 * Block <= n; i += 2 * Block) {
    const __m512i v = _mm512_loadu_si512(in + i), next = _mm512_loadu_si512(in + i + Block);
    const std::uint64_t line_feeds = _mm512_cmpeq_epi8_mask(v, line_feed);
    const std::uint64_t next_line_feeds = _mm512_cmpeq_epi8_mask(next, line_feed);
    if (!blocks.Ordinary_Pair(i, line_feeds, Odd_Avx512(v), next_line_feeds, Odd_Avx512(next))) break;
    if (Writing) {
      write(v, line_feeds);
      write(next, next_line_feeds);
    }
    blocks.Pass(i, line_feeds);
    blocks.Pass(i + Block, next_line_feeds);
  }
  // Then block by block: the one where the run ends, and those short of a
  // pair at the end of the input.
  for (;; i += Block) {
    const std::uint64_t valid = i < n ? Below(n - i) : 0;
    const __m512i v = _mm512_maskz_loadu_epi8(valid, in + i);
    const std::uint64_t line_feeds = _mm512_cmpeq_epi8_mask(v, line_feed);
    std::uint64_t keep = Writing ? (Letter_Mask_Avx512(v) | line_feeds) & valid : 0;
    const std::size_t stop = blocks.Stop(i, line_feeds, Odd_Avx512(v), valid);
    if (stop != No_Stop) keep &= stop > i ? Below(stop - i) : 0;
    if (Writing) _mm512_storeu_si512(out + written, _mm512_maskz_compress_epi8(keep, v));
    if (stop != No_Stop) return blocks.Finish(stop, i, line_feeds, keep, written, in, Writing);
    blocks.Pass(i, line_feeds);
    written += Ones(keep);
  }
}

}  // namespace

Sequence_Run Sequence_Lines_Avx512(const char* in, std::size_t n, char* out) {
  return out != nullptr ? Sequence_Lines_Avx512_As<true>(in, n, out)
                        : Sequence_Lines_Avx512_As<false>(in, n, out);
}

}  // namespace Kernel_Variants

#endif  // __x86_64__
