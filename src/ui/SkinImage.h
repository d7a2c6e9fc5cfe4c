#pragma once

#include <QMargins>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <optional>

namespace salvora::ui {

// An image as the skins describe it: "file='Controls.png' source='0,106,15,121' dest='0,1,15,16'"
// or "file='list_header_bg.png' corner='0,1,0,1'", or a bare file name. Rectangles are
// left,top,right,bottom with right and bottom exclusive; corner gives the border widths that a
// stretched image keeps unscaled.
struct ImageDescriptor {
  QString file;                  // relative to the skin's image folder, '/' separated
  std::optional<QRect> source;   // part of the file to use (whole file when absent)
  std::optional<QRect> dest;     // where it is drawn inside the control's image area
  std::optional<QMargins> corner;
};

// nullopt for an empty text, a missing file attribute or a malformed rectangle.
std::optional<ImageDescriptor> ParseImageDescriptor(const QString& text);

// The resource path of a skin image file ("FileIcon\\image.png" and "FileIcon/image.png" alike).
QString SkinImagePath(const QString& file);

// The pixmap the descriptor shows: the source part of the file, drawn at dest on a transparent
// canvas that reaches dest's right and bottom edge. A null pixmap when the file is missing.
QPixmap RenderSkinImage(const ImageDescriptor& image);
QPixmap RenderSkinImage(const QString& descriptor);

// A style-sheet border-image rule for a stretched background with the descriptor's corners.
QString BorderImageStyle(const ImageDescriptor& image);

}  // namespace salvora::ui
