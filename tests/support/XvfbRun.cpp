#include "tests/support/XvfbRun.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <cstdlib>
#include <sys/types.h>
#include <unistd.h>

namespace testsupport {

namespace {
constexpr const char* InnerFlag = "RIZUDER_UNDER_XVFB";
constexpr const char* ScaleFlag = "RIZUDER_TEST_SCALE";

QString ThisTestFilter() {
  const auto* Info = ::testing::UnitTest::GetInstance()->current_test_info();
  return QStringLiteral("--gtest_filter=%1.%2").arg(Info->test_suite_name(), Info->name());
}

// What gtest prints for a skipped test. CTest reads a test's whole output for it, so the
// inner run's output is quoted with it defused: only a real skip may mark the outer test.
QByteArray SkipMark() { return QByteArray("[  SKIPPED") + " ]"; }
std::string Quoted(QByteArray Out) { return Out.replace(SkipMark(), "[  skipped ]").toStdString(); }

// Ends xvfb-run with everything it started (Xvfb, the inner test and its programs).
void EndGroup(QProcess& P) {
  const pid_t Group = pid_t(P.processId());
  if (Group <= 0) return;
  kill(-Group, SIGTERM);
  if (!P.waitForFinished(3000)) {
    kill(-Group, SIGKILL);
    P.waitForFinished(PatientMs);
  }
}
}  // namespace

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

TWhere RunUnderXvfb(std::string& SkipWhy, int TimeoutMs, const char* Screen) {
  if (std::getenv(InnerFlag)) return TWhere::Inside;
  const std::string XvfbRun = FindProgram("xvfb-run");
  if (XvfbRun.empty() || FindProgram("xdotool").empty()) {
    SkipWhy = "xvfb-run or xdotool is not installed";
    return TWhere::Skip;
  }
  const QString Filter = ThisTestFilter();
  QProcess P;
  QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
  Env.insert(InnerFlag, "1");
  Env.insert("QT_QPA_PLATFORM", "offscreen");
  P.setProcessEnvironment(Env);
  P.setProcessChannelMode(QProcess::MergedChannels);
  // A process group of its own, so that a run that hangs can be ended whole.
  P.setChildProcessModifier([] { setpgid(0, 0); });
  // A server number of our own to start the search from, so parallel runs rarely meet.
  const QString Start = QString::number(100 + (getpid() % 5000));
  P.start(QString::fromStdString(XvfbRun),
          {"-a", "-n", Start, "-s", QStringLiteral("-screen 0 %1x24 -nolisten tcp -noreset").arg(Screen),
           QString::fromStdString("/proc/" + std::to_string(getpid()) + "/exe"), Filter});
  if (!P.waitForStarted(PatientMs)) {
    ADD_FAILURE() << "xvfb-run did not start: " << P.errorString().toStdString();
    return TWhere::Done;
  }
  if (!P.waitForFinished(TimeoutMs)) {
    EndGroup(P);
    ADD_FAILURE() << "the test under the X server did not end within " << TimeoutMs
                  << " ms and was ended:\n" << Quoted(P.readAll());
    return TWhere::Done;
  }
  const QByteArray Out = P.readAll();
  const bool Clean = P.exitStatus() == QProcess::NormalExit && P.exitCode() == 0 &&
                     !Out.contains("[  FAILED  ]");
  if (Clean && Out.contains("[  PASSED  ] 1 test.")) return TWhere::Done;
  if (Clean && Out.contains(SkipMark() + " 1 test")) {
    SkipWhy = "skipped inside the X server";
    return TWhere::Skip;
  }
  ADD_FAILURE() << "the test under the X server failed (exit code " << P.exitCode() << "):\n" << Quoted(Out);
  return TWhere::Done;
}

void RunThisTestAtScale(const char* Ratio) {
  QProcess P;
  QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
  Env.insert(ScaleFlag, Ratio);
  Env.insert("QT_SCALE_FACTOR", Ratio);
  Env.insert("QT_QPA_PLATFORM", "offscreen");
  P.setProcessEnvironment(Env);
  P.setProcessChannelMode(QProcess::MergedChannels);
  P.start("/proc/self/exe", {ThisTestFilter()});
  ASSERT_TRUE(P.waitForFinished(PatientMs)) << "at " << Ratio;
  const QByteArray Out = P.readAll();
  EXPECT_TRUE(P.exitCode() == 0 && Out.contains("[  PASSED  ] 1 test."))
      << "at " << Ratio << " (exit code " << P.exitCode() << "):\n" << Quoted(Out);
}

double ScaleOfThisRun() {
  const char* Ratio = std::getenv(ScaleFlag);
  return Ratio ? QByteArray(Ratio).toDouble() : 0;
}

}  // namespace testsupport
