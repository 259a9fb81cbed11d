// The programs as a user starts them, in separate processes.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLocalServer>
#include <QProcess>
#include <QThread>

#include <memory>
#include <unistd.h>
#include <vector>

#include "tests/support/TestEnv.h"
#include "tests/support/XvfbRun.h"

using testsupport::PatientMs;
using testsupport::WaitFor;

namespace {
QString Program(const char* Relative) { return QString::fromStdString(testsupport::BuildPath(Relative)); }

int CountLines(const std::string& Path, const std::string& Line) {
  const std::string S = testsupport::ReadFileBytes(Path);
  int N = 0;
  for (size_t At = S.find(Line + "\n"); At != std::string::npos; At = S.find(Line + "\n", At + 1)) ++N;
  return N;
}

}  // namespace

TEST(RizuderProgram, WithoutADisplayLEndsAtOnceAndAEndsSayingWhy) {
  QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
  Env.remove("DISPLAY");
  Env.remove("WAYLAND_DISPLAY");
  Env.insert("QT_QPA_PLATFORM", "xcb");  // no fallback to a platform that needs no display
  struct Case {
    const char* Argument;
    int ExitCode;
    bool SaysWhy;
  };
  for (const Case& C : {Case{"/l", 0, false}, Case{"/a", 1, true}, Case{"/s", 1, true}}) {
    QProcess P;
    P.setProcessEnvironment(Env);
    P.start(Program("saver/Rizuder"), {C.Argument});
    ASSERT_TRUE(P.waitForFinished(PatientMs)) << C.Argument;
    const QByteArray Err = P.readAllStandardError();
    EXPECT_EQ(P.exitStatus(), QProcess::NormalExit) << C.Argument << ": " << Err.toStdString();
    EXPECT_EQ(P.exitCode(), C.ExitCode) << C.Argument << ": " << Err.toStdString();
    EXPECT_EQ(Err.contains("Rizuder: no display could be opened; the program ends.\n"), C.SaysWhy)
        << C.Argument << ": " << Err.toStdString();
    if (!C.SaysWhy) {
      EXPECT_TRUE(Err.isEmpty()) << C.Argument << ": " << Err.toStdString();
    }
  }
}

TEST(RizuderProgram, LoneDashTakesTheConfigurationRoad) {
  // The bare program carries no saver: the dialog's road waits for the user at the message
  // about the unreadable data (whole-program runs of the dialog are in ConfigurationTest).
  QProcess P;
  P.start(Program("saver/Rizuder"), {"-"});
  ASSERT_TRUE(P.waitForStarted(PatientMs));
  EXPECT_FALSE(P.waitForFinished(1500)) << P.readAllStandardError().toStdString();
  P.kill();
  P.waitForFinished(PatientMs);
  EXPECT_FALSE(P.readAllStandardError().contains("not available"));
}

TEST(SingleInstance, SecondProcessBringsTheFirstForwardAndEnds) {
  const std::string Marker = testsupport::TempDir() + "/shown";
  QProcess First;
  First.start(Program("tests/saver/instance_helper"), {QString::fromStdString(Marker)});
  ASSERT_TRUE(First.waitForStarted(PatientMs));
  // Active once it is shown, then covered by the program's other window.
  ASSERT_TRUE(WaitFor([&] { return testsupport::ReadFileBytes(Marker) == "shown\nactive\ncovered\n"; }, PatientMs))
      << testsupport::ReadFileBytes(Marker);

  QProcess Second;
  Second.start(Program("tests/saver/instance_helper"), {QString::fromStdString(Marker)});
  ASSERT_TRUE(Second.waitForFinished(PatientMs));
  EXPECT_EQ(Second.exitCode(), 0);
  // The first instance's window is active again; the second never showed a window.
  EXPECT_TRUE(WaitFor([&] { return CountLines(Marker, "active") == 2; }, PatientMs)) << testsupport::ReadFileBytes(Marker);
  EXPECT_EQ(CountLines(Marker, "shown"), 1);
  // Asked anew: without an event loop the state stays as it was when last looked at.
  EXPECT_TRUE(!First.waitForFinished(0) && First.state() == QProcess::Running) << "the first instance goes on";

  First.terminate();
  if (!First.waitForFinished(PatientMs)) First.kill();
}

TEST(SingleInstance, ANameTakenInTheSharedTemporaryDirectoryDoesNotStopTheShow) {
  // Someone listens under every name the guard could use in the shared directory; connecting
  // succeeds there even though nobody answers.
  std::vector<std::unique_ptr<QLocalServer>> Squatters;
  for (const QString& Name : {QString("Dodeda Zedud Azireze"), QString("Dodeda Zedud Azireze-%1").arg(getuid())}) {
    Squatters.push_back(std::make_unique<QLocalServer>());
    ASSERT_TRUE(Squatters.back()->listen(QString::fromStdString(testsupport::TempDir()) + "/" + Name));
  }
  const std::string Marker = testsupport::TempDir() + "/shown";
  QProcess Show;
  Show.start(Program("tests/saver/instance_helper"), {QString::fromStdString(Marker)});
  ASSERT_TRUE(Show.waitForStarted(PatientMs));
  EXPECT_TRUE(WaitFor([&] { return CountLines(Marker, "shown") >= 1; }, PatientMs)) << "the instance never showed";
  EXPECT_TRUE(!Show.waitForFinished(0) && Show.state() == QProcess::Running) << "the instance goes on";
  Show.terminate();
  if (!Show.waitForFinished(PatientMs)) Show.kill();
}
