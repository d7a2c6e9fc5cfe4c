#pragma once

#include <QObject>
#include <QTimer>

#include "app/FoundFileFilter.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QWidget;

namespace salvora::app {

// The recover page's find bar: a name box, size and state choices and a range of modification
// dates. Typing waits a moment before the listing follows, so a long listing is not redone for
// every key.
class CFindBar : public QObject {
  Q_OBJECT

 public:
  static constexpr int kTypingDelayMs = 250;
  // The size choices, in the order of the box.
  enum SizeChoice { kAnySize, kUnder100K, kTo1M, kTo100M, kOver100M };

  // Finds its controls (FindName, FindSize, FindState, FindDateOn, FindFrom, FindTo) under root.
  explicit CFindBar(QWidget* root, QObject* parent = nullptr);

  // Fills the choices with the current language's texts, keeping what is chosen.
  void ApplyTexts();
  // Back to "everything", without a notification (a new search); the date boxes start at the
  // first and last modification times found (FILETIME; 0 when none).
  void Clear(uint64_t firstTime = 0, uint64_t lastTime = 0);
  FoundFileFilter Filter() const;

 signals:
  void filterChanged();

 private:
  void Changed();

  QLineEdit* name_ = nullptr;
  QComboBox* size_ = nullptr;
  QComboBox* state_ = nullptr;
  QCheckBox* dateOn_ = nullptr;
  QDateEdit* from_ = nullptr;
  QDateEdit* to_ = nullptr;
  QTimer typing_;
};

}  // namespace salvora::app
