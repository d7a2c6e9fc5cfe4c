#pragma once

#include <QList>
#include <QString>
#include <QVariant>

namespace salvora::app {

// printf-style formatting of catalogue texts. The formats come from language files, which a
// user can edit, so they are never handed to printf: each conversion (%d %u %c %s %I64u %%,
// with flags, width and precision for numbers) takes the next argument and converts it to the
// kind asked for; a missing argument gives nothing.
QString FormatMessageText(const QString& format, const QList<QVariant>& args);

// The "%s %s" / "%s %d" ... joins of a message and a value.
QString JoinMessage(const QString& message, const QString& value);

}  // namespace salvora::app
