#include <algorithm>
#include <array>
#include <cstring>

#include "kernels/kernels.h"
#include "kernels/variants.h"
#include "support/textutils.h"

namespace Kernel_Variants {

namespace {

constexpr auto Is_Letter = [] {
  std::array<unsigned char, 256> t{};
  for (std::size_t i = 0; i < 256; ++i) t[i] = Textutils::Letter_Set[static_cast<unsigned char>(i)] ? 1 : 0;
  return t;
}();

}  // namespace

std::size_t Index_Line_Feeds_Portable(const char* p, std::size_t n, std::uint32_t base, std::uint32_t* out) {
  std::size_t count = 0;
  for (std::size_t j = 0; j < n; ++j) {
    out[count] = base + static_cast<std::uint32_t>(j);  // always stored, kept only for a line feed
    count += p[j] == '\n' ? 1 : 0;
  }
  return count;
}

std::size_t Keep_Letters_Portable(const char* in, std::size_t n, char* out) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char c = in[i];
    out[kept] = c;  // always stored, kept only when a letter
    kept += Is_Letter[static_cast<unsigned char>(c)];
  }
  return kept;
}

Sequence_Run Sequence_Lines_Portable(const char* in, std::size_t n, char* out) {
  Sequence_Run run;
  while (run.consumed < n && in[run.consumed] != '/' && in[run.consumed] != 'L') {
    const char* line = in + run.consumed;
    const std::size_t reach = std::min(n - run.consumed, Longest_Ordinary_Line + 1);
    const void* lf = std::memchr(line, '\n', reach);
    if (lf == nullptr) break;
    const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(lf) - line);
    if (out != nullptr) {
      run.written += Keep_Letters_Portable(line, length, out + run.written);
      out[run.written++] = '\n';
    }
    run.consumed += length + 1;
    ++run.lines;
  }
  return run;
}

}  // namespace Kernel_Variants
