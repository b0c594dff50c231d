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

// The letters of V as a 16-bit mask, bit I for byte I. Letters are
// (c | 0x20) in 'a'..'z', or c >= 192 except 215 and 247.
unsigned Letter_Mask_Neon(uint8x16_t v) {
  static constexpr std::uint8_t weights[16] = {1, 2, 4, 8, 16, 32, 64, 128,
                                               1, 2, 4, 8, 16, 32, 64, 128};
  const uint8x16_t t = vsubq_u8(vorrq_u8(v, vdupq_n_u8(0x20)), vdupq_n_u8('a'));
  const uint8x16_t ascii = vcltq_u8(t, vdupq_n_u8(26));
  const uint8x16_t latin =
      vbicq_u8(vcgeq_u8(v, vdupq_n_u8(192)),
               vorrq_u8(vceqq_u8(v, vdupq_n_u8(215)), vceqq_u8(v, vdupq_n_u8(247))));
  const uint8x16_t bits = vandq_u8(vorrq_u8(ascii, latin), vld1q_u8(weights));
  return vaddv_u8(vget_low_u8(bits)) | static_cast<unsigned>(vaddv_u8(vget_high_u8(bits))) << 8;
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

// Each 64-byte block's line feeds become one word: the compare results,
// weighted by their bit within each 8-byte half, are added pairwise until
// eight bytes, one per 8 input bytes, remain.
std::size_t Index_Line_Feeds_Neon(const char* p, std::size_t n, std::uint32_t base, std::uint32_t* out) {
  static constexpr std::uint8_t weights[16] = {1, 2, 4, 8, 16, 32, 64, 128,
                                               1, 2, 4, 8, 16, 32, 64, 128};
  const uint8x16_t w = vld1q_u8(weights);
  const uint8x16_t lf = vdupq_n_u8('\n');
  auto weighted = [&](const char* q) { return vandq_u8(vceqq_u8(vld1q_u8(Bytes(q)), lf), w); };
  std::uint32_t* end = out;
  for (std::size_t i = 0; i < n; i += Block) {
    const uint8x16_t ab = vpaddq_u8(weighted(p + i), weighted(p + i + 16));
    const uint8x16_t cd = vpaddq_u8(weighted(p + i + 32), weighted(p + i + 48));
    const uint8x16_t abcd = vpaddq_u8(ab, cd);
    const std::uint64_t word = vgetq_lane_u64(vreinterpretq_u64_u8(vpaddq_u8(abcd, abcd)), 0);
    end = Positions(word & Below(n - i), base + static_cast<std::uint32_t>(i), end);
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

}  // namespace Kernel_Variants

#endif  // TARVELO_KERNELS_NEON
