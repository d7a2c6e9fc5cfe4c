#include "app/MessageFormat.h"

namespace salvora::app {

namespace {

QString NumberText(const QVariant& arg, QChar conversion, int width, bool zeroPad, bool leftAlign) {
  QString digits;
  if (conversion == u'u' || conversion == u'x' || conversion == u'X') {
    const qulonglong v = arg.toULongLong();
    digits = QString::number(v, conversion == u'u' ? 10 : 16);
    if (conversion == u'X') digits = digits.toUpper();
  } else {
    digits = QString::number(arg.toLongLong());
  }
  if (digits.size() >= width) return digits;
  if (leftAlign) return digits.leftJustified(width, u' ');
  if (zeroPad) {
    const bool negative = digits.startsWith(u'-');
    QString body = negative ? digits.mid(1) : digits;
    body = body.rightJustified(width - (negative ? 1 : 0), u'0');
    return negative ? QStringLiteral("-") + body : body;
  }
  return digits.rightJustified(width, u' ');
}

}  // namespace

QString FormatMessageText(const QString& format, const QList<QVariant>& args) {
  QString out;
  qsizetype next = 0;
  for (qsizetype i = 0; i < format.size(); ++i) {
    const QChar ch = format[i];
    if (ch != u'%' || i + 1 >= format.size()) {
      out += ch;
      continue;
    }
    qsizetype j = i + 1;
    if (format[j] == u'%') {
      out += u'%';
      i = j;
      continue;
    }
    bool zeroPad = false, leftAlign = false;
    while (j < format.size() && (format[j] == u'0' || format[j] == u'-' || format[j] == u'+' || format[j] == u' ')) {
      if (format[j] == u'0') zeroPad = true;
      if (format[j] == u'-') leftAlign = true;
      ++j;
    }
    int width = 0;
    while (j < format.size() && format[j].isDigit() && width < 1000) width = width * 10 + format[j++].digitValue();
    int precision = -1;
    if (j < format.size() && format[j] == u'.') {
      precision = 0;
      ++j;
      while (j < format.size() && format[j].isDigit() && precision < 100) precision = precision * 10 + format[j++].digitValue();
    }
    // Length modifiers: I64, ll, l, h.
    if (format.mid(j, 3) == QStringLiteral("I64")) j += 3;
    while (j < format.size() && (format[j] == u'l' || format[j] == u'h')) ++j;
    if (j >= format.size()) {
      out += format.mid(i);
      break;
    }
    const QChar conversion = format[j];
    const QVariant arg = next < args.size() ? args[next] : QVariant();
    QString piece;
    switch (conversion.unicode()) {
      case 'd': case 'i': case 'u': case 'x': case 'X':
        piece = arg.isValid() ? NumberText(arg, conversion, width, zeroPad, leftAlign) : QString();
        ++next;
        break;
      case 'f':
        piece = arg.isValid() ? QString::number(arg.toDouble(), 'f', precision < 0 ? 6 : precision) : QString();
        ++next;
        break;
      case 'c': case 'C':
        if (arg.isValid()) piece = arg.typeId() == QMetaType::QChar ? QString(arg.toChar()) : QString(QChar(arg.toInt()));
        ++next;
        break;
      case 's': case 'S':
        piece = arg.toString();
        if (precision >= 0) piece = piece.left(precision);
        ++next;
        break;
      default:
        // Not a conversion we know: keep the text as it stands.
        out += format.mid(i, j - i + 1);
        i = j;
        continue;
    }
    if (conversion == u's' || conversion == u'S' || conversion == u'c' || conversion == u'C') {
      if (piece.size() < width) piece = leftAlign ? piece.leftJustified(width) : piece.rightJustified(width);
    }
    out += piece;
    i = j;
  }
  return out;
}

QString JoinMessage(const QString& message, const QString& value) { return message + u' ' + value; }

}  // namespace salvora::app
