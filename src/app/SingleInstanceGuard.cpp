#include "app/SingleInstanceGuard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace salvora::app {

SingleInstanceGuard::SingleInstanceGuard(const QString& name, const QString& lockFolder) : name_(name) {
  const QString folder = lockFolder.isEmpty() ? QDir::tempPath() : lockFolder;
  lockPath_ = folder + u'/' + name_ + QStringLiteral(".lock");
}

SingleInstanceGuard::~SingleInstanceGuard() {
  if (server_) server_->close();
  if (lockFd_ >= 0) ::close(lockFd_);  // releases the lock
}

QString SingleInstanceGuard::ServerName() const {
  // The socket is per user: a running instance of another user cannot be raised from here.
  return name_ + u'-' + QString::number(::getuid());
}

bool SingleInstanceGuard::Acquire() {
  if (lockFd_ >= 0) return true;
  const QByteArray path = QFile::encodeName(lockPath_);
  const int fd = ::open(path.constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return true;  // no lock possible here: do not keep the user from working
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  lockFd_ = fd;
  server_ = new QLocalServer(this);
  QLocalServer::removeServer(ServerName());  // a socket left by a crashed instance
  if (server_->listen(ServerName())) {
    connect(server_, &QLocalServer::newConnection, this, &SingleInstanceGuard::OnConnection);
  }
  return true;
}

void SingleInstanceGuard::OnConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (!socket->canReadLine()) return;
      const QByteArray request = socket->readLine().trimmed();
      const bool shown = request == "show" && handler_ && handler_();
      socket->write(shown ? "shown\n" : "nowindow\n");
      socket->flush();
    });
  }
}

bool SingleInstanceGuard::ActivateRunning(int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(ServerName());
  if (!socket.waitForConnected(timeoutMs)) return false;
  socket.write("show\n");
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(timeoutMs)) return false;
  }
  return socket.readLine().trimmed() == "shown";
}

}  // namespace salvora::app
