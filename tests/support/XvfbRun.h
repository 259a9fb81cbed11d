#pragma once
// Whole-program tests that need an X server: the test runs itself again under xvfb-run and
// reports that run's outcome; inside the server it does the work.
//
//   TEST(ShowProgram, Something) {
//     UNDER_XVFB();
//     ... runs under the X server ...
//   }

#include <gtest/gtest.h>

#include "tests/support/TestEnv.h"

#include <functional>
#include <string>

namespace testsupport {

// How long a whole test in a process of its own may take before it counts as hung (below
// CTest's limit, so that the hang is reported with the run's output).
constexpr int WholeRunMs = 240000;

// The full path of an installed program, or "" when it is not installed.
std::string FindProgram(const char* Name);
// Polls Cond every 25 ms (without processing events) until it holds or Ms have passed.
bool WaitFor(const std::function<bool()>& Cond, int Ms);

enum class TWhere { Inside, Done, Skip };
// Outside the server: runs this very test again under xvfb-run (a screen of Screen, "WxH", at
// 24 bits, which the server can shrink but never grow) and reports its outcome: a failure there
// (or a run that outlasts TimeoutMs, which is then ended with everything it started) fails this
// test (Done); a skip there skips it (Skip), as does a missing xvfb-run or xdotool. Inside: the
// caller does the work.
TWhere RunUnderXvfb(std::string& SkipWhy, int TimeoutMs = WholeRunMs, const char* Screen = "800x600");

// Qt fixes the screen's scale when the application starts: runs this very test again on the
// offscreen platform with QT_SCALE_FACTOR=Ratio; a failure there fails this test. Inside that
// run ScaleOfThisRun() is the ratio, elsewhere 0.
void RunThisTestAtScale(const char* Ratio);
double ScaleOfThisRun();

}  // namespace testsupport

#define UNDER_XVFB() UNDER_XVFB_SCREEN("800x600")

#define UNDER_XVFB_SCREEN(Screen)                                                       \
  do {                                                                                  \
    std::string SkipWhy_;                                                               \
    switch (::testsupport::RunUnderXvfb(SkipWhy_, ::testsupport::WholeRunMs, Screen)) { \
      case ::testsupport::TWhere::Inside: break;                                        \
      case ::testsupport::TWhere::Done: return;                                         \
      case ::testsupport::TWhere::Skip: GTEST_SKIP() << SkipWhy_;                       \
    }                                                                                   \
  } while (0)
