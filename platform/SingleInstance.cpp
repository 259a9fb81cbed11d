#include "platform/SingleInstance.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

namespace {
std::unique_ptr<QLocalServer> GServer;

// The socket lives in the user's private runtime directory: in a shared directory anyone could
// take the name first and keep every show from starting. Empty when there is no directory we
// can trust (a real directory, ours, mode 0700); the guard then stands aside.
QString ServerName(const std::string& Title) {
  const QString Dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (Dir.isEmpty()) return {};
  struct stat St{};
  if (::lstat(QFile::encodeName(Dir).constData(), &St) != 0 || !S_ISDIR(St.st_mode) ||
      St.st_uid != ::geteuid() || (St.st_mode & 07777) != 0700)
    return {};
  return Dir + "/" + QString::fromStdString(Title);
}
}  // namespace

bool SignalRunningInstance(const std::string& Title) {
  const QString Name = ServerName(Title);
  if (Name.isEmpty()) return false;
  QLocalSocket Socket;
  Socket.connectToServer(Name);
  if (!Socket.waitForConnected(1000)) return false;
  Socket.write("raise\n");
  Socket.waitForBytesWritten(1000);
  // Wait for the first instance to take the request before this process ends.
  Socket.waitForReadyRead(1000);
  Socket.disconnectFromServer();
  return true;
}

bool ListenAsInstance(const std::string& Title, std::function<void()> OnRaise) {
  GServer.reset();
  const QString Name = ServerName(Title);
  if (Name.isEmpty()) return false;
  GServer = std::make_unique<QLocalServer>();
  GServer->setSocketOptions(QLocalServer::UserAccessOption);
  if (!GServer->listen(Name)) {
    // A socket file left by a crashed instance: nobody answers on it.
    QLocalSocket Probe;
    Probe.connectToServer(Name);
    if (Probe.waitForConnected(200)) {
      GServer.reset();
      return false;
    }
    QLocalServer::removeServer(Name);
    if (!GServer->listen(Name)) {
      GServer.reset();
      return false;
    }
  }
  QObject::connect(GServer.get(), &QLocalServer::newConnection, GServer.get(), [OnRaise] {
    while (QLocalSocket* S = GServer->nextPendingConnection()) {
      QObject::connect(S, &QLocalSocket::readyRead, S, [S, OnRaise] {
        if (S->readAll().contains("raise")) {
          if (OnRaise) OnRaise();
          S->write("ok\n");
          S->flush();
        }
      });
      QObject::connect(S, &QLocalSocket::disconnected, S, &QObject::deleteLater);
    }
  });
  return true;
}

void StopListening() { GServer.reset(); }

}  // namespace plat
