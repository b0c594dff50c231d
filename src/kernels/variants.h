// The versions of each kernel, for select.cc and the tests only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernels/kernels.h"

namespace Kernel_Variants {

void Mark_Line_Feeds_Portable(const char* p, std::size_t n, std::uint64_t* bits);
std::size_t Keep_Letters_Portable(const char* in, std::size_t n, char* out);
Sequence_Run Sequence_Lines_Portable(const char* in, std::size_t n, char* out);

#if defined(__x86_64__)
void Mark_Line_Feeds_Sse2(const char* p, std::size_t n, std::uint64_t* bits);
void Mark_Line_Feeds_Avx2(const char* p, std::size_t n, std::uint64_t* bits);
void Mark_Line_Feeds_Avx512(const char* p, std::size_t n, std::uint64_t* bits);
std::size_t Keep_Letters_Ssse3(const char* in, std::size_t n, char* out);
std::size_t Keep_Letters_Avx512(const char* in, std::size_t n, char* out);
Sequence_Run Sequence_Lines_Ssse3(const char* in, std::size_t n, char* out);
Sequence_Run Sequence_Lines_Avx512(const char* in, std::size_t n, char* out);
#endif

}  // namespace Kernel_Variants
