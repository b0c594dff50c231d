// The line rules of the vector sequence-line kernels, worked on the bit masks
// of one block of 64 bytes at a time (bit J stands for byte J of the block).
// Plain scalar code, inlined into each vector version.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernels/kernels.h"

namespace Kernel_Variants {

inline constexpr std::size_t Block = 64;
inline constexpr std::size_t No_Stop = ~std::size_t{0};

// The bits of the first N bytes of a block (N at most 64).
inline std::uint64_t Below(std::size_t n) { return n >= Block ? ~0ULL : (1ULL << n) - 1; }
inline std::size_t Ones(std::uint64_t mask) { return static_cast<std::size_t>(__builtin_popcountll(mask)); }

// Follows the lines through the blocks: where the open line began, and what
// was written and counted before it, so that a line found to be unusual later
// can be given back whole.
class Line_Blocks {
 public:
  // Where the run must end, looking at the block at I (Line_Feeds, Blanks and
  // Valid are its masks of line feeds, of blanks and of bytes inside the
  // input); No_Stop when every line the block touches may be taken and the
  // input goes on past it. A run ends at the first line that does not begin
  // with a blank, at the open line once it is too long, and before the piece
  // of a line that the input ends in.
  std::size_t Stop(std::size_t i, std::uint64_t line_feeds, std::uint64_t blanks,
                   std::uint64_t valid) const {
    const std::size_t first_line_feed =
        line_feeds != 0 ? i + static_cast<std::size_t>(__builtin_ctzll(line_feeds)) : i + Block;
    if (first_line_feed - line_start_ > Longest_Ordinary_Line) return line_start_;
    const std::uint64_t starts = ((line_feeds << 1) | (line_start_ == i ? 1 : 0)) & valid;
    const std::uint64_t unusual = starts & ~blanks;
    std::size_t stop = unusual != 0 ? i + static_cast<std::size_t>(__builtin_ctzll(unusual)) : No_Stop;
    if (valid != ~0ULL) {
      const std::size_t end =
          line_feeds != 0 ? i + Block - static_cast<std::size_t>(__builtin_clzll(line_feeds)) : line_start_;
      if (end < stop) stop = end;
    }
    return stop;
  }

  // Passes the block at I, of which Keep were written after Written bytes.
  void Advance(std::size_t i, std::uint64_t line_feeds, std::uint64_t keep, std::size_t written) {
    if (line_feeds == 0) return;
    const std::size_t after = Block - static_cast<std::size_t>(__builtin_clzll(line_feeds));
    line_start_ = i + after;
    written_ = written + Ones(keep & Below(after));
    lines_ += Ones(line_feeds);
  }

  // The run that ends at Stop (from Stop above, or the open line when the
  // input ends with the block before I).
  Sequence_Run Finish(std::size_t stop, std::size_t i, std::uint64_t line_feeds, std::uint64_t keep,
                      std::size_t written) const {
    if (stop < i) return {line_start_, written_, lines_};
    const std::uint64_t taken = Below(stop - i);
    return {stop, written + Ones(keep & taken), lines_ + Ones(line_feeds & taken)};
  }
  Sequence_Run Finish() const { return {line_start_, written_, lines_}; }

 private:
  std::size_t line_start_ = 0;
  std::size_t written_ = 0;  // output before the open line
  std::size_t lines_ = 0;    // lines before the open line
};

}  // namespace Kernel_Variants
