#pragma once

#include <QString>

#include "ui/CWindowUI.h"

namespace salvora::app {

// The program's message box in five kinds, each with its skin and default title; okbtn ends it
// with 1, cancelbtn and closebtn with 2.
class CMessageBox : public ui::CWindowUI {
  Q_OBJECT

 public:
  enum Kind { kError = 0, kConfirm = 1, kInformation = 2, kWarning = 3, kQuestion = 4 };

  static const char* SkinFor(int kind);
  static const char* TitleIdFor(int kind);

  // Shows a box modally over owner at the given size; an empty title takes the kind's default.
  static int Show(QWidget* owner, int kind, const QString& message, int width, int height,
                  const QString& title = {});

  // A question whose two buttons say what they do: 1 for the first, 2 for the second (or close).
  static int Ask(QWidget* owner, const QString& message, const QString& yesText, const QString& noText, int width,
                 int height);

  CMessageBox(QWidget* owner, int kind, const QString& message, const QString& title);
  int Kind() const { return kind_; }
  QString MessageText() const { return message_; }

 protected:
  void Notify(ui::TNotifyUI& msg) override;

 private:
  int kind_;
  QString message_;
  QString title_;
  QString yesText_;
  QString noText_;
};

}  // namespace salvora::app
