#include "persistence/FPUControl.h"

#include <cmath>

uint16_t Default8087CW = 0x037F;

namespace {
#if defined(__x86_64__) || defined(__i386__)
uint16_t ReadCW() {
  uint16_t CW;
  __asm__ volatile("fnstcw %0" : "=m"(CW));
  return CW;
}
void LoadCW(uint16_t CW) {
  __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(CW));
}
// Only the word; the "memory" clobber keeps library calls on their side of it.
void SetCW(uint16_t CW) { __asm__ volatile("fldcw %0" : : "m"(CW) : "memory"); }
void FnInit() { __asm__ volatile("fninit"); }
uint32_t ReadMXCSR() {
  uint32_t M;
  __asm__ volatile("stmxcsr %0" : "=m"(M));
  return M;
}
void LoadMXCSR(uint32_t M) { __asm__ volatile("ldmxcsr %0" : : "m"(M) : "memory"); }
#else
uint16_t GCW = 0x037F;
uint16_t ReadCW() { return GCW; }
void LoadCW(uint16_t CW) { GCW = CW; }
void SetCW(uint16_t CW) { GCW = CW; }
void FnInit() { GCW = 0x037F; }
uint32_t ReadMXCSR() { return 0x1F80; }
void LoadMXCSR(uint32_t) {}
#endif

// SSE has no precision control; its rounding field (bits 13-14) follows the x87 one, and all
// its exceptions stay masked with the flags cleared.
void SyncMXCSR(uint16_t CW) {
  const uint32_t RC = (CW >> 10) & 3u;
  LoadMXCSR(0x1F80u | (RC << 13));
}

void Apply(uint16_t CW) {
  LoadCW(CW);
  SyncMXCSR(CW);
  Default8087CW = CW;
}
}  // namespace

TFloatingPointUnit::TFloatingPointUnit() : FSavedCW(ReadCW()), FSavedMXCSR(ReadMXCSR()) {
  Default8087CW = FSavedCW;
}

TFloatingPointUnit::~TFloatingPointUnit() { RestoreControlWord(); }

void TFloatingPointUnit::Reset() {
  FnInit();
  Default8087CW = ReadCW();
  LoadMXCSR(0x1F80u);
}

void TFloatingPointUnit::SetPrecision(int Precision) {
  uint16_t Bits = 0;
  if (Precision == 1) Bits = 0x200;
  else if (Precision == 2) Bits = 0x300;
  Apply(static_cast<uint16_t>((Default8087CW & ~0x300u) | Bits));
}

void TFloatingPointUnit::SetRoundingMode(int Mode) {
  uint16_t Bits = 0;
  if (Mode == 1) Bits = 0x400;
  else if (Mode == 2) Bits = 0x800;
  else if (Mode == 3) Bits = 0xC00;
  Apply(static_cast<uint16_t>((Default8087CW & ~0xC00u) | Bits));
}

void TFloatingPointUnit::RestoreControlWord() {
  LoadCW(FSavedCW);
  LoadMXCSR(FSavedMXCSR & ~0x3Fu);
  Default8087CW = FSavedCW;
}

uint16_t TFloatingPointUnit::CurrentControlWord() { return ReadCW(); }
uint32_t TFloatingPointUnit::CurrentMXCSR() { return ReadMXCSR(); }

void SetUpFloatingPointUnit() {
  FPU().Reset();
  FPU().SetPrecision(0);
  FPU().SetRoundingMode(3);
}

namespace {
// The standard word (full precision, nearest, all masked) and SSE's, for the span of one call.
class StandardControlWord {
public:
  StandardControlWord() : FCW(ReadCW()), FMXCSR(ReadMXCSR()) {
    SetCW(0x037F);
    LoadMXCSR(0x1F80u);
  }
  ~StandardControlWord() {
    SetCW(FCW);
    LoadMXCSR(FMXCSR);
  }

private:
  uint16_t FCW;
  uint32_t FMXCSR;
};
}  // namespace

long double FullSin(long double X) {
  StandardControlWord Standard;
  return std::sin(X);
}

long double FullTan(long double X) {
  StandardControlWord Standard;
  return std::tan(X);
}

long double FullArcTan(long double X) {
  StandardControlWord Standard;
  return std::atan(X);
}

long double FullArcTan2(long double Y, long double X) {
  StandardControlWord Standard;
  return std::atan2(Y, X);
}

TFloatingPointUnit& FPU() {
  static TFloatingPointUnit Instance;
  return Instance;
}

namespace {
// Created at start-up so that the standard word is saved before anything changes it.
struct FPUControlStartup {
  FPUControlStartup() { FPU(); }
} GFPUControlStartup;
}  // namespace
