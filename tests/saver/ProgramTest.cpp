// The programs as a user starts them, in separate processes.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include "tests/support/TestEnv.h"
#include "tests/support/XvfbRun.h"

using testsupport::WaitFor;

namespace {
QString Program(const char* Relative) { return QString::fromStdString(testsupport::BuildPath(Relative)); }

int CountLines(const std::string& Path) {
  const std::string S = testsupport::ReadFileBytes(Path);
  return static_cast<int>(std::count(S.begin(), S.end(), '\n'));
}

}  // namespace

TEST(RizuderProgram, ModeLEndsAtOnce) {
  QProcess P;
  P.start(Program("saver/Rizuder"), {"/l"});
  ASSERT_TRUE(P.waitForFinished(10000));
  EXPECT_EQ(P.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(P.exitCode(), 0);
  EXPECT_FALSE(P.readAllStandardError().contains("Rizuder:"));
}

TEST(RizuderProgram, LoneDashTakesTheConfigurationRoad) {
  // The bare program carries no saver: the dialog's road waits for the user at the message
  // about the unreadable data (whole-program runs of the dialog are in ConfigurationTest).
  QProcess P;
  P.start(Program("saver/Rizuder"), {"-"});
  ASSERT_TRUE(P.waitForStarted(5000));
  EXPECT_FALSE(P.waitForFinished(1500)) << P.readAllStandardError().toStdString();
  P.kill();
  P.waitForFinished(5000);
  EXPECT_FALSE(P.readAllStandardError().contains("not available"));
}

TEST(SingleInstance, SecondProcessRaisesTheFirstAndEnds) {
  const std::string Marker = testsupport::TempDir() + "/shown";
  QProcess First;
  First.start(Program("tests/saver/instance_helper"), {QString::fromStdString(Marker)});
  ASSERT_TRUE(First.waitForStarted(5000));
  ASSERT_TRUE(WaitFor([&] { return CountLines(Marker) >= 1; }, 10000));

  QProcess Second;
  Second.start(Program("tests/saver/instance_helper"), {QString::fromStdString(Marker)});
  ASSERT_TRUE(Second.waitForFinished(10000));
  EXPECT_EQ(Second.exitCode(), 0);
  // The first instance was brought forward (shown again); the second never showed a window.
  EXPECT_TRUE(WaitFor([&] { return CountLines(Marker) == 2; }, 5000));
  EXPECT_EQ(First.state(), QProcess::Running);

  First.terminate();
  if (!First.waitForFinished(5000)) First.kill();
}
