// The one place that chooses among the kernel versions.
#include "kernels/kernels.h"
#include "kernels/variants.h"

namespace {

using namespace Kernel_Variants;

// The levels this build holds for its processor.
constexpr Kernel_Set Sets[] = {
    {Kernel_Level::PORTABLE, "portable", Index_Line_Feeds_Portable, Keep_Letters_Portable,
     Sequence_Lines_Portable},
#if defined(__x86_64__)
    {Kernel_Level::SSSE3, "ssse3", Index_Line_Feeds_Sse2, Keep_Letters_Ssse3, Sequence_Lines_Ssse3},
    {Kernel_Level::AVX2, "avx2", Index_Line_Feeds_Avx2, Keep_Letters_Ssse3, Sequence_Lines_Avx2},
    {Kernel_Level::AVX512, "avx512", Index_Line_Feeds_Avx512, Keep_Letters_Avx512,
     Sequence_Lines_Avx512},
#elif defined(TARVELO_KERNELS_NEON)
    {Kernel_Level::NEON, "neon", Index_Line_Feeds_Neon, Keep_Letters_Neon, Sequence_Lines_Neon},
#endif
};

}  // namespace

std::vector<Kernel_Level> Available_Kernel_Levels() {
  std::vector<Kernel_Level> levels{Kernel_Level::PORTABLE};
#if defined(__x86_64__)
  __builtin_cpu_init();
  if (!__builtin_cpu_supports("ssse3")) return levels;
  levels.push_back(Kernel_Level::SSSE3);
  if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("bmi") || !__builtin_cpu_supports("popcnt"))
    return levels;
  levels.push_back(Kernel_Level::AVX2);
  // Every processor with AVX-512 VBMI2 has LZCNT too, which not every
  // compiler lets a program ask about.
  if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi") &&
      __builtin_cpu_supports("avx512vbmi2") &&
      __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
      __builtin_cpu_supports("popcnt"))
    levels.push_back(Kernel_Level::AVX512);
#elif defined(TARVELO_KERNELS_NEON)
  levels.push_back(Kernel_Level::NEON);  // every aarch64 processor has it
#endif
  return levels;
}

const Kernel_Set& Kernels_Of(Kernel_Level level) {
  for (const Kernel_Set& k : Sets)
    if (k.level == level) return k;
  return Sets[0];
}

const Kernel_Set* const Chosen_Kernels = &Kernels_Of(Available_Kernel_Levels().back());
