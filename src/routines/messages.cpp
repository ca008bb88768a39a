#include "routines/messages.h"

#include <QCoreApplication>
#include <utility>

namespace cadcons {

TMessages::TMessages(QList<MessageRow> rows) {
    rows_.reserve(rows.size());
    for (MessageRow& row : rows) {
        if (contains(row.key))
            add(row.key, row.text);
        else
            rows_.append(std::move(row));
    }
}

// A key given again replaces the earlier text, so a table never holds two answers for one key.
void TMessages::add(const QString& key, const QString& text) {
    for (MessageRow& row : rows_) {
        if (row.key.compare(key, Qt::CaseInsensitive) == 0) {
            row.text = text;
            return;
        }
    }
    rows_.append({key, text});
}

QString TMessages::Msg(const QString& key) const {
    for (const MessageRow& row : rows_) {
        // In the screen's language when a translation of the row's text is installed (the captions'
        // translator); the table's own text otherwise.
        if (row.key.compare(key, Qt::CaseInsensitive) == 0)
            return QCoreApplication::translate("TMessages", row.text.toUtf8().constData());
    }
    return {};
}

bool TMessages::contains(const QString& key) const {
    for (const MessageRow& row : rows_) {
        if (row.key.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

std::optional<ServiceFailure> serviceFailure(const ServiceResult& result, const QString& operation,
                                             const QString& module, const QString& context) {
    const QString where = module + QLatin1Char('.') + operation;
    const QString noReason = QStringLiteral("A operação %1 falhou sem informar o motivo.").arg(where);
    QString text;
    if (const auto* ok = std::get_if<bool>(&result)) {
        if (*ok)
            return std::nullopt;
        // A service that says "no" without saying why has still failed; going on would lose data.
        text = noReason;
    } else if (const auto* error = std::get_if<QString>(&result)) {
        text = error->trimmed().isEmpty() ? noReason : *error;
    } else {
        return std::nullopt;
    }
    return ServiceFailure{text, context.isEmpty() ? where : QStringLiteral("%1 (%2)").arg(where, context)};
}

} // namespace cadcons
