// The aarch64 versions of the kernels. NEON is part of every aarch64
// processor, so these need no check at start-up.
#include "kernels/variants.h"

#if defined(TARVELO_KERNELS_NEON)

#include <arm_neon.h>

#include <cstdint>

#include "kernels/kernels.h"
#include "kernels/line_blocks.h"

namespace Kernel_Variants {

namespace {

const std::uint8_t* Bytes(const char* p) { return reinterpret_cast<const std::uint8_t*>(p); }

// Bit I of each byte of a 16-byte mask, the weight of byte I within its half.
const uint8x16_t Weights = {1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128};

// The letters of V: each byte 0xFF or 0. Letters are (c | 0x20) in 'a'..'z',
// or c >= 192 except 215 and 247.
uint8x16_t Letters_Neon(uint8x16_t v) {
  const uint8x16_t t = vsubq_u8(vorrq_u8(v, vdupq_n_u8(0x20)), vdupq_n_u8('a'));
  const uint8x16_t ascii = vcltq_u8(t, vdupq_n_u8(26));
  const uint8x16_t latin =
      vbicq_u8(vcgeq_u8(v, vdupq_n_u8(192)),
               vorrq_u8(vceqq_u8(v, vdupq_n_u8(215)), vceqq_u8(v, vdupq_n_u8(247))));
  return vorrq_u8(ascii, latin);
}

// The letters of V as a 16-bit mask, bit I for byte I.
unsigned Letter_Mask_Neon(uint8x16_t v) {
  const uint8x16_t bits = vandq_u8(Letters_Neon(v), Weights);
  return vaddv_u8(vget_low_u8(bits)) | static_cast<unsigned>(vaddv_u8(vget_high_u8(bits))) << 8;
}

// The compare results of a block of 64 bytes (four vectors, each byte 0xFF
// or 0) as one word, bit J for byte J: weighted by their bit within each
// 8-byte half, they are added pairwise until eight bytes, one per 8 input
// bytes, remain.
std::uint64_t Block_Mask(const uint8x16_t c[4]) {
  const uint8x16_t ab = vpaddq_u8(vandq_u8(c[0], Weights), vandq_u8(c[1], Weights));
  const uint8x16_t cd = vpaddq_u8(vandq_u8(c[2], Weights), vandq_u8(c[3], Weights));
  const uint8x16_t abcd = vpaddq_u8(ab, cd);
  return vgetq_lane_u64(vreinterpretq_u64_u8(vpaddq_u8(abcd, abcd)), 0);
}

// Stores the bytes of V selected by Mask at Out; returns how many.
std::size_t Compact_Neon(uint8x16_t v, unsigned mask, char* out) {
  const unsigned lo = mask & 0xff, hi = mask >> 8;
  auto* to = reinterpret_cast<std::uint8_t*>(out);
  vst1_u8(to, vtbl1_u8(vget_low_u8(v), vld1_u8(Compaction.shuffle[lo].data())));
  vst1_u8(to + Compaction.count[lo],
          vtbl1_u8(vget_high_u8(v), vld1_u8(Compaction.shuffle[hi].data())));
  return Compaction.count[lo] + Compaction.count[hi];
}

}  // namespace

std::size_t Index_Line_Feeds_Neon(const char* p, std::size_t n, std::uint32_t base, std::uint32_t* out) {
  const uint8x16_t lf = vdupq_n_u8('\n');
  std::uint32_t* end = out;
  for (std::size_t i = 0; i < n; i += Block) {
    uint8x16_t c[4];
    for (int j = 0; j < 4; ++j) c[j] = vceqq_u8(vld1q_u8(Bytes(p + i + 16 * j)), lf);
    end = Positions(Block_Mask(c) & Below(n - i), base + static_cast<std::uint32_t>(i), end);
  }
  return static_cast<std::size_t>(end - out);
}

std::size_t Keep_Letters_Neon(const char* in, std::size_t n, char* out) {
  if (n < 16) return Keep_Letters_Portable(in, n, out);
  std::size_t kept = 0;
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const uint8x16_t v = vld1q_u8(Bytes(in) + i);
    kept += Compact_Neon(v, Letter_Mask_Neon(v), out + kept);
  }
  if (i < n) {
    // The last 16 bytes, without those already done.
    const uint8x16_t v = vld1q_u8(Bytes(in) + n - 16);
    kept += Compact_Neon(v, Letter_Mask_Neon(v) & (0xffffu << (16 - (n - i))), out + kept);
  }
  return kept;
}

// As the SSSE3 version: one block of 64 bytes per step, its line rules worked
// on the masks of its line feeds, its '/' and 'L', and its letters.
Sequence_Run Sequence_Lines_Neon(const char* in, std::size_t n, char* out) {
  Line_Blocks blocks;
  std::size_t written = 0;
  for (std::size_t i = 0;; i += Block) {
    const std::uint64_t valid = i < n ? Below(n - i) : 0;
    uint8x16_t v[4], line_feed[4], odd[4], kept[4];
    for (int j = 0; j < 4; ++j) {
      v[j] = vld1q_u8(Bytes(in + i + 16 * j));
      line_feed[j] = vceqq_u8(v[j], vdupq_n_u8('\n'));
      odd[j] = vorrq_u8(vceqq_u8(v[j], vdupq_n_u8('/')), vceqq_u8(v[j], vdupq_n_u8('L')));
      if (out != nullptr) kept[j] = vorrq_u8(Letters_Neon(v[j]), line_feed[j]);
    }
    const std::uint64_t line_feeds = Block_Mask(line_feed) & valid;
    const std::uint64_t odd_bytes = Block_Mask(odd);
    std::uint64_t keep = out != nullptr ? Block_Mask(kept) & valid : 0;
    std::size_t stop = No_Stop;
    if (valid != ~0ULL || !blocks.Ordinary(i, line_feeds, odd_bytes)) {
      stop = blocks.Stop(i, line_feeds, odd_bytes, valid);
      if (stop != No_Stop) keep &= stop > i ? Below(stop - i) : 0;
    }
    std::size_t w = written;
    for (int j = 0; j < 4 && out != nullptr; ++j)
      w += Compact_Neon(v[j], static_cast<unsigned>(keep >> (16 * j)) & 0xffff, out + w);
    if (stop != No_Stop) return blocks.Finish(stop, i, line_feeds, keep, written, in, out != nullptr);
    blocks.Pass(i, line_feeds);
    written = w;
  }
}

}  // namespace Kernel_Variants

#endif  // TARVELO_KERNELS_NEON
