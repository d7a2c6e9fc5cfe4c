#pragma once

#include <QList>
#include <QString>
#include <climits>
#include <functional>

class QWidget;

namespace salvora::ui {

class CWindowUI;

struct MenuItem {
  QString name;     // what the choice returns (item_help, a language name, ...)
  QString text;
  QString image;    // image descriptor shown before the text, may be empty
  bool enabled = true;
};

// Every modal window, file dialog and popup menu passes through here, so that tests can answer
// them without a user. With no answerer installed the real dialogs run.
class IModalAnswerer {
 public:
  // Returned by AnswerModal to let the window run its real modal loop (progress windows whose
  // worker closes them).
  static constexpr int kRunModalLoop = INT_MIN;

  virtual ~IModalAnswerer() = default;
  // The window is loaded, initialised and visible at its size; the answer is its result code.
  virtual int AnswerModal(CWindowUI& window) = 0;
  // Empty for a cancelled dialog.
  virtual QString AnswerOpenFile(const QString& title, const QString& filter) = 0;
  virtual QString AnswerSaveFile(const QString& title, const QString& filter,
                                 const QString& suggested) = 0;
  virtual QString AnswerFolder(const QString& title) = 0;
  // The name of the chosen item, or empty for a dismissed menu.
  virtual QString AnswerMenu(const QList<MenuItem>& items) = 0;
};

void SetModalAnswerer(IModalAnswerer* answerer);   // nullptr: real dialogs again
IModalAnswerer* CurrentModalAnswerer();

// The file dialogs: path or empty when cancelled.
QString ChooseOpenFile(QWidget* owner, const QString& title, const QString& filter);
QString ChooseSaveFile(QWidget* owner, const QString& title, const QString& filter,
                       const QString& suggested, const QString& defaultSuffix);
QString ChooseFolder(QWidget* owner, const QString& title);

// Opens a document or web page with the desktop's handler ("open"); a local path is turned into
// a file URL. False when no handler could be started. Tests replace the opener to see what would
// be opened (and whether it opens).
bool OpenDocument(const QString& pathOrUrl);
void SetDocumentOpener(std::function<bool(const QString&)> opener);  // empty: the desktop's

}  // namespace salvora::ui
