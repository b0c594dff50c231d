// The line rules of the vector sequence-line kernels, worked on the bit masks
// of one block of 64 bytes at a time (bit J stands for byte J of the block).
// Plain scalar code, inlined into each vector version.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "kernels/kernels.h"
#include "kernels/variants.h"

namespace Kernel_Variants {

inline constexpr std::size_t Block = 64;
inline constexpr std::size_t No_Stop = ~std::size_t{0};

// The bits of the first N bytes of a block (all of them from 64 on).
inline std::uint64_t Below(std::size_t n) { return n >= Block ? ~0ULL : (1ULL << n) - 1; }
inline std::size_t Ones(std::uint64_t mask) { return static_cast<std::size_t>(std::popcount(mask)); }

// Writes Base + J for every set bit J of Bits to Out, in order; returns the
// end of what it wrote. Writes four entries whatever the count (and at most
// 64 past the end), so that the usual block, with few line feeds, takes no
// branch.
inline std::uint32_t* Positions(std::uint64_t bits, std::uint32_t base, std::uint32_t* out) {
  const std::size_t count = Ones(bits);
  for (std::size_t k = 0; k < 4; ++k, bits &= bits - 1)
    out[k] = base + static_cast<std::uint32_t>(std::countr_zero(bits));
  for (std::size_t k = 4; k < count; ++k, bits &= bits - 1)
    out[k] = base + static_cast<std::uint32_t>(std::countr_zero(bits));
  return out + count;
}

// Follows the lines through the blocks: where the open line began, and how
// many lines ended before it, so that a line found to be unusual later can
// be given back whole.
class Line_Blocks {
 public:
  // True when the whole block at I may be taken: no line it begins starts
  // with a byte of Odd (the mask of the block's '/' and 'L'), and the open
  // line ends within Longest_Ordinary_Line bytes or goes on past the block
  // still short enough.
  bool Ordinary(std::size_t i, std::uint64_t line_feeds, std::uint64_t odd) const {
    const std::uint64_t starts = (line_feeds << 1) | (line_start_ == i ? 1 : 0);
    const std::size_t first_line_feed = i + static_cast<std::size_t>(std::countr_zero(line_feeds));
    return (starts & odd) == 0 && first_line_feed - line_start_ <= Longest_Ordinary_Line;
  }

  // The same test for the two blocks at I and I + Block at once, as if the
  // first were passed between the two tests.
  bool Ordinary_Pair(std::size_t i, std::uint64_t line_feeds, std::uint64_t odd, std::uint64_t next_line_feeds,
                     std::uint64_t next_odd) const {
    const std::uint64_t starts = (line_feeds << 1) | (line_start_ == i ? 1 : 0);
    const std::uint64_t next_starts = (next_line_feeds << 1) | (line_feeds >> 63);
    const std::size_t first_line_feed = i + static_cast<std::size_t>(std::countr_zero(line_feeds));
    const std::size_t next_line_start =
        line_feeds != 0 ? i + Block - static_cast<std::size_t>(std::countl_zero(line_feeds)) : line_start_;
    const std::size_t next_first_line_feed = i + Block + static_cast<std::size_t>(std::countr_zero(next_line_feeds));
    return ((starts & odd) | (next_starts & next_odd)) == 0 &&
           first_line_feed - line_start_ <= Longest_Ordinary_Line &&
           next_first_line_feed - next_line_start <= Longest_Ordinary_Line;
  }

  // Where the run must end, looking at the block at I (Valid is the mask of
  // its bytes inside the input); No_Stop when the block may be taken whole. A
  // run ends at the first line that begins with a byte of Odd, at the open
  // line once it is too long, and before the piece of a line that the input
  // ends in.
  std::size_t Stop(std::size_t i, std::uint64_t line_feeds, std::uint64_t odd,
                   std::uint64_t valid) const {
    const std::size_t first_line_feed = i + static_cast<std::size_t>(std::countr_zero(line_feeds));
    if (first_line_feed - line_start_ > Longest_Ordinary_Line) return line_start_;
    const std::uint64_t starts = ((line_feeds << 1) | (line_start_ == i ? 1 : 0)) & valid;
    const std::uint64_t unusual = starts & odd;
    std::size_t stop = unusual != 0 ? i + static_cast<std::size_t>(std::countr_zero(unusual)) : No_Stop;
    if (valid != ~0ULL) {
      const std::size_t end =
          line_feeds != 0 ? i + Block - static_cast<std::size_t>(std::countl_zero(line_feeds)) : line_start_;
      if (end < stop) stop = end;
    }
    return stop;
  }

  // Passes the block at I whole.
  void Pass(std::size_t i, std::uint64_t line_feeds) {
    if (line_feeds != 0) line_start_ = i + Block - static_cast<std::size_t>(std::countl_zero(line_feeds));
    lines_ += Ones(line_feeds);
  }

  // The run that ends at Stop, in the block at I or, for the open line, before
  // it. Keep marks the bytes of the block that were written after Written
  // bytes; In is the kernel's input; Writing is false when Out was null.
  Sequence_Run Finish(std::size_t stop, std::size_t i, std::uint64_t line_feeds, std::uint64_t keep,
                      std::size_t written, const char* in, bool writing) const {
    if (stop >= i) {
      const std::uint64_t taken = Below(stop - i);
      return {stop, written + Ones(keep & taken), lines_ + Ones(line_feeds & taken)};
    }
    // Gives back the letters written for the open line, at most
    // Longest_Ordinary_Line bytes before the block.
    char scratch[Longest_Ordinary_Line + Keep_Letters_Slack];
    const std::size_t open = writing ? Keep_Letters_Portable(in + line_start_, i - line_start_, scratch) : 0;
    return {line_start_, written - open, lines_};
  }

 private:
  std::size_t line_start_ = 0;
  std::size_t lines_ = 0;  // lines before the open line
};

}  // namespace Kernel_Variants
