#include "app/CPlayerPane.h"

#include <QAbstractButton>
#include <QEvent>
#include <QGuiApplication>
#include <QProcess>
#include <QWidget>
#include <cmath>

#include "app/CPlayerLauncher.h"

namespace salvora::app {

namespace {
// A line longer than this is no identification line; it is dropped rather than kept growing
// (mplayer's status line ends in '\r', not '\n').
constexpr int kLongestLine = 1024;
// A picture taller than wide stops at this multiple of the pane's width.
constexpr double kTallestShare = 1.5;
constexpr double kUnknownAspect = 16.0 / 9.0;

bool ReadNumber(const QByteArray& line, const QByteArray& key, double& value) {
  if (!line.startsWith(key)) return false;
  bool ok = false;
  const double number = line.mid(key.size()).trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(number)) return false;
  value = number;
  return true;
}
}  // namespace

CPlayerPane::CPlayerPane(QWidget* owner, QWidget* box, QWidget* video, QAbstractButton* play, QAbstractButton* pause,
                         QAbstractButton* stop)
    : QObject(owner), owner_(owner), box_(box), video_(video), play_(play), pause_(pause), stop_(stop) {
  // The player paints the window; Qt must neither clear it nor make the ancestors native too.
  video_->setAttribute(Qt::WA_DontCreateNativeAncestors);
  video_->setAttribute(Qt::WA_NativeWindow);
  video_->setAttribute(Qt::WA_NoSystemBackground);
  video_->setStyleSheet(QStringLiteral("background: black;"));
  box_->installEventFilter(this);
  box_->hide();
}

bool CPlayerPane::EmbeddingPossible() { return QGuiApplication::platformName() == u"xcb"; }

void CPlayerPane::Play(const QString& folder, const QString& program, const QString& path, bool video) {
  Close();
  folder_ = folder;
  program_ = program;
  path_ = path;
  showsVideo_ = video;
  width_ = height_ = 0;
  aspect_ = 0;
  box_->show();
  video_->setVisible(video);
  FitPicture();
  Start();
}

void CPlayerPane::Start() {
  QStringList arguments{QStringLiteral("-slave"), QStringLiteral("-quiet"), QStringLiteral("-identify")};
  if (showsVideo_) {
    // -zoom: outputs without hardware scaling (plain X11) scale the picture to the window too.
    arguments << QStringLiteral("-nomouseinput") << QStringLiteral("-zoom") << QStringLiteral("-wid")
              << QString::number(video_->winId());
  }
  arguments << path_;
  paused_ = false;
  partial_.clear();
  launcher_ = CPlayerLauncher::Start(owner_, folder_, program_, arguments);
  connect(launcher_, &CPlayerLauncher::output, this, &CPlayerPane::OnOutput);
  connect(launcher_, &CPlayerLauncher::ended, this, &CPlayerPane::OnEnded);
  ShowButtons();
}

bool CPlayerPane::OnClick(const QString& name) {
  if (name == play_->objectName()) {
    if (launcher_ && paused_) {
      launcher_->Send("pause\n");  // mplayer's pause toggles
      paused_ = false;
      ShowButtons();
    } else if (!launcher_) {
      Start();  // played to its end or stopped: from the start again
    }
  } else if (name == pause_->objectName()) {
    if (launcher_ && !paused_) {
      launcher_->Send("pause\n");
      paused_ = true;
      ShowButtons();
    }
  } else if (name == stop_->objectName()) {
    Stop();
  } else {
    return false;
  }
  return true;
}

void CPlayerPane::Stop() {
  if (launcher_) {
    // Whenever this player finally goes, it no longer speaks for the pane.
    launcher_->disconnect(this);
    launcher_->End();
  }
  launcher_ = nullptr;
  paused_ = false;
  ShowButtons();
}

void CPlayerPane::Close() {
  Stop();
  box_->hide();
}

void CPlayerPane::OnEnded() {
  launcher_ = nullptr;
  paused_ = false;
  ShowButtons();
}

void CPlayerPane::ShowButtons() {
  const bool running = launcher_ != nullptr;
  play_->setVisible(!running || paused_);
  pause_->setVisible(running && !paused_);
  stop_->setEnabled(running);
}

void CPlayerPane::OnOutput(const QByteArray& text) {
  for (const char c : text) {
    if (c == '\n' || c == '\r') {
      OnLine(partial_);
      partial_.clear();
    } else if (partial_.size() < kLongestLine) {
      partial_.append(c);
    }
  }
}

void CPlayerPane::OnLine(const QByteArray& line) {
  double value = 0;
  if (ReadNumber(line, "ID_VIDEO_WIDTH=", value) && value >= 1 && value <= 65535) {
    width_ = static_cast<int>(value);
  } else if (ReadNumber(line, "ID_VIDEO_HEIGHT=", value) && value >= 1 && value <= 65535) {
    height_ = static_cast<int>(value);
  } else if (ReadNumber(line, "ID_VIDEO_ASPECT=", value) && value >= 0.05 && value <= 20) {
    aspect_ = value;  // the display aspect, which non-square pixels make differ from the size's
  } else {
    return;
  }
  if (aspect_ == 0 && width_ > 0 && height_ > 0) aspect_ = static_cast<double>(width_) / height_;
  FitPicture();
}

void CPlayerPane::FitPicture() {
  if (!showsVideo_) return;
  const double aspect = aspect_ > 0 ? aspect_ : kUnknownAspect;
  const int room = qMax(16, box_->contentsRect().width());
  int width = room;
  int height = qMax(1, static_cast<int>(std::lround(width / aspect)));
  const int tallest = static_cast<int>(room * kTallestShare);
  if (height > tallest) {
    height = tallest;
    width = qMax(1, static_cast<int>(std::lround(height * aspect)));
  }
  video_->setFixedSize(width, height);
}

bool CPlayerPane::eventFilter(QObject* watched, QEvent* event) {
  if (watched == box_ && event->type() == QEvent::Resize) FitPicture();
  return QObject::eventFilter(watched, event);
}

}  // namespace salvora::app
