#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QAbstractButton;
class QWidget;

namespace salvora::app {

class CPlayerLauncher;

// The player inside the main window's preview pane: audio and video play there under PlayBtn /
// PauseBtn / StopBtn, driven through the player's input commands (mplayer's slave mode), and a
// video draws into PlayerVideo, a child window kept at the picture's own aspect ratio. The
// players beside the program do the playing; where the window system cannot lend them a window
// the main window starts them on their own instead.
class CPlayerPane : public QObject {
  Q_OBJECT

 public:
  // box holds video, the three buttons and nothing else the pane does not own.
  CPlayerPane(QWidget* owner, QWidget* box, QWidget* video, QAbstractButton* play, QAbstractButton* pause,
              QAbstractButton* stop);

  // Whether players can draw into a window of ours (X11 window ids).
  static bool EmbeddingPossible();

  // Plays path with folder/program (Player for video, Player1 for audio) in the pane.
  void Play(const QString& folder, const QString& program, const QString& path, bool video);
  // A click on one of the pane's buttons; false when name is none of them.
  bool OnClick(const QString& name);
  // Ends the player and hides the pane (another row was chosen).
  void Close();

  CPlayerLauncher* Launcher() const { return launcher_; }
  bool Paused() const { return paused_; }
  // The picture's width / height as the player reported it; 0 until known.
  double Aspect() const { return aspect_; }

 private:
  void Start();
  void Stop();
  void OnOutput(const QByteArray& text);
  void OnLine(const QByteArray& line);
  void OnEnded();
  void ShowButtons();
  void FitPicture();
  bool eventFilter(QObject* watched, QEvent* event) override;

  QWidget* owner_;
  QWidget* box_;
  QWidget* video_;
  QAbstractButton* play_;
  QAbstractButton* pause_;
  QAbstractButton* stop_;
  QString folder_, program_, path_;
  bool showsVideo_ = false;
  bool paused_ = false;
  QPointer<CPlayerLauncher> launcher_;
  QByteArray partial_;  // the unfinished last line of the player's output
  int width_ = 0, height_ = 0;
  double aspect_ = 0;
};

}  // namespace salvora::app
