// How many processors this process may run on.
#pragma once

#include <cstddef>

// The CPUs of the process's affinity mask (which follows taskset, cgroup
// cpusets, batch schedulers and containers); 1 when it cannot be read.
std::size_t Usable_Cpus();
