#include "routines/utility.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <string_view>

namespace cadcons {

bool EmptyString(const QString& text) {
    return text.trimmed().isEmpty();
}

QString Ajusta(const QString& text, int width) {
    QString trimmed = text.trimmed();
    if (width <= 0)
        return trimmed;
    return trimmed.rightJustified(width, u'0', false);
}

QString Replicate(const QString& text, int count) {
    return count > 0 ? text.repeated(count) : QString();
}

bool CPFOk(const QString& digits) {
    if (digits.size() != 11)
        return false;
    int d[11];
    for (int i = 0; i < 11; ++i) {
        // ASCII only: QChar::isDigit would also take other scripts' digits.
        const char16_t c = digits[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        d[i] = c - u'0';
    }
    // Check digit k (k = 9, 10) weighs the k digits before it from k + 1 down to 2.
    for (int k = 9; k <= 10; ++k) {
        int sum = 0;
        for (int i = 0; i < k; ++i)
            sum += d[i] * (k + 1 - i);
        const int rest = sum % 11;
        if (d[k] != (rest < 2 ? 0 : 11 - rest))
            return false;
    }
    return true;
}

QString PictPess(const QString& personKind) {
    if (personKind.trimmed() == QLatin1Char(kPessoaFisica))
        return QStringLiteral("999.999.999-99");
    return QStringLiteral("99.999.999/9999-99");
}

namespace {

// The accented letters of code page 1252 and, at the same position, their plain letters.
constexpr std::u16string_view kAccented = u"ÀÁÂÃÄÅàáâãäåÈÉÊËèéêëÌÍÎÏìíîïÒÓÔÕÖØòóôõöøÙÚÛÜùúûüÝýÿŸÑñŠšŽžÇç";
constexpr std::u16string_view kPlain = u"AAAAAAaaaaaaEEEEeeeeIIIIiiiiOOOOOOooooooUUUUuuuuYyyYNnSsZzCc";
static_assert(kAccented.size() == kPlain.size());

} // namespace

QString RemoveAcentos(const QString& text) {
    // Composed first, so a letter followed by a combining accent loses its accent as well.
    QString result = text.normalized(QString::NormalizationForm_C);
    for (QChar& c : result) {
        if (const auto at = kAccented.find(c.unicode()); at != std::u16string_view::npos)
            c = QChar(kPlain[at]);
    }
    return result;
}

QDate StrToDate(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4}|\\d{2})$"));
    const QRegularExpressionMatch parts = form.match(text.trimmed());
    QDate date;
    if (parts.hasMatch()) {
        int year = parts.captured(3).toInt();
        if (parts.capturedLength(3) == 2) {
            const int windowStart = QDate::currentDate().year() - 50;
            year += windowStart - windowStart % 100;
            if (year < windowStart)
                year += 100;
        }
        date = QDate(year, parts.captured(2).toInt(), parts.captured(1).toInt());
    }
    if (!date.isValid())
        throw std::invalid_argument(QCoreApplication::translate("TfrmCadastroConsumidor", "'%1' não é uma data válida")
                                        .arg(text)
                                        .toStdString());
    return date;
}

} // namespace cadcons
