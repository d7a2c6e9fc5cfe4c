#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

namespace salvora::app {

bool ApplyQtTranslations(const std::string& locale) {
  static std::unique_ptr<QTranslator> installed;
  if (installed) {
    QCoreApplication::removeTranslator(installed.get());
    installed.reset();
  }
  const QString name = QString::fromStdString(locale);
  QLocale::setDefault(name.isEmpty() ? QLocale(QLocale::English) : QLocale(name));
  if (name.isEmpty() || name == u"en") return true;
  auto translator = std::make_unique<QTranslator>();
  // qt_<locale>.qm gathers qtbase and the other modules' catalogues.
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!translator->load(QLocale(name), QStringLiteral("qt"), QStringLiteral("_"), folder) &&
      !translator->load(QLocale(name), QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
    return false;
  }
  // Installing sends every widget a LanguageChange: open Qt dialogs retranslate themselves.
  QCoreApplication::installTranslator(translator.get());
  installed = std::move(translator);
  return true;
}

}  // namespace salvora::app
