#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace cadcons {

// Code page 1252 at the byte boundaries: bytes to text and back. Characters that the code page
// lacks become "?" on the way out.
QString fromCp1252(const QByteArray& bytes);
QByteArray toCp1252(const QString& text);

// Date-times as databases hand them back in text: "yyyy-MM-dd", "yyyy-MM-ddThh:mm:ss[.zzz]" or
// "yyyy-MM-dd hh:mm:ss[.zzz]", in local time. An invalid QDateTime when the text is none of these or
// names no real date or time.
QDateTime parseIsoDateTime(const QString& text);

// parseIsoDateTime, and also the texts a dataset shows: "dd/MM/yyyy" and "dd/MM/yyyy hh:mm[:ss]".
QDateTime parseDateTimeText(const QString& text);

} // namespace cadcons
