#pragma once

#include <QUiLoader>

namespace salvora::ui {

// Builds a window from its skin: Qt Designer XML with our controls (CDiskListUI, CListExUI,
// CTreeUI, CRichEditUI, CPagerUI) available by class name.
class CSkinLoader : public QUiLoader {
 public:
  explicit CSkinLoader(QObject* parent = nullptr);
  QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override;

  // The resource path of skin/xml/<file>.
  static QString SkinPath(const QString& file);
};

}  // namespace salvora::ui
