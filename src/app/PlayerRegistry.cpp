#include "app/PlayerRegistry.h"

#include <QList>
#include <QPointer>
#include <QProcess>

namespace salvora::app {

namespace {
QList<QPointer<QProcess>>& Players() {
  static QList<QPointer<QProcess>> players;
  return players;
}
}  // namespace

void PlayerRegistry::Register(QProcess* player) {
  if (player) Players().append(QPointer<QProcess>(player));
}

int PlayerRegistry::EndAll() {
  int ended = 0;
  for (const QPointer<QProcess>& player : Players()) {
    if (!player || player->state() == QProcess::NotRunning) continue;
    player->terminate();
    if (!player->waitForFinished(1000)) {
      player->kill();
      player->waitForFinished(1000);
    }
    ++ended;
  }
  Players().clear();
  return ended;
}

}  // namespace salvora::app
