#include "app/CLikeItWnd.h"

#include "app/AppPaths.h"
#include "app/DocumentLaunch.h"
#include "app/LanguageCatalog.h"
#include "ui/ModalSeam.h"

namespace salvora::app {

CLikeItWnd::CLikeItWnd(QWidget* owner) : ui::CWindowUI(owner) {
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  LoadSkin(QStringLiteral("LikeItWnd.xml"));
}

void CLikeItWnd::Notify(ui::TNotifyUI& msg) {
  if (msg.type == u"windowinit") {
    ApplySection(LanguageCatalog::Instance().Section("LikeItWnd"));
  } else if (msg.type == u"click") {
    if (msg.senderName == u"okbtn") {
      OpenDocumentOrSay(this, QString::fromStdString(ResourceFolder() + "help/about.html"));
      Close(1);
    } else if (msg.senderName == u"closebtn" || msg.senderName == u"cancelbtn") {
      Close(2);
    }
  }
}

}  // namespace salvora::app
