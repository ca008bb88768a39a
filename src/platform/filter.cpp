#include "platform/filter.h"

namespace cadcons {

namespace {

// Error texts quote the filter; a runaway text is cut so the message stays readable.
constexpr qsizetype kMaxQuotedChars = 500;

bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

class FilterParser {
public:
    explicit FilterParser(const QString& text)
        : text_(text) {}

    QList<FilterTerm> parse() {
        QList<FilterTerm> terms;
        skipBlanks();
        if (atEnd())
            return terms;
        for (;;) {
            terms.append(term());
            skipBlanks();
            if (atEnd())
                return terms;
            const qsizetype wordAt = pos_;
            const QString word = name();
            if (word.compare(u"AND", Qt::CaseInsensitive) != 0) {
                if (word.compare(u"OR", Qt::CaseInsensitive) == 0)
                    fail(wordAt, QStringLiteral("OR is not supported, terms can only be joined with AND"));
                fail(wordAt, QStringLiteral("expected AND or the end of the filter"));
            }
            skipBlanks();
            if (atEnd())
                fail(pos_, QStringLiteral("AND is not followed by a term"));
        }
    }

private:
    FilterTerm term() {
        FilterTerm t;
        t.column = name();
        if (t.column.isEmpty())
            fail(pos_, QStringLiteral("expected a column name"));
        skipBlanks();
        if (atEnd() || text_[pos_] != u'=')
            fail(pos_, QStringLiteral("expected \"=\" after column %1").arg(t.column));
        ++pos_;
        skipBlanks();
        if (atEnd() || text_[pos_] != u'\'')
            fail(pos_, QStringLiteral("expected a value in apostrophes after \"%1 =\"").arg(t.column));
        const qsizetype opening = pos_++;
        for (;;) {
            if (atEnd())
                fail(opening, QStringLiteral("the value of %1 has no closing apostrophe").arg(t.column));
            const QChar c = text_[pos_++];
            if (c != u'\'') {
                t.value.append(c);
            } else if (!atEnd() && text_[pos_] == u'\'') {
                t.value.append(c);
                ++pos_;
            } else {
                return t;
            }
        }
    }

    QString name() {
        const qsizetype start = pos_;
        while (!atEnd() && isNameChar(text_[pos_]))
            ++pos_;
        return text_.mid(start, pos_ - start);
    }

    void skipBlanks() {
        while (!atEnd() && text_[pos_].isSpace())
            ++pos_;
    }

    bool atEnd() const { return pos_ >= text_.size(); }

    [[noreturn]] void fail(qsizetype at, const QString& problem) const {
        QString quoted = text_.left(kMaxQuotedChars);
        if (quoted.size() < text_.size())
            quoted += QStringLiteral("...");
        throw FilterError(QStringLiteral("Invalid filter \"%1\": %2 at position %3")
                              .arg(quoted, problem, QString::number(at + 1))
                              .toStdString());
    }

    const QString& text_;
    qsizetype pos_ = 0;
};

} // namespace

QList<FilterTerm> parseFilter(const QString& text) {
    return FilterParser(text).parse();
}

QString quoteFilterValue(const QString& value) {
    QString doubled = value;
    doubled.replace(u'\'', QStringLiteral("''"));
    return u'\'' + doubled + u'\'';
}

QString filterTerm(const QString& column, const QString& value) {
    return column + QStringLiteral(" = ") + quoteFilterValue(value);
}

} // namespace cadcons
