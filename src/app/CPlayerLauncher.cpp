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
  connect(process, &QProcess::finished, launcher, &CPlayerLauncher::OnEnded);
  connect(process, &QProcess::errorOccurred, launcher, [launcher](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) launcher->OnEnded();
  });
  PlayerRegistry::Register(process);
  process->start(QDir(folder).filePath(program), arguments);
  return launcher;
}

void CPlayerLauncher::OnOutput() {
  // The output is read to the end even after the first '%': a player writing into a pipe that
  // nobody reads would stall or die of a broken pipe.
  const QByteArray output = process_->readAllStandardOutput();
  if (output.contains('%')) playing_ = true;
}

void CPlayerLauncher::OnEnded() {
  if (ended_) return;
  ended_ = true;
  OnOutput();
  QPointer<QProcess> process = process_;
  if (!playing_ && !g_ending) {
    emit silent();
    const QString text = QString::fromStdString(LanguageCatalog::Instance().Message("MSG1207"));
    CMessageBox::Show(owner_, CMessageBox::kInformation, text, 330, 150);
  }
  if (process) process->deleteLater();  // takes the launcher with it
}

}  // namespace salvora::app
