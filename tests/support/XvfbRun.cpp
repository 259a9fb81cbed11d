#include "tests/support/XvfbRun.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <cstdlib>
#include <unistd.h>

namespace testsupport {

namespace {
constexpr const char* InnerFlag = "RIZUDER_UNDER_XVFB";
}

std::string FindProgram(const char* Name) {
  for (const char* Dir : {"/usr/bin/", "/usr/local/bin/", "/bin/"})
    if (access((std::string(Dir) + Name).c_str(), X_OK) == 0) return std::string(Dir) + Name;
  return {};
}

bool WaitFor(const std::function<bool()>& Cond, int Ms) {
  QElapsedTimer T;
  T.start();
  while (!Cond()) {
    if (T.elapsed() > Ms) return false;
    QThread::msleep(25);
  }
  return true;
}

TWhere RunUnderXvfb(std::string& SkipWhy, int TimeoutMs) {
  if (std::getenv(InnerFlag)) return TWhere::Inside;
  const std::string XvfbRun = FindProgram("xvfb-run");
  if (XvfbRun.empty() || FindProgram("xdotool").empty()) {
    SkipWhy = "xvfb-run or xdotool is not installed";
    return TWhere::Skip;
  }
  const auto* Info = ::testing::UnitTest::GetInstance()->current_test_info();
  const QString Filter = QStringLiteral("--gtest_filter=%1.%2").arg(Info->test_suite_name(), Info->name());
  QProcess P;
  QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
  Env.insert(InnerFlag, "1");
  Env.insert("QT_QPA_PLATFORM", "offscreen");
  P.setProcessEnvironment(Env);
  P.setProcessChannelMode(QProcess::MergedChannels);
  // A server number of our own to start the search from, so parallel runs rarely meet.
  const QString Start = QString::number(100 + (getpid() % 5000));
  P.start(QString::fromStdString(XvfbRun),
          {"-a", "-n", Start, "-s", "-screen 0 800x600x24 -nolisten tcp -noreset",
           QString::fromStdString("/proc/" + std::to_string(getpid()) + "/exe"), Filter});
  const bool Finished = P.waitForFinished(TimeoutMs);
  const QByteArray Out = P.readAll();
  EXPECT_TRUE(Finished) << Out.toStdString();
  EXPECT_EQ(P.exitCode(), 0) << Out.toStdString();
  EXPECT_TRUE(Out.contains("[  PASSED  ] 1 test.") || Out.contains("[  SKIPPED ]"))
      << "the test did not run under the X server:\n" << Out.toStdString();
  if (Out.contains("[  SKIPPED ]")) {
    SkipWhy = "skipped inside the X server";
    return TWhere::Skip;
  }
  return TWhere::Done;
}

}  // namespace testsupport
