#pragma once
// The floating-point mode all graphics code relies on: single precision, rounding toward zero,
// every exception masked. Held for the whole process; the saved mode returns at the end.

#include <cstdint>

class TFloatingPointUnit {
public:
  TFloatingPointUnit();   // saves the run time's current control word
  ~TFloatingPointUnit();  // RestoreControlWord
  void Reset();
  void SetPrecision(int Precision);  // 0 single, 1 double, 2 extended
  void SetRoundingMode(int Mode);    // 0 nearest, 1 down, 2 up, 3 toward zero
  void RestoreControlWord();

  // The x87 control word and the SSE control register as they stand now.
  static uint16_t CurrentControlWord();
  static uint32_t CurrentMXCSR();

private:
  uint16_t FSavedCW;
  uint32_t FSavedMXCSR;
};

// The run time's default control word, which the unit's settings update.
extern uint16_t Default8087CW;

TFloatingPointUnit& FPU();

// The program's start-up setting: reset, then single precision, then rounding toward zero.
void SetUpFloatingPointUnit();

// Sine, tangent and arc tangents as the processor's own instructions give them, whatever the
// precision and rounding in force: the maths library computes its extended results with
// ordinary arithmetic, which the program's setting would cut to single precision. Each runs
// under the standard control word and leaves the current one as it was; whatever the caller
// does with the result is rounded as usual.
long double FullSin(long double X);
long double FullTan(long double X);
long double FullArcTan(long double X);
long double FullArcTan2(long double Y, long double X);
