#pragma once

#include "platform/service_result.h"

#include <QList>
#include <QString>
#include <optional>
#include <stdexcept>

namespace cadcons {

// An error the operator has been shown already: whoever catches it stops without showing it again.
class ShownError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The kinds of an operator message.
inline constexpr int kMsgInformacao = 0; // a notice
inline constexpr int kMsgPergunta = 1;   // a question: "Sim" / "Não"
inline constexpr int kMsgErro = 3;       // an error

// What the operator is told of a failed service answer of `operation` in `module`, about `context`: its
// error text (or that it failed without a reason, when it gave none or said "false"), and details that
// name where it failed. Nothing for a packet or true.
struct ServiceFailure {
    QString text;
    QString details;
};
std::optional<ServiceFailure> serviceFailure(const ServiceResult& result, const QString& operation,
                                             const QString& module, const QString& context);

// One row of a message table.
struct MessageRow {
    QString key;
    QString text;
};

// A table of operator messages looked up by key. Keys compare without regard to case.
class TMessages {
public:
    TMessages() = default;
    explicit TMessages(QList<MessageRow> rows);
    // A key already in the table gets the new text, so one key never has two answers.
    void add(const QString& key, const QString& text);
    // Text of the key's row, in the screen's language where a translation is installed; "" when there is no
    // such row.
    QString Msg(const QString& key) const;
    bool contains(const QString& key) const;
    const QList<MessageRow>& rows() const { return rows_; }

private:
    QList<MessageRow> rows_;
};

} // namespace cadcons
