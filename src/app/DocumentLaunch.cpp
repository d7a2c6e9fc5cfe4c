#include "app/DocumentLaunch.h"

#include "app/CMessageBox.h"
#include "app/LanguageCatalog.h"
#include "app/MessageFormat.h"
#include "ui/ModalSeam.h"

namespace salvora::app {

bool OpenDocumentOrSay(QWidget* owner, const QString& pathOrUrl) {
  if (ui::OpenDocument(pathOrUrl)) return true;
  const QString text = FormatMessageText(QString::fromStdString(LanguageCatalog::Instance().Message("MSG1222")),
                                         {pathOrUrl});
  CMessageBox::Show(owner, CMessageBox::kWarning, text, 420, 170);
  return false;
}

}  // namespace salvora::app
