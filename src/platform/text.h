#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringView>

namespace cadcons {

// Code page 1252 at the byte boundaries: bytes to text and back. Characters that the code page
// lacks become "?" on the way out.
QString fromCp1252(const QByteArray& bytes);
QByteArray toCp1252(const QString& text);

// The host's code page at the module's boundary, where nothing may be guessed: a byte the code page
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) or a character it lacks is refused, not replaced.
enum class CodePage { Utf8, Windows1252 };

// "UTF-8" or "Windows-1252", for messages.
QString codePageName(CodePage page);

// Bytes to text. False when a byte is undefined or a sequence invalid; `at` then holds the offset of
// the undefined byte (-1 for invalid UTF-8, whose check does not say where).
bool decodeExact(QByteArrayView bytes, CodePage page, QString& out, qsizetype& at);

// Text to bytes. False when a character cannot be held; `at` then holds its index in `text`.
bool encodeExact(QStringView text, CodePage page, QByteArray& out, qsizetype& at);

// Whether the code page holds the character.
bool holds(CodePage page, char32_t character);

// True when every character is one of 0-9 (also for ""): no other script's digits, no signs.
bool isAsciiDigits(const QString& text);

// Date-times as databases hand them back in text: "yyyy-MM-dd", "yyyy-MM-ddThh:mm:ss[.zzz]" or
// "yyyy-MM-dd hh:mm:ss[.zzz]", in local time. An invalid QDateTime when the text is none of these or
// names no real date or time.
QDateTime parseIsoDateTime(const QString& text);

// parseIsoDateTime, and also the texts a dataset shows: "dd/MM/yyyy" and "dd/MM/yyyy hh:mm[:ss]".
QDateTime parseDateTimeText(const QString& text);

} // namespace cadcons
