#pragma once

#include <string>

namespace salvora::app {

// Qt's own texts (the open and save dialogs, the context menus of text boxes, "OK" and "Cancel"
// of Qt's message boxes) in the language the user chose: Qt's catalogues for the locale (such as
// "de"), as Debian installs them, replace those of the last call. An empty locale or "en" leaves
// Qt's texts in English. False when the locale has no catalogue (English is then shown).
bool ApplyQtTranslations(const std::string& locale);

}  // namespace salvora::app
