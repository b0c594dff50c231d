// Keeping only the letters of a sequence line: 'A'-'Z', 'a'-'z' and the
// ISO 8859-1 letters 192-214, 216-246 and 248-255, in their order and case.
#pragma once

#include <cstddef>

// Copies the letters of In[0..N) to Out (room for N bytes) and returns how many.
std::size_t Keep_Letters(const char* in, std::size_t n, char* out);
