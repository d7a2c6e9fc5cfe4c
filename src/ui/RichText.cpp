#include "ui/RichText.h"

#include <QRegularExpression>
#include <QStringList>

namespace salvora::ui {

namespace {

struct Tag {
  QString name;    // f, c, b, i, u
  QString close;   // the HTML that ends it
};

// Font table shared by every skin: index -> point size (and bold for the headline sizes).
constexpr int kFontSizes[] = {9, 9, 10, 11, 12, 14, 16, 18, 22};

bool IsHexColour(const QString& text) {
  static const QRegularExpression re(QStringLiteral("^#([0-9A-Fa-f]{6}|[0-9A-Fa-f]{8})$"));
  return re.match(text).hasMatch();
}

// #AARRGGBB (the skins' form with alpha) becomes #RRGGBB for HTML.
QString HtmlColour(const QString& text) {
  return text.size() == 9 ? QStringLiteral("#") + text.mid(3) : text;
}

}  // namespace

int SkinFontPointSize(int index) {
  constexpr int count = sizeof(kFontSizes) / sizeof(kFontSizes[0]);
  if (index < 0 || index >= count) return kFontSizes[0];
  return kFontSizes[index];
}

bool HasRichTextTags(const QString& text) {
  static const QRegularExpression re(QStringLiteral("\\{(/?[fcbiun])( [^}]*)?\\}"));
  return re.match(text).hasMatch();
}

QString RichTextToHtml(const QString& markup) {
  QString html;
  QList<Tag> open;
  qsizetype i = 0;
  while (i < markup.size()) {
    const QChar ch = markup[i];
    if (ch == u'{') {
      const qsizetype end = markup.indexOf(u'}', i + 1);
      if (end > i) {
        const QString body = markup.mid(i + 1, end - i - 1);
        const QString name = body.section(u' ', 0, 0);
        const QString arg = body.section(u' ', 1).trimmed();
        bool handled = true;
        if (name == u"n") {
          html += QStringLiteral("<br/>");
        } else if (name == u"f") {
          bool ok = false;
          const int index = arg.toInt(&ok);
          html += QStringLiteral("<span style=\"font-size:%1pt\">").arg(SkinFontPointSize(ok ? index : 0));
          open.append({name, QStringLiteral("</span>")});
        } else if (name == u"c" && IsHexColour(arg)) {
          html += QStringLiteral("<span style=\"color:%1\">").arg(HtmlColour(arg));
          open.append({name, QStringLiteral("</span>")});
        } else if (name == u"b" || name == u"i" || name == u"u") {
          html += QStringLiteral("<%1>").arg(name);
          open.append({name, QStringLiteral("</%1>").arg(name)});
        } else if (name.startsWith(u'/') && name.size() == 2) {
          // Close up to and including the innermost tag of that name; a stray close is dropped.
          const QString which = name.mid(1);
          qsizetype at = open.size() - 1;
          while (at >= 0 && open[at].name != which) --at;
          if (at >= 0) {
            while (open.size() > at) html += open.takeLast().close;
          }
        } else {
          handled = false;
        }
        if (handled) {
          i = end + 1;
          continue;
        }
      }
    }
    if (ch == u'\n') {
      html += QStringLiteral("<br/>");
    } else if (ch != u'\r') {
      html += QString(ch).toHtmlEscaped();
    }
    ++i;
  }
  while (!open.isEmpty()) html += open.takeLast().close;
  return html;
}

}  // namespace salvora::ui
