#include "app/CMessageBox.h"

#include "app/LanguageCatalog.h"

namespace salvora::app {

const char* CMessageBox::SkinFor(int kind) {
  switch (kind) {
    case kConfirm: return "MessageBox_Confirm.xml";
    case kInformation: return "MessageBox_Information.xml";
    case kWarning: return "MessageBox_Warning.xml";
    case kQuestion: return "MessageBox_Question.xml";
    default: return "MessageBox_Error.xml";
  }
}

const char* CMessageBox::TitleIdFor(int kind) {
  switch (kind) {
    case kConfirm: return "MSG0402";
    case kInformation: return "MSG0403";
    case kWarning: return "MSG0405";
    case kQuestion: return "MSG0404";
    default: return "MSG0401";
  }
}

CMessageBox::CMessageBox(QWidget* owner, int kind, const QString& message, const QString& title)
    : ui::CWindowUI(owner), kind_(kind), message_(message), title_(title) {
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  LoadSkin(QString::fromLatin1(SkinFor(kind)));
}

void CMessageBox::Notify(ui::TNotifyUI& msg) {
  if (msg.type == u"windowinit") {
    LanguageCatalog& catalog = LanguageCatalog::Instance();
    ApplySection(catalog.Section("MessageBox"));
    const QString title = title_.isEmpty() ? QString::fromStdString(catalog.Message(TitleIdFor(kind_))) : title_;
    SetControlText(FindControl(QStringLiteral("title")), title);
    SetControlText(FindControl(QStringLiteral("message")), message_);
    setWindowTitle(title);
    if (!yesText_.isEmpty()) SetControlText(FindControl(QStringLiteral("okbtn")), yesText_);
    if (!noText_.isEmpty()) SetControlText(FindControl(QStringLiteral("cancelbtn")), noText_);
  } else if (msg.type == u"click") {
    if (msg.senderName == u"okbtn") Close(1);
    else if (msg.senderName == u"cancelbtn" || msg.senderName == u"closebtn") Close(2);
  }
}

int CMessageBox::Show(QWidget* owner, int kind, const QString& message, int width, int height,
                      const QString& title) {
  CMessageBox box(owner, kind, message, title);
  return box.ShowModal(width, height);
}

int CMessageBox::Ask(QWidget* owner, const QString& message, const QString& yesText, const QString& noText,
                     int width, int height) {
  CMessageBox box(owner, kQuestion, message, {});
  box.yesText_ = yesText;
  box.noText_ = noText;
  return box.ShowModal(width, height);
}

}  // namespace salvora::app
