#pragma once
// The common main of the benchmarks that play sequences: an offscreen GUI, the program's
// floating-point mode, every persistent class registered, and the millisecond clock read from
// Clock (each benchmark advances it as its frames need).

#include <cstdint>

int RunPlayerBenchmarks(int argc, char** argv, const uint32_t& Clock);
