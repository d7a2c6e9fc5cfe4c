#pragma once

#include <QString>

class QWidget;

namespace salvora::app {

// Opens a page or folder with the desktop's handler; when none can be started the user is told
// so (a warning naming what could not be opened) instead of nothing happening. True when opened.
bool OpenDocumentOrSay(QWidget* owner, const QString& pathOrUrl);

}  // namespace salvora::app
