#pragma once

#include <QString>

namespace salvora::ui {

// The small markup of the skins' texts: {f N}..{/f} picks font N of the skin's font table,
// {c #RRGGBB}..{/c} a colour, {b}..{/b} bold, {i}..{/i} italic, {u}..{/u} underline, {n} a line
// break. Everything else is plain text (HTML-escaped). An unclosed tag is closed at the end.
QString RichTextToHtml(const QString& markup);

// True when the text holds at least one markup tag.
bool HasRichTextTags(const QString& text);

// Point size of font N of the skin's font table (0 is the default text font).
int SkinFontPointSize(int index);

}  // namespace salvora::ui
