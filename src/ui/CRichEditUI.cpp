#include "ui/CRichEditUI.h"

#include <QImageReader>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>

#include "ui/RichText.h"

namespace salvora::ui {

CRichEditUI::CRichEditUI(QWidget* parent) : QTextBrowser(parent) {
  setReadOnly(true);
  setOpenLinks(false);
}

void CRichEditUI::SetMarkup(const QString& markup) { setHtml(RichTextToHtml(markup)); }

void CRichEditUI::AppendMarkup(const QString& markup) {
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertHtml(RichTextToHtml(markup));
}

QSize CRichEditUI::InsertPicture(const QString& path, const QString& caption) {
  QImageReader reader(path);
  reader.setAutoTransform(true);
  const QImage image = reader.read();
  if (image.isNull()) return {};
  const QUrl name(QStringLiteral("picture://%1").arg(reinterpret_cast<quintptr>(this)) + path);
  document()->addResource(QTextDocument::ImageResource, name, image);
  QTextImageFormat format;
  format.setName(name.toString());
  const int room = qMax(32, viewport()->width() - 24);
  if (image.width() > room) {
    format.setWidth(room);
    format.setHeight(static_cast<double>(image.height()) * room / image.width());
  }
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertImage(format);
  if (!caption.isEmpty()) {
    cursor.insertBlock();
    cursor.insertHtml(RichTextToHtml(caption));
  }
  return image.size();
}

void CRichEditUI::ClearAll() { clear(); }

}  // namespace salvora::ui
