#include "ui/CPagerUI.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace salvora::ui {

CPagerUI::CPagerUI(QWidget* parent)
    : QWidget(parent), prev_(new QToolButton(this)), next_(new QToolButton(this)), label_(new QLabel(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  prev_->setArrowType(Qt::LeftArrow);
  next_->setArrowType(Qt::RightArrow);
  prev_->setObjectName(QStringLiteral("PagerPrev"));
  next_->setObjectName(QStringLiteral("PagerNext"));
  label_->setAlignment(Qt::AlignCenter);
  layout->addStretch();
  layout->addWidget(prev_);
  layout->addWidget(label_);
  layout->addWidget(next_);
  connect(prev_, &QToolButton::clicked, this, [this] { Turn(-1); });
  connect(next_, &QToolButton::clicked, this, [this] { Turn(1); });
  Update();
}

void CPagerUI::SetPageCount(int count) {
  count_ = qMax(1, count);
  page_ = qBound(0, page_, count_ - 1);
  Update();
}

void CPagerUI::SetPage(int page) {
  page_ = qBound(0, page, count_ - 1);
  Update();
}

void CPagerUI::Turn(int delta) {
  const int page = qBound(0, page_ + delta, count_ - 1);
  if (page == page_) return;
  page_ = page;
  Update();
  emit uiNotify(QStringLiteral("updatepage"), page_, count_, QVariant());
}

void CPagerUI::Update() {
  label_->setText(QStringLiteral("%1 / %2").arg(page_ + 1).arg(count_));
  prev_->setEnabled(page_ > 0);
  next_->setEnabled(page_ + 1 < count_);
}

}  // namespace salvora::ui
