#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

namespace salvora::app {

// One running program per machine. The first start holds an exclusive lock on a file named after
// the instance name in the system's temporary folder and listens on a local socket; a later
// start finds the lock taken and asks the first one, through the socket, to show its window.
class SingleInstanceGuard : public QObject {
  Q_OBJECT

 public:
  static constexpr const char* kInstanceName = "Brindle_Salvora_2015_For_Windows";

  explicit SingleInstanceGuard(const QString& name = QString::fromLatin1(kInstanceName),
                               const QString& lockFolder = {});
  ~SingleInstanceGuard() override;

  // True when this process is the first; it keeps the lock until the guard is destroyed.
  bool Acquire();
  // For a later start: asks the running instance to show its window; true when it did.
  bool ActivateRunning(int timeoutMs = 2000);
  // The first instance's answer to a later start: show the main window, true when found.
  void SetActivateHandler(std::function<bool()> handler) { handler_ = std::move(handler); }

  QString LockPath() const { return lockPath_; }
  QString ServerName() const;

 private:
  void OnConnection();

  QString name_;
  QString lockPath_;
  int lockFd_ = -1;
  QLocalServer* server_ = nullptr;
  std::function<bool()> handler_;
};

}  // namespace salvora::app
