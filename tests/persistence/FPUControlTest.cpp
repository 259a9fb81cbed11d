#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <vector>

#include "persistence/FPUControl.h"

namespace {
// Keeps the compiler from folding the arithmetic at build time.
volatile float GSeven = 7.0f, GTwo = 2.0f, GOne = 1.0f, GThree = 3.0f, GZero = 0.0f;

uint32_t Bits(float F) {
  uint32_t U;
  std::memcpy(&U, &F, 4);
  return U;
}
}  // namespace

TEST(FloatingPointUnit, StartUpGivesSinglePrecisionTruncationAllMasked) {
  SetUpFloatingPointUnit();
  EXPECT_EQ(TFloatingPointUnit::CurrentControlWord(), 0x0C7F);
  EXPECT_EQ(Default8087CW, 0x0C7F);
  const uint32_t M = TFloatingPointUnit::CurrentMXCSR();
  EXPECT_EQ(M & 0x1F80u, 0x1F80u);        // every SSE exception masked
  EXPECT_EQ((M >> 13) & 3u, 3u);          // rounding toward zero
  EXPECT_EQ(static_cast<int>(GSeven / GTwo), 3);
  EXPECT_EQ(static_cast<int>(-GSeven / GTwo), -3);
  // Toward zero, 1/3 loses its last rounded-up bit.
  EXPECT_EQ(Bits(GOne / GThree), 0x3EAAAAAAu);
  FPU().RestoreControlWord();
  EXPECT_EQ(Bits(GOne / GThree), 0x3EAAAAABu);
}

TEST(FloatingPointUnit, ExceptionsStayMaskedAfterResetEvenIfTrapsWereOn) {
  feenableexcept(FE_DIVBYZERO | FE_OVERFLOW | FE_INVALID);
  SetUpFloatingPointUnit();
  EXPECT_EQ(fegetexcept(), 0);
  const float Inf = GOne / GZero;  // no signal
  EXPECT_TRUE(std::isinf(Inf));
  EXPECT_TRUE(std::isnan(GZero / GZero));
  FPU().RestoreControlWord();
}

TEST(FloatingPointUnit, PrecisionAndRoundingBits) {
  SetUpFloatingPointUnit();
  FPU().SetPrecision(1);
  EXPECT_EQ(TFloatingPointUnit::CurrentControlWord(), 0x0E7F);
  FPU().SetPrecision(2);
  EXPECT_EQ(TFloatingPointUnit::CurrentControlWord(), 0x0F7F);
  FPU().SetPrecision(7);
  EXPECT_EQ(TFloatingPointUnit::CurrentControlWord(), 0x0C7F);
  FPU().SetRoundingMode(1);
  EXPECT_EQ(TFloatingPointUnit::CurrentControlWord(), 0x047F);
  EXPECT_EQ((TFloatingPointUnit::CurrentMXCSR() >> 13) & 3u, 1u);
  FPU().SetRoundingMode(9);
  EXPECT_EQ(TFloatingPointUnit::CurrentControlWord(), 0x007F);
  FPU().RestoreControlWord();
}

TEST(FloatingPointUnit, FullPrecisionFunctionsIgnoreThePrecisionSettingAndKeepIt) {
  struct Case {
    long double (*Full)(long double);
    long double (*Library)(long double);
    long double X;
  };
  const Case Cases[] = {
      {FullSin, [](long double X) { return std::sin(X); }, 0.1L},
      {FullSin, [](long double X) { return std::sin(X); }, -2.5L},
      {FullTan, [](long double X) { return std::tan(X); }, 0.7L},
      {FullArcTan, [](long double X) { return std::atan(X); }, 511.0L},
  };
  volatile long double Y = 0.3L, X = 0.9L;
  FPU().Reset();  // the standard word: the reference values
  std::vector<long double> Expected;
  for (const Case& C : Cases) Expected.push_back(C.Library(C.X));
  const long double Expected2 = std::atan2(Y, X);
  for (const int Precision : {0, 1, 2}) {
    SCOPED_TRACE(Precision);
    SetUpFloatingPointUnit();
    FPU().SetPrecision(Precision);
    const uint16_t CW = TFloatingPointUnit::CurrentControlWord();
    const uint32_t MXCSR = TFloatingPointUnit::CurrentMXCSR();
    for (size_t I = 0; I < std::size(Cases); ++I) EXPECT_EQ(Cases[I].Full(Cases[I].X), Expected[I]) << I;
    EXPECT_EQ(FullArcTan2(Y, X), Expected2);
    EXPECT_EQ(TFloatingPointUnit::CurrentControlWord(), CW);
    EXPECT_EQ(TFloatingPointUnit::CurrentMXCSR(), MXCSR);
  }
  FPU().RestoreControlWord();
}
