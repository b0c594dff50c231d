#include "output/sequence_filter.h"

#include "driver/run_config.h"

namespace {

constexpr auto Is_Letter = [] {
  std::array<unsigned char, 256> t{};
  for (std::size_t i = 0; i < 256; ++i) t[i] = Non_Letters[static_cast<unsigned char>(i)] ? 0 : 1;
  return t;
}();

}  // namespace

std::size_t Keep_Letters(const char* in, std::size_t n, char* out) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char c = in[i];
    out[kept] = c;  // always stored, kept only when a letter
    kept += Is_Letter[static_cast<unsigned char>(c)];
  }
  return kept;
}
