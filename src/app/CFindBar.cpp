#include "app/CFindBar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QSignalBlocker>
#include <algorithm>

#include "app/LanguageCatalog.h"

namespace salvora::app {

namespace {

QString Message(const char* id) { return QString::fromStdString(LanguageCatalog::Instance().Message(id)); }

void FillChoices(QComboBox* box, std::initializer_list<const char*> ids) {
  if (!box) return;
  const QSignalBlocker block(box);
  const int chosen = std::max(0, box->currentIndex());
  box->clear();
  for (const char* id : ids) box->addItem(Message(id));
  box->setCurrentIndex(chosen);
}

uint64_t DayStart(const QDate& date) { return FoundFileFilter::FileTimeOfDay(date.year(), date.month(), date.day()); }

}  // namespace

CFindBar::CFindBar(QWidget* root, QObject* parent) : QObject(parent) {
  name_ = root->findChild<QLineEdit*>(QStringLiteral("FindName"));
  size_ = root->findChild<QComboBox*>(QStringLiteral("FindSize"));
  state_ = root->findChild<QComboBox*>(QStringLiteral("FindState"));
  dateOn_ = root->findChild<QCheckBox*>(QStringLiteral("FindDateOn"));
  from_ = root->findChild<QDateEdit*>(QStringLiteral("FindFrom"));
  to_ = root->findChild<QDateEdit*>(QStringLiteral("FindTo"));
  typing_.setSingleShot(true);
  typing_.setInterval(kTypingDelayMs);
  connect(&typing_, &QTimer::timeout, this, &CFindBar::Changed);
  if (name_) connect(name_, &QLineEdit::textChanged, this, [this] { typing_.start(); });
  for (QComboBox* box : {size_, state_}) {
    if (!box) continue;
    // Sized to its longest choice again whenever the language changes the texts.
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(box, &QComboBox::currentIndexChanged, this, &CFindBar::Changed);
  }
  if (dateOn_) {
    connect(dateOn_, &QCheckBox::toggled, this, [this](bool on) {
      if (from_) from_->setEnabled(on);
      if (to_) to_->setEnabled(on);
      Changed();
    });
  }
  for (QDateEdit* edit : {from_, to_}) {
    if (!edit) continue;
    edit->setDate(QDate::currentDate());
    connect(edit, &QDateEdit::dateChanged, this, [this] {
      if (dateOn_ && dateOn_->isChecked()) Changed();
    });
  }
}

void CFindBar::ApplyTexts() {
  FillChoices(size_, {"MSG0830", "MSG0831", "MSG0832", "MSG0833", "MSG0834"});
  // After the find states come the content verdicts (intact, damaged).
  FillChoices(state_, {"MSG0835", "MSG0810", "MSG0811", "MSG0812", "MSG0813", "MSG0814", "MSG0837"});
  if (name_) name_->setPlaceholderText(Message("MSG0836"));
}

void CFindBar::Clear(uint64_t firstTime, uint64_t lastTime) {
  typing_.stop();
  const auto dayOf = [](uint64_t time) { return QDate(1601, 1, 1).addDays(qint64(time / (86400ull * 10000000ull))); };
  if (firstTime != 0 && lastTime >= firstTime) {
    for (auto [edit, time] : {std::pair{from_, firstTime}, std::pair{to_, lastTime}}) {
      if (!edit) continue;
      const QSignalBlocker block(edit);
      edit->setDate(dayOf(time));
    }
  }
  if (name_) {
    const QSignalBlocker block(name_);
    name_->clear();
  }
  for (QComboBox* box : {size_, state_}) {
    if (!box) continue;
    const QSignalBlocker block(box);
    box->setCurrentIndex(0);
  }
  if (dateOn_) {
    const QSignalBlocker block(dateOn_);
    dateOn_->setChecked(false);
    if (from_) from_->setEnabled(false);
    if (to_) to_->setEnabled(false);
  }
}

void CFindBar::Changed() {
  typing_.stop();
  emit filterChanged();
}

FoundFileFilter CFindBar::Filter() const {
  FoundFileFilter filter;
  if (name_) filter.name = name_->text().trimmed().toStdString();
  constexpr uint64_t kK = 1024;
  switch (size_ ? size_->currentIndex() : 0) {
    case kUnder100K: filter.maxSize = 100 * kK - 1; break;
    case kTo1M: filter.minSize = 100 * kK; filter.maxSize = kK * kK - 1; break;
    case kTo100M: filter.minSize = kK * kK; filter.maxSize = 100 * kK * kK - 1; break;
    case kOver100M: filter.minSize = 100 * kK * kK; break;
    default: break;
  }
  // The state box lists "all" first, then the four find states in their order, then intact and damaged.
  constexpr int kFindStates = 4;
  if (const int state = state_ ? state_->currentIndex() : 0; state > 0 && state <= kFindStates) {
    filter.states = 1u << (state - 1);
  } else if (state == kFindStates + 1) {
    filter.verdict = FoundFileFilter::Verdict::Intact;
  } else if (state == kFindStates + 2) {
    filter.verdict = FoundFileFilter::Verdict::Damaged;
  }
  if (dateOn_ && dateOn_->isChecked() && from_ && to_) {
    const QDate first = std::min(from_->date(), to_->date());
    const QDate last = std::max(from_->date(), to_->date());
    filter.fromTime = DayStart(first);
    filter.toTime = DayStart(last.addDays(1)) - 1;  // the whole last day
  }
  return filter;
}

}  // namespace salvora::app
