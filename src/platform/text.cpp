#include "platform/text.h"

#include <QRegularExpression>
#include <QUtf8StringView>
#include <array>

namespace cadcons {

namespace {

// 0x80-0x9F of code page 1252. The five bytes the code page leaves undefined map to the C1 control
// with the same number, so that any byte string survives a round trip.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char encodeCp1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == cp)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

QTime timeOf(const QString& h, const QString& m, const QString& s, const QString& fraction) {
    int ms = 0;
    if (!fraction.isEmpty())
        ms = fraction.left(3).leftJustified(3, u'0').toInt();
    return QTime(h.toInt(), m.toInt(), s.isEmpty() ? 0 : s.toInt(), ms);
}

QDateTime combine(const QDate& date, const QTime& time) {
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

} // namespace

QString fromCp1252(const QByteArray& bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* dst = out.data();
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *dst++ = (b >= 0x80 && b < 0xA0) ? QChar(kHighControls[b - 0x80]) : QChar(b);
    }
    return out;
}

QByteArray toCp1252(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            // One character outside the BMP is one "?", not two.
            ++i;
            out.append('?');
        } else if (c.isSurrogate()) {
            out.append('?');
        } else {
            out.append(encodeCp1252(c.unicode()));
        }
    }
    return out;
}

QString codePageName(CodePage page) {
    return page == CodePage::Utf8 ? QStringLiteral("UTF-8") : QStringLiteral("Windows-1252");
}

namespace {

bool undefinedIn1252(char32_t cp) {
    return cp == 0x81 || cp == 0x8D || cp == 0x8F || cp == 0x90 || cp == 0x9D;
}

} // namespace

bool holds(CodePage page, char32_t character) {
    if (page == CodePage::Utf8)
        return character <= 0x10FFFF && (character < 0xD800 || character > 0xDFFF);
    return !undefinedIn1252(character) && (encodeCp1252(character) != '?' || character == u'?');
}

bool decodeExact(QByteArrayView bytes, CodePage page, QString& out, qsizetype& at) {
    if (page == CodePage::Utf8) {
        if (!QUtf8StringView(bytes.data(), bytes.size()).isValidUtf8()) {
            at = -1; // the check does not say where
            return false;
        }
        out = QString::fromUtf8(bytes);
        return true;
    }
    out = fromCp1252(bytes.toByteArray());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (undefinedIn1252(static_cast<unsigned char>(bytes[i]))) {
            at = i;
            return false;
        }
    }
    return true;
}

bool encodeExact(QStringView text, CodePage page, QByteArray& out, qsizetype& at) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t cp = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate())
            cp = QChar::surrogateToUcs4(text[i], text[i + 1]);
        if (!holds(page, cp)) {
            at = i;
            return false;
        }
        if (cp > 0xFFFF)
            ++i;
    }
    out = page == CodePage::Utf8 ? text.toUtf8() : toCp1252(text.toString());
    return true;
}

QDateTime parseIsoDateTime(const QString& text) {
    static const QRegularExpression re(QStringLiteral(
        R"(^([0-9]{4})-([0-9]{2})-([0-9]{2})(?:[T ]([0-9]{2}):([0-9]{2}):([0-9]{2})(?:\.([0-9]{1,9}))?)?\z)"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return {};
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (m.captured(4).isEmpty())
        return combine(date, QTime(0, 0));
    return combine(date, timeOf(m.captured(4), m.captured(5), m.captured(6), m.captured(7)));
}

QDateTime parseDateTimeText(const QString& text) {
    QDateTime iso = parseIsoDateTime(text);
    if (iso.isValid())
        return iso;
    static const QRegularExpression re(
        QStringLiteral(R"(^([0-9]{2})/([0-9]{2})/([0-9]{4})(?: ([0-9]{2}):([0-9]{2})(?::([0-9]{2}))?)?\z)"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return {};
    const QDate date(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
    if (m.captured(4).isEmpty())
        return combine(date, QTime(0, 0));
    return combine(date, timeOf(m.captured(4), m.captured(5), m.captured(6), QString()));
}

bool isAsciiDigits(const QString& text) {
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

} // namespace cadcons
