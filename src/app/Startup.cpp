#include "app/Startup.h"

#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QMessageBox>
#include <QStyleFactory>
#include <cstdio>

#include "app/AppPaths.h"
#include "app/CMainWnd.h"
#include "app/CMessageBox.h"
#include "app/CrashHandler.h"
#include "app/LanguageCatalog.h"
#include "app/PlayerRegistry.h"
#include "app/SingleInstanceGuard.h"

namespace salvora::app {

bool PictureFormatsAvailable() {
  const QList<QByteArray> formats = QImageReader::supportedImageFormats();
  for (const char* needed : {"jpeg", "png", "bmp", "gif"}) {
    if (!formats.contains(QByteArray(needed))) return false;
  }
  return true;
}

void ApplySkinStyle(QApplication& app) {
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(fusion);
  QFile sheet(QStringLiteral(":/skin/style.qss"));
  if (sheet.open(QIODevice::ReadOnly)) app.setStyleSheet(QString::fromUtf8(sheet.readAll()));
}

void CleanUpAtExit() {
  PlayerRegistry::EndAll();
  std::remove((ScanLogFolder() + "/tmp.avi").c_str());
}

void HandleSecondStart(SingleInstanceGuard& guard) {
  if (!guard.ActivateRunning()) {
    CMessageBox::Show(nullptr, CMessageBox::kInformation, QString::fromStdString(LanguageCatalog::Instance().Text("MainWnd", "AlreadyRunning")), 350, 150);
  }
}

int RunProgram(int argc, char** argv) {
  InstallCrashHandler();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Salvora"));
  ApplySkinStyle(app);

  SingleInstanceGuard guard;
  if (!guard.Acquire()) {
    HandleSecondStart(guard);
    return 0;
  }
  if (!PictureFormatsAvailable()) {
    QMessageBox::information(nullptr, QStringLiteral("Information"),
                             QStringLiteral("COM component registration failed, the application can not complete initialization!"));
    return 0;
  }
  LanguageCatalog::Instance();

  CMainWnd window;
  guard.SetActivateHandler([&window] {
    if (window.windowTitle() != u"Salvora") return false;
    window.showNormal();
    window.raise();
    window.activateWindow();
    return true;
  });
  window.ShowAtRememberedSize();
  app.exec();

  CleanUpAtExit();
  return 0;
}

}  // namespace salvora::app
