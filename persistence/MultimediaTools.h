#pragma once
#include <cstdint>

// Milliseconds since an arbitrary start, wrapping to 0 after 2^32 ms (about 49.7 days).
uint32_t GetTickMs();
