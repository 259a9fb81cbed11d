#pragma once
// The floating-point unit as the program sets it at start-up (single precision, rounding toward
// zero, every exception masked) for the guard's lifetime; the setting in force before returns
// afterwards. Arithmetic under test runs in it, so it sees what the program computes.

#include "persistence/FPUControl.h"

namespace testsupport {

class ProgramFPU {
public:
  ProgramFPU() { SetUpFloatingPointUnit(); }
  ProgramFPU(const ProgramFPU&) = delete;
  ProgramFPU& operator=(const ProgramFPU&) = delete;

private:
  TFloatingPointUnit FSaved;  // takes the setting in force first; its destructor restores it
};

}  // namespace testsupport
