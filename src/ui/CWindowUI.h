#pragma once

#include <QDialog>
#include <QHash>
#include <QPoint>
#include <QString>
#include <map>
#include <string>

#include "ui/TNotifyUI.h"

class QTimer;

namespace salvora::ui {

// The base of every window: loads the window's skin (a Designer form in the skin archive),
// finds controls by object name, turns the controls' signals into notifications for Notify,
// runs modally at a given size and ends with a result code.
class CWindowUI : public QDialog {
  Q_OBJECT

 public:
  explicit CWindowUI(QWidget* owner = nullptr);
  ~CWindowUI() override;

  // Loads skin/xml/<skinFile> from the skin archive. False (and an empty window) when the skin
  // is missing or cannot be built.
  bool LoadSkin(const QString& skinFile);
  const QString& SkinName() const { return skinName_; }

  QWidget* FindControl(const QString& name) const;
  template <class T>
  T* Find(const QString& name) const {
    return qobject_cast<T*>(FindControl(name));
  }

  // Shows the window modally over its owner at the given size; returns the result code.
  int ShowModal(int width, int height);
  // Shows the window without blocking, centred at the given size.
  void ShowWindow(int width, int height);
  // Ends the window with a result code (1, 2, 3 ...).
  void Close(int result);

  // A "timer" notification from control with wParam = id after ms milliseconds, repeating until
  // KillTimer; setting an id again restarts its timer.
  void SetTimer(QWidget* control, int id, int ms);
  void KillTimer(QWidget* control, int id);
  bool IsTimerActive(QWidget* control, int id) const;

  // Sets the text of every control named by a key of the section. Header columns and tree
  // nodes are reached by name too, and so are disabled and hidden controls.
  void ApplySection(const std::map<std::string, std::string>& section);

  // Sets a control's text; markup ({f 7}{c #316D1E}...) is rendered as rich text.
  static void SetControlText(QWidget* control, const QString& text);
  static QString ControlText(const QWidget* control);

  void SendNotify(const QString& type, QWidget* sender, int wParam = 0, int lParam = 0,
                  const QVariant& data = {});

 signals:
  // Emitted after Notify handled a notification (tests watch it).
  void notified(const salvora::ui::TNotifyUI& msg);

 protected:
  virtual void Notify(TNotifyUI& msg);
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void reject() override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

  QWidget* SkinRoot() const { return root_; }

 private slots:
  void OnControlNotify(const QString& type, int wParam, int lParam, const QVariant& data);

 private:
  void WireControls();
  void WireControl(QWidget* control);
  void CentreOverOwner();

  QString skinName_;
  QWidget* root_ = nullptr;
  bool initialised_ = false;
  QHash<QString, QTimer*> timers_;  // "<control>/<id>"
  QPoint dragOffset_;
  bool dragging_ = false;
};

}  // namespace salvora::ui
