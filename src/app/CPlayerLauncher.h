#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

class QProcess;
class QWidget;

namespace salvora::app {

// Starts a preview player beside the program and watches how it ends: one that fails to start
// or exits with a failure (no sound device, a file it cannot play) gets MSG1207. The process is
// registered so that the next preview and the program's exit end it.
class CPlayerLauncher : public QObject {
  Q_OBJECT

 public:
  static constexpr const char* kVideoPlayer = "Player";
  static constexpr const char* kAudioPlayer = "Player1";
  // What mplayer prints when it finds no sound device and plays on in silence.
  static inline const QByteArray kNoSoundLine = QByteArrayLiteral("-> no sound");

  // The video player's command line after the program: the fixed options and the file.
  static QStringList VideoArguments(const QString& path);

  // Starts folder/program with arguments; the launcher deletes itself once the player ends.
  static CPlayerLauncher* Start(QWidget* owner, const QString& folder, const QString& program,
                                const QStringList& arguments);

  // Ends every running player; those ended here show no message.
  static int EndAll();

  QProcess* Process() const { return process_; }
  bool Playing() const { return playing_; }

  // A command for a player that reads them from its input (mplayer's slave mode); dropped
  // once the player has ended.
  void Send(const QByteArray& command);
  // Ends the player without a message: asks it to quit, then terminates it.
  void End();

 signals:
  // The player failed to start or exited with a failure.
  void silent();
  // What the player printed.
  void output(const QByteArray& text);
  // The player is gone; failed says whether it ended badly (MSG1207 was shown unless ended here).
  void ended(bool failed);

 private:
  CPlayerLauncher(QWidget* owner, QProcess* process);
  void OnOutput();
  void OnEnded(bool succeeded);

  QWidget* owner_;
  QProcess* process_;
  bool playing_ = false;
  bool ended_ = false;
  bool quiet_ = false;  // ended by the program: no message
  bool tellNoSound_ = false;  // a sound's player: silence is worth telling
  bool noSound_ = false;  // the player said it has no sound device (told once)
  QByteArray seen_;       // the tail of its output
};

}  // namespace salvora::app
