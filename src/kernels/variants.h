// The versions of each kernel, for select.cc and the tests only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The aarch64 versions read vector lanes as little-endian integers.
#if defined(__aarch64__) && defined(__ARM_NEON) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define TARVELO_KERNELS_NEON 1
#endif

#include "kernels/kernels.h"

namespace Kernel_Variants {

std::size_t Index_Line_Feeds_Portable(const char* p, std::size_t n, std::uint32_t base, std::uint32_t* out);
std::size_t Keep_Letters_Portable(const char* in, std::size_t n, char* out);
Sequence_Run Sequence_Lines_Portable(const char* in, std::size_t n, char* out);

#if defined(__x86_64__)
std::size_t Index_Line_Feeds_Sse2(const char* p, std::size_t n, std::uint32_t base, std::uint32_t* out);
std::size_t Index_Line_Feeds_Avx2(const char* p, std::size_t n, std::uint32_t base, std::uint32_t* out);
std::size_t Index_Line_Feeds_Avx512(const char* p, std::size_t n, std::uint32_t base, std::uint32_t* out);
std::size_t Keep_Letters_Ssse3(const char* in, std::size_t n, char* out);
std::size_t Keep_Letters_Avx512(const char* in, std::size_t n, char* out);
Sequence_Run Sequence_Lines_Ssse3(const char* in, std::size_t n, char* out);
Sequence_Run Sequence_Lines_Avx2(const char* in, std::size_t n, char* out);
Sequence_Run Sequence_Lines_Avx512(const char* in, std::size_t n, char* out);
#endif

#if defined(TARVELO_KERNELS_NEON)
std::size_t Index_Line_Feeds_Neon(const char* p, std::size_t n, std::uint32_t base, std::uint32_t* out);
std::size_t Keep_Letters_Neon(const char* in, std::size_t n, char* out);
Sequence_Run Sequence_Lines_Neon(const char* in, std::size_t n, char* out);
#endif

// For each 8-bit mask: the positions of its set bits, in order, as byte
// shuffle indices (0x80, out of range of every shuffle, gives 0 for the
// rest), and how many there are. The letter filters keep the bytes of each
// 8-byte half of a vector with one shuffle.
struct Compact_Table {
  alignas(16) std::array<std::array<std::uint8_t, 8>, 256> shuffle{};
  std::array<std::uint8_t, 256> count{};
};

inline constexpr Compact_Table Compaction = [] {
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

}  // namespace Kernel_Variants
