#include "ui/SkinImage.h"

#include <QPainter>
#include <QPixmapCache>
#include <QRegularExpression>
#include <QStringList>

namespace salvora::ui {

namespace {

std::optional<QRect> ParseRect(const QString& text) {
  const QStringList parts = text.split(u',');
  if (parts.size() != 4) return std::nullopt;
  int v[4];
  for (int i = 0; i < 4; ++i) {
    bool ok = false;
    v[i] = parts[i].trimmed().toInt(&ok);
    if (!ok || v[i] < 0) return std::nullopt;
  }
  if (v[2] < v[0] || v[3] < v[1]) return std::nullopt;
  return QRect(QPoint(v[0], v[1]), QSize(v[2] - v[0], v[3] - v[1]));
}

std::optional<QMargins> ParseCorner(const QString& text) {
  const QStringList parts = text.split(u',');
  if (parts.size() != 4) return std::nullopt;
  int v[4];
  for (int i = 0; i < 4; ++i) {
    bool ok = false;
    v[i] = parts[i].trimmed().toInt(&ok);
    if (!ok || v[i] < 0) return std::nullopt;
  }
  return QMargins(v[0], v[1], v[2], v[3]);
}

}  // namespace

std::optional<ImageDescriptor> ParseImageDescriptor(const QString& text) {
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty()) return std::nullopt;
  ImageDescriptor image;
  if (!trimmed.contains(u'=')) {
    image.file = trimmed;
    image.file.replace(u'\\', u'/');
    return image;
  }
  static const QRegularExpression attr(QStringLiteral("(\\w+)\\s*=\\s*'([^']*)'"));
  auto it = attr.globalMatch(trimmed);
  while (it.hasNext()) {
    const auto m = it.next();
    const QString key = m.captured(1);
    const QString value = m.captured(2);
    if (key == u"file") {
      image.file = value;
      image.file.replace(u'\\', u'/');
    } else if (key == u"source") {
      image.source = ParseRect(value);
      if (!image.source) return std::nullopt;
    } else if (key == u"dest") {
      image.dest = ParseRect(value);
      if (!image.dest) return std::nullopt;
    } else if (key == u"corner") {
      image.corner = ParseCorner(value);
      if (!image.corner) return std::nullopt;
    }
  }
  if (image.file.isEmpty()) return std::nullopt;
  return image;
}

QString SkinImagePath(const QString& file) {
  QString name = file;
  name.replace(u'\\', u'/');
  while (name.startsWith(u'/')) name.remove(0, 1);
  return QStringLiteral(":/skin/images/") + name;
}

QPixmap RenderSkinImage(const ImageDescriptor& image) {
  const QPixmap whole(SkinImagePath(image.file));
  if (whole.isNull()) return {};
  QPixmap part = image.source ? whole.copy(*image.source) : whole;
  if (!image.dest) return part;
  const QRect dest = *image.dest;
  QPixmap canvas(dest.right() + 1, dest.bottom() + 1);
  canvas.fill(Qt::transparent);
  QPainter painter(&canvas);
  painter.drawPixmap(dest, part);
  return canvas;
}

QPixmap RenderSkinImage(const QString& descriptor) {
  // Lists draw the same few images on every row: each descriptor is rendered once.
  QPixmap cached;
  const QString key = QStringLiteral("skinimage:") + descriptor;
  if (QPixmapCache::find(key, &cached)) return cached;
  const auto image = ParseImageDescriptor(descriptor);
  if (!image) return QPixmap();
  cached = RenderSkinImage(*image);
  QPixmapCache::insert(key, cached);
  return cached;
}

QString BorderImageStyle(const ImageDescriptor& image) {
  const QMargins c = image.corner.value_or(QMargins());
  return QStringLiteral("border-image: url(%1) %2 %3 %4 %5 stretch stretch;")
      .arg(SkinImagePath(image.file))
      .arg(c.top())
      .arg(c.right())
      .arg(c.bottom())
      .arg(c.left());
}

}  // namespace salvora::ui
