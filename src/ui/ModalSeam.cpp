#include "ui/ModalSeam.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>

namespace salvora::ui {

namespace {
IModalAnswerer* g_answerer = nullptr;
std::function<bool(const QString&)> g_opener;
}

void SetModalAnswerer(IModalAnswerer* answerer) { g_answerer = answerer; }
IModalAnswerer* CurrentModalAnswerer() { return g_answerer; }

QString ChooseOpenFile(QWidget* owner, const QString& title, const QString& filter) {
  if (g_answerer) return g_answerer->AnswerOpenFile(title, filter);
  QFileDialog dialog(owner, title, QString(), filter);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

QString ChooseSaveFile(QWidget* owner, const QString& title, const QString& filter,
                       const QString& suggested, const QString& defaultSuffix) {
  if (g_answerer) return g_answerer->AnswerSaveFile(title, filter, suggested);
  QFileDialog dialog(owner, title, QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(defaultSuffix);
  dialog.selectFile(suggested);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

QString ChooseFolder(QWidget* owner, const QString& title) {
  if (g_answerer) return g_answerer->AnswerFolder(title);
  return QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
}

void SetDocumentOpener(std::function<bool(const QString&)> opener) { g_opener = std::move(opener); }

bool OpenDocument(const QString& pathOrUrl) {
  if (g_opener) return g_opener(pathOrUrl);
  const QUrl url = pathOrUrl.contains(QStringLiteral("://")) ? QUrl(pathOrUrl) : QUrl::fromLocalFile(pathOrUrl);
  return QDesktopServices::openUrl(url);
}

}  // namespace salvora::ui
