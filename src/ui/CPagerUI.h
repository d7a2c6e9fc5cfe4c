#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

namespace salvora::ui {

// A pager: previous and next buttons around "current / count". Raises "updatepage" with
// wParam = the new page (0-based) when the user turns a page.
class CPagerUI : public QWidget {
  Q_OBJECT

 public:
  explicit CPagerUI(QWidget* parent = nullptr);

  void SetPageCount(int count);
  void SetPage(int page);
  int Page() const { return page_; }
  int PageCount() const { return count_; }

 signals:
  void uiNotify(const QString& type, int wParam, int lParam, const QVariant& data);

 private:
  void Turn(int delta);
  void Update();

  int page_ = 0;
  int count_ = 1;
  QToolButton* prev_;
  QToolButton* next_;
  QLabel* label_;
};

}  // namespace salvora::ui
