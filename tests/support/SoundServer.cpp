#include "tests/support/SoundServer.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace testsupport {

namespace {
constexpr int KStartMs = 20000;  // for the server to answer and the recording to run

// A child that dies with the test, also when the test is killed.
std::unique_ptr<QProcess> Child(const QString& Program, const QStringList& Args) {
  auto P = std::make_unique<QProcess>();
  P->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
  P->setProgram(Program);
  P->setArguments(Args);
  return P;
}
}  // namespace

SoundServer::SoundServer() = default;

SoundServer::~SoundServer() {
  for (QProcess* P : {FRecorder.get(), FServer.get()}) {
    if (!P) continue;
    P->kill();
    P->waitForFinished(5000);
  }
}

bool SoundServer::Start(const std::string& Dir, std::string& Why) {
  const QString Server = QStandardPaths::findExecutable("pulseaudio");
  const QString Recorder = QStandardPaths::findExecutable("parec");
  if (Server.isEmpty() || Recorder.isEmpty()) {
    Why = "pulseaudio or parec is not installed (scripts/setup.sh installs them)";
    return false;
  }
  FSocket = Dir + "/native";
  QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
  Env.insert("XDG_RUNTIME_DIR", QString::fromStdString(Dir));
  Env.insert("HOME", QString::fromStdString(Dir));  // its cookie and state stay in there
  Env.remove("PULSE_SERVER");
  FServer = Child(Server, {"--daemonize=no", "--exit-idle-time=-1", "-n", "--log-level=error", "--use-pid-file=no",
                           "--disable-shm=yes", "--load=module-null-sink",
                           "--load=module-native-protocol-unix socket=" + QString::fromStdString(FSocket) +
                               " auth-anonymous=1"});
  FServer->setProcessEnvironment(Env);
  FServer->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  FServer->start();
  const QDeadlineTimer Deadline(KStartMs);
  while (!QFileInfo::exists(QString::fromStdString(FSocket))) {
    if (Deadline.hasExpired() || FServer->state() == QProcess::NotRunning) {
      Why = "the sound server did not start";
      return false;
    }
    QThread::msleep(20);
  }
  Env.insert("PULSE_SERVER", QString::fromStdString(Address()));
  FRecorder = Child(Recorder, {"-d", "null.monitor", "--raw", "--format=s16le",
                               "--rate=" + QString::number(Rate), "--channels=1", "--latency-msec=20"});
  FRecorder->setProcessEnvironment(Env);
  FRecorder->start();
  // The null sink runs all the time, so its monitor delivers silence as soon as it records.
  while (Recorded().empty()) {
    if (Deadline.hasExpired() || FRecorder->state() == QProcess::NotRunning) {
      Why = "the sound server's monitor cannot be recorded";
      return false;
    }
    FRecorder->waitForReadyRead(100);
  }
  return true;
}

int64_t SoundServer::Pid() const { return FServer ? FServer->processId() : 0; }

const std::string& SoundServer::Recorded() {
  if (FRecorder) {
    const QByteArray More = FRecorder->readAllStandardOutput();
    FPcm.append(More.constData(), static_cast<size_t>(More.size()));
  }
  return FPcm;
}

int SoundServer::RecordedMs() { return static_cast<int>(Recorded().size() / 2 * 1000 / Rate); }

HungSoundServer::HungSoundServer(const std::string& Socket) : FSocket(Socket) {
  sockaddr_un A{};
  A.sun_family = AF_UNIX;
  if (Socket.size() >= sizeof A.sun_path) return;
  std::snprintf(A.sun_path, sizeof A.sun_path, "%s", Socket.c_str());
  FFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  FOk = FFd >= 0 && ::bind(FFd, reinterpret_cast<sockaddr*>(&A), sizeof A) == 0 && ::listen(FFd, 64) == 0;
}

HungSoundServer::~HungSoundServer() {
  for (int C : FClients) ::close(C);
  if (FFd >= 0) ::close(FFd);
}

int HungSoundServer::Connections() {
  for (int C; (C = ::accept4(FFd, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) FClients.push_back(C);
  return static_cast<int>(FClients.size());
}

std::vector<bool> Heard(const std::string& Pcm, double Hz) {
  constexpr int N = SoundServer::Rate * WindowMs / 1000;
  std::vector<double> Window(N);
  double Sum = 0;
  for (int I = 0; I < N; ++I) Sum += Window[I] = 0.5 - 0.5 * std::cos(2 * M_PI * I / (N - 1));
  std::vector<bool> R;
  const auto* S = reinterpret_cast<const int16_t*>(Pcm.data());
  const size_t Samples = Pcm.size() / 2;
  for (size_t At = 0; At + N <= Samples; At += N) {
    double Level;
    if (Hz > 0) {
      // One frequency's amplitude (Goertzel over a Hann window); a sine of amplitude A gives A.
      const double K = 2 * std::cos(2 * M_PI * Hz / SoundServer::Rate);
      double A = 0, B = 0;
      for (int I = 0; I < N; ++I) {
        const double C = S[At + I] * Window[I] + K * A - B;
        B = A;
        A = C;
      }
      Level = 2 * std::sqrt(std::max(0.0, A * A + B * B - K * A * B)) / Sum;
    } else {
      double Sq = 0;
      for (int I = 0; I < N; ++I) Sq += double(S[At + I]) * S[At + I];
      Level = std::sqrt(Sq / N);
    }
    // A tone of the tests sounds at thousands; what leaks over from another is far below.
    R.push_back(Level > (Hz > 0 ? 1000 : 40));
  }
  return R;
}

Hearing Listen(const std::vector<bool>& Windows, int FromMs, int ToMs) {
  Hearing H;
  int Gap = 0;
  const int To = std::min<int>(ToMs / WindowMs, static_cast<int>(Windows.size()));
  for (int I = std::max(0, FromMs / WindowMs); I < To; ++I) {
    if (!Windows[I]) {
      if (H.FirstMs >= 0) Gap += WindowMs;
      continue;
    }
    if (H.FirstMs < 0) H.FirstMs = I * WindowMs;
    H.LastMs = I * WindowMs;
    H.LongestGapMs = std::max(H.LongestGapMs, Gap);
    Gap = 0;
  }
  return H;
}

}  // namespace testsupport
