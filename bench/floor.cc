// floor: the least work any converter of sequence lines must do, timed
// beside tarvelo as its floor: read the input in large blocks, keep its letters
// and line feeds, write them out. No line rules, no records.
//
//   floor FILE > OUT        (FILE "-" is standard input)
//
// Build: g++ -std=c++20 -O2 -march=native -o floor floor.cc
// With AVX-512 VBMI2 one block of 64 bytes is filtered by one compress; other
// processors use a plain loop that compilers vectorize less well.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#if defined(__AVX512VBMI2__) && defined(__AVX512BW__)
#include <immintrin.h>
#endif

namespace {

constexpr std::size_t Size = 256 * 1024;

bool Keep(unsigned char c) {
  return ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || (c >= 192 && c != 215 && c != 247) || c == '\n';
}

std::size_t Filter(const char* in, std::size_t n, char* out) {
  std::size_t k = 0;
  std::size_t i = 0;
#if defined(__AVX512VBMI2__) && defined(__AVX512BW__)
  for (; i + 64 <= n; i += 64) {
    const __m512i v = _mm512_loadu_si512(in + i);
    __mmask64 keep = _mm512_cmplt_epu8_mask(
        _mm512_sub_epi8(_mm512_or_si512(v, _mm512_set1_epi8(0x20)), _mm512_set1_epi8('a')),
        _mm512_set1_epi8(26));
    keep |= _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\n'));
    const __mmask64 high = _mm512_movepi8_mask(v);
    if (high != 0)
      keep |= _mm512_cmpge_epu8_mask(v, _mm512_set1_epi8(static_cast<char>(192))) &
              _mm512_cmpneq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(215))) &
              _mm512_cmpneq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(247)));
    _mm512_storeu_si512(out + k, _mm512_maskz_compress_epi8(keep, v));
    k += static_cast<std::size_t>(_mm_popcnt_u64(keep));
  }
#endif
  for (; i < n; ++i) {
    out[k] = in[i];
    k += Keep(static_cast<unsigned char>(in[i]));
  }
  return k;
}

bool Write_All(const char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = write(1, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: floor FILE\n");
    return 2;
  }
  const int fd = std::strcmp(argv[1], "-") == 0 ? 0 : open(argv[1], O_RDONLY);
  if (fd < 0) {
    std::perror(argv[1]);
    return 1;
  }
  std::unique_ptr<char[]> in(new char[Size]), out(new char[Size + 64]);
  for (;;) {
    const ssize_t n = read(fd, in.get(), Size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      std::perror(argv[1]);
      return 1;
    }
    if (n == 0) return 0;
    if (!Write_All(out.get(), Filter(in.get(), static_cast<std::size_t>(n), out.get()))) {
      std::perror("write");
      return 1;
    }
  }
}
