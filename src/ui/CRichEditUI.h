#pragma once

#include <QSize>
#include <QTextBrowser>

namespace salvora::ui {

// A read-only rich-text pane that can hold a picture: texts in the skins' markup, and pictures
// inserted at their own size (scaled down to the pane's width when larger).
class CRichEditUI : public QTextBrowser {
  Q_OBJECT

 public:
  explicit CRichEditUI(QWidget* parent = nullptr);

  void SetMarkup(const QString& markup);
  void AppendMarkup(const QString& markup);
  // Inserts the picture followed by caption; returns the picture's size (empty when it cannot
  // be decoded, in which case nothing is inserted).
  QSize InsertPicture(const QString& path, const QString& caption = {});
  void ClearAll();

 signals:
  void uiNotify(const QString& type, int wParam, int lParam, const QVariant& data);
};

}  // namespace salvora::ui
