#include "ui/CSkinLoader.h"

#include "ui/CDiskListUI.h"
#include "ui/CListExUI.h"
#include "ui/CPagerUI.h"
#include "ui/CRichEditUI.h"
#include "ui/CTreeUI.h"

namespace salvora::ui {

CSkinLoader::CSkinLoader(QObject* parent) : QUiLoader(parent) {}

QWidget* CSkinLoader::createWidget(const QString& className, QWidget* parent, const QString& name) {
  QWidget* widget = nullptr;
  if (className == u"CDiskListUI") widget = new CDiskListUI(parent);
  else if (className == u"CListExUI") widget = new CListExUI(parent);
  else if (className == u"CTreeUI") widget = new CTreeUI(parent);
  else if (className == u"CRichEditUI") widget = new CRichEditUI(parent);
  else if (className == u"CPagerUI") widget = new CPagerUI(parent);
  if (!widget) return QUiLoader::createWidget(className, parent, name);
  widget->setObjectName(name);
  return widget;
}

QString CSkinLoader::SkinPath(const QString& file) {
  QString name = file;
  name.replace(u'\\', u'/');
  if (name.startsWith(QStringLiteral("xml/"))) name.remove(0, 4);
  return QStringLiteral(":/skin/xml/") + name;
}

}  // namespace salvora::ui
