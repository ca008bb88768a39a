#include "platform/mask.h"

#include <QRegularExpression>

namespace cadcons {

namespace {

bool isPlaceholder(QChar c) {
    return c == u'9' || c == u'0' || c == u'#';
}

// The ";<save literals>;<blank>" tail of an edit mask says how an editor keeps its text; formatting
// has no use for it.
QStringView maskBody(const QString& mask) {
    static const QRegularExpression tail(QStringLiteral(R"(;[01]?(;.?)?\z)"));
    const auto m = tail.match(mask);
    return m.hasMatch() ? QStringView(mask).left(m.capturedStart()) : QStringView(mask);
}

} // namespace

QString formatMask(const QString& mask, const QString& text) {
    QString out;
    QString pendingLiterals;
    qsizetype next = 0;
    for (QChar c : maskBody(mask)) {
        if (!isPlaceholder(c)) {
            pendingLiterals.append(c);
            continue;
        }
        if (next >= text.size())
            break;
        out.append(pendingLiterals);
        pendingLiterals.clear();
        out.append(text[next++]);
    }
    return out;
}

} // namespace cadcons
