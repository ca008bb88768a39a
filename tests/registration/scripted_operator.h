#pragma once

#include "registration/registration_operator.h"

#include <QList>
#include <QString>
#include <deque>

namespace cadcons::test {

// The operator of a registration without a screen: every message is recorded, a question is answered
// from `answers` (yes once they run out), and the fields the registration moves to are kept in order.
class ScriptedOperator : public RegistrationOperator {
public:
    struct Told {
        QString text, details;
        int kind = 0; // the message kinds; kMsgPergunta for a question
        QString esquema;
        int number = 0;
    };

    bool ask(const QString& text, const QString& details, const QString& esquema) override {
        told << Told{text, details, 1, esquema, 0};
        if (answers.empty())
            return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void tell(const QString& text, const QString& details, int kind, const QString& esquema, int number) override {
        told << Told{text, details, kind, esquema, number};
    }
    void moveTo(int field) override { moves << field; }
    void showWithoutDatabase(const QString& text) override { withoutDatabase = text; }

    QList<Told> told;
    std::deque<bool> answers;
    QList<int> moves;
    QString withoutDatabase;
};

} // namespace cadcons::test
