// The versions of each kernel, for select.cc and the tests only.
#pragma once

#include <cstddef>

#include "kernels/kernels.h"

namespace Kernel_Variants {

std::size_t Find_Line_Feed_Portable(const char* p);
std::size_t Keep_Letters_Portable(const char* in, std::size_t n, char* out);
Sequence_Run Sequence_Lines_Portable(const char* in, std::size_t n, char* out);

#if defined(__x86_64__)
std::size_t Find_Line_Feed_Sse2(const char* p);
std::size_t Find_Line_Feed_Avx2(const char* p);
std::size_t Find_Line_Feed_Avx512(const char* p);
std::size_t Keep_Letters_Ssse3(const char* in, std::size_t n, char* out);
std::size_t Keep_Letters_Avx512(const char* in, std::size_t n, char* out);
Sequence_Run Sequence_Lines_Ssse3(const char* in, std::size_t n, char* out);
Sequence_Run Sequence_Lines_Avx512(const char* in, std::size_t n, char* out);
#endif

}  // namespace Kernel_Variants
