#pragma once

#include <QList>
#include <QString>

namespace cadcons {

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
    // Text of the key's row; "" when there is no such row.
    QString Msg(const QString& key) const;
    bool contains(const QString& key) const;
    const QList<MessageRow>& rows() const { return rows_; }

private:
    QList<MessageRow> rows_;
};

} // namespace cadcons
