// The harness that runs a test under an X server must pass on what happened there: a failure
// or a hang inside fails the outer test, and only a real skip inside skips it.

#include "tests/support/TestEnv.h"
#include "tests/support/XvfbRun.h"

#include <QProcess>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <unistd.h>

namespace {

// The probes are registered only when the harness test runs this program for them, so CTest
// never lists them.
constexpr const char* ProbeFlag = "RIZUDER_HARNESS_PROBE";
constexpr const char* PidFileVar = "RIZUDER_HARNESS_PIDS";
constexpr const char* HangLimitVar = "RIZUDER_HARNESS_HANG_MS";

// Inside the server: this process and the Xvfb that serves it (its lock file names it).
void WritePids() {
  const char* File = std::getenv(PidFileVar);
  const std::string Display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : ":";
  std::ifstream Lock("/tmp/.X" + Display.substr(Display.find(':') + 1) + "-lock");
  long Server = 0;
  Lock >> Server;
  std::ofstream(File) << getpid() << ' ' << Server << '\n';
}

class Probe : public ::testing::Test {
public:
  explicit Probe(std::string Mode) : FMode(std::move(Mode)) {}
  void TestBody() override {
    std::string Why;
    const char* HangLimit = std::getenv(HangLimitVar);
    switch (testsupport::RunUnderXvfb(Why, FMode == "Hangs" && HangLimit ? std::atoi(HangLimit)
                                                                        : testsupport::WholeRunMs)) {
      case testsupport::TWhere::Inside: break;
      case testsupport::TWhere::Done: return;
      case testsupport::TWhere::Skip: GTEST_SKIP() << Why;
    }
    if (FMode == "Fails") ADD_FAILURE() << "failing on purpose";
    if (FMode == "Skips") GTEST_SKIP() << "skipping on purpose";
    if (FMode == "Hangs") {
      WritePids();
      for (;;) pause();
    }
  }

private:
  std::string FMode;
};

[[maybe_unused]] const bool ProbesRegistered = [] {
  if (!std::getenv(ProbeFlag)) return false;
  for (const char* Mode : {"Passes", "Fails", "Skips", "Hangs"})
    ::testing::RegisterTest("HarnessProbe", Mode, nullptr, nullptr, __FILE__, __LINE__,
                            [M = std::string(Mode)]() -> ::testing::Test* { return new Probe(M); });
  return true;
}();

bool Ended(long Pid) {
  if (Pid <= 0) return false;
  std::ifstream Stat("/proc/" + std::to_string(Pid) + "/stat");
  std::string Line;
  if (!std::getline(Stat, Line)) return true;
  const size_t Paren = Line.rfind(')');
  return Paren != std::string::npos && Line.size() > Paren + 2 && Line[Paren + 2] == 'Z';
}

}  // namespace

TEST(XvfbHarness, PassesOnOnlyWhatHappenedUnderTheServer) {
  if (testsupport::FindProgram("xvfb-run").empty() || testsupport::FindProgram("xdotool").empty())
    GTEST_SKIP() << "xvfb-run or xdotool is not installed";
  // CTest counts a test as skipped when its output matches this, whatever its exit code.
  const std::regex CTestSkip(R"(\[  SKIPPED \])");
  const struct {
    const char* Mode;
    bool Passes;
    bool Skipped;
  } Cases[] = {
      {"Passes", true, false},
      {"Fails", false, false},
      {"Skips", true, true},
      {"Hangs", false, false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Mode);
    const bool Hangs = std::string(C.Mode) == "Hangs";
    const std::string PidFile = testsupport::TestDir() + "/pids-" + C.Mode;
    // The hang's limit may run out while the server is still starting, before the probe hangs
    // inside: then it is tried again with a longer one.
    for (const int Limit : {4000, 20000, testsupport::PatientMs}) {
      std::remove(PidFile.c_str());
      QProcess P;
      QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
      Env.remove("RIZUDER_UNDER_XVFB");
      Env.insert(ProbeFlag, "1");
      Env.insert(PidFileVar, QString::fromStdString(PidFile));
      Env.insert(HangLimitVar, QString::number(Limit));
      P.setProcessEnvironment(Env);
      P.setProcessChannelMode(QProcess::MergedChannels);
      P.start("/proc/self/exe", {QStringLiteral("--gtest_filter=HarnessProbe.%1").arg(C.Mode)});
      ASSERT_TRUE(P.waitForFinished(testsupport::WholeRunMs));
      const std::string Out = P.readAll().toStdString();
      // Quoted defused, or a failure here would read as a skip.
      const std::string Shown = std::regex_replace(Out, CTestSkip, "[  skipped ]");
      EXPECT_EQ(P.exitCode() == 0, C.Passes) << Shown;
      EXPECT_EQ(std::regex_search(Out, CTestSkip), C.Skipped) << Shown;
      if (!Hangs) break;
      long Inner = 0, Server = 0;
      std::ifstream(PidFile) >> Inner >> Server;
      if (Inner <= 0 && Limit < testsupport::PatientMs) continue;
      ASSERT_GT(Inner, 0) << "the probe never hung under the server:\n" << Shown;
      EXPECT_TRUE(testsupport::WaitFor([&] { return Ended(Inner) && Ended(Server); }, testsupport::PatientMs))
          << "the inner test (" << Inner << ") and its X server (" << Server << ") were left running";
      break;
    }
  }
}
