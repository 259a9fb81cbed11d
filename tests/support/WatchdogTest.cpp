// The watchdog of the in-process form tests must fire while the test's own thread is blocked,
// and say where each thread is.

#include "tests/support/Watchdog.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>

// Not inlined and not static: its name must show in the stacks.
[[gnu::noinline]] void WatchdogTestBlockForever() {
  std::mutex M;
  std::condition_variable Never;
  std::unique_lock L(M);
  Never.wait(L, [] { return false; });
}

TEST(WatchdogDeathTest, ABlockedThreadIsShownWithItsStackAndTheTestAborts) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Case {
    const char* Path;  // where gdb is looked for
    const char* Shows;
  } const Cases[] = {
      {std::getenv("PATH"), "WatchdogTestBlockForever"},
      // Without gdb each thread prints its own stack (the program's own functions unnamed).
      {"/nonexistent", "no gdb(.|\n)*--- thread [0-9]+\n"},
  };
  for (const Case& C : Cases) {
    EXPECT_DEATH(
        {
          setenv("PATH", C.Path, 1);
          const testsupport::TWatchdog W(std::chrono::milliseconds(200), "the probe");
          WatchdogTestBlockForever();
        },
        std::string("watchdog: the probe still running after 200 ms(.|\n)*") + C.Shows +
            "(.|\n)*aborting")
        << C.Path;
  }
}
