#include "app/CPlayerLauncher.h"

#include <QDir>
#include <QPointer>
#include <QProcess>

#include "app/CMessageBox.h"
#include "app/LanguageCatalog.h"
#include "app/PlayerRegistry.h"

namespace salvora::app {

namespace {
bool g_ending = false;
}  // namespace

int CPlayerLauncher::EndAll() {
  g_ending = true;
  const int ended = PlayerRegistry::EndAll();
  g_ending = false;
  return ended;
}

QStringList CPlayerLauncher::VideoArguments(const QString& path) {
  return {QStringLiteral("-aspect"), QStringLiteral("16:9"), QStringLiteral("-vo"), QStringLiteral("direct3d"),
          QStringLiteral("-lavdopts"), QStringLiteral("threads=4"), QStringLiteral("-geometry"),
          QStringLiteral("845:260"), QStringLiteral("-x"), QStringLiteral("326"), QStringLiteral("-y"),
          QStringLiteral("189"), path};
}

CPlayerLauncher::CPlayerLauncher(QWidget* owner, QProcess* process) : QObject(process), owner_(owner), process_(process) {}

CPlayerLauncher* CPlayerLauncher::Start(QWidget* owner, const QString& folder, const QString& program,
                                        const QStringList& arguments) {
  auto* process = new QProcess(owner);
  auto* launcher = new CPlayerLauncher(owner, process);
  process->setProcessChannelMode(QProcess::MergedChannels);
  connect(process, &QProcess::readyReadStandardOutput, launcher, &CPlayerLauncher::OnOutput);
  connect(process, &QProcess::finished, launcher, [launcher](int code, QProcess::ExitStatus status) {
    launcher->OnEnded(status == QProcess::NormalExit && code == 0);
  });
  connect(process, &QProcess::errorOccurred, launcher, [launcher](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) launcher->OnEnded(false);
  });
  // A sound's player that finds no sound device has nothing to show; a clip still shows its picture.
  launcher->tellNoSound_ = program == QLatin1String(kAudioPlayer);
  PlayerRegistry::Register(process);
  process->start(QDir(folder).filePath(program), arguments);
  return launcher;
}

void CPlayerLauncher::OnOutput() {
  // Read only so that a player writing into a pipe that nobody reads does not stall or die of a
  // broken pipe: what it prints (a status line with a '%' even when it has no sound device)
  // says nothing about whether it played.
  const QByteArray text = process_->readAllStandardOutput();
  if (text.isEmpty()) return;
  emit output(text);
  // mplayer plays on without a sound device and ends well: the user would hear nothing and be
  // told nothing. Its own line says so (the tail may come split over two reads).
  seen_ = (seen_ + text).right(kNoSoundLine.size() + 256);
  if (tellNoSound_ && !noSound_ && seen_.contains(kNoSoundLine)) {
    noSound_ = true;
    if (!quiet_ && !g_ending) {
      // Asked later, from the owner: the player (and this launcher) may end while the box is open.
      QPointer<QWidget> owner = owner_;
      QMetaObject::invokeMethod(owner_, [owner] {
        if (!owner) return;
        const QString message = QString::fromStdString(LanguageCatalog::Instance().Message("MSG1223"));
        CMessageBox::Show(owner, CMessageBox::kInformation, message, 360, 160);
      }, Qt::QueuedConnection);
    }
  }
}

void CPlayerLauncher::Send(const QByteArray& command) {
  if (!ended_ && process_->state() == QProcess::Running) process_->write(command);
}

void CPlayerLauncher::End() {
  quiet_ = true;
  if (process_->state() == QProcess::NotRunning) return;
  Send("quit\n");
  if (process_->waitForFinished(1000)) return;
  process_->terminate();
  if (!process_->waitForFinished(1000)) {
    process_->kill();
    process_->waitForFinished(1000);
  }
}

void CPlayerLauncher::OnEnded(bool succeeded) {
  if (ended_) return;
  ended_ = true;
  OnOutput();
  playing_ = succeeded;
  QPointer<QProcess> process = process_;
  emit ended(!succeeded);
  if (!succeeded && !g_ending && !quiet_) {
    emit silent();
    const QString text = QString::fromStdString(LanguageCatalog::Instance().Message("MSG1207"));
    CMessageBox::Show(owner_, CMessageBox::kInformation, text, 330, 150);
  }
  if (process) process->deleteLater();  // takes the launcher with it
}

}  // namespace salvora::app
