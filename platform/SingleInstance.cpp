#include "platform/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <memory>
#include <unistd.h>

namespace plat {

namespace {
std::unique_ptr<QLocalServer> GServer;

QString ServerName(const std::string& Title) {
  return QString::fromStdString(Title) + "-" + QString::number(getuid());
}
}  // namespace

bool SignalRunningInstance(const std::string& Title) {
  QLocalSocket Socket;
  Socket.connectToServer(ServerName(Title));
  if (!Socket.waitForConnected(1000)) return false;
  Socket.write("raise\n");
  Socket.waitForBytesWritten(1000);
  // Wait for the first instance to take the request before this process ends.
  Socket.waitForReadyRead(1000);
  Socket.disconnectFromServer();
  return true;
}

bool ListenAsInstance(const std::string& Title, std::function<void()> OnRaise) {
  GServer = std::make_unique<QLocalServer>();
  GServer->setSocketOptions(QLocalServer::UserAccessOption);
  const QString Name = ServerName(Title);
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
