// One till for the race tests: registers and edits consumers through the data service, as the screen's
// Confirm does, on the database that CADCONS_CONNECTION names. It reads one command a line on standard
// input, answers "ready", waits for "go" (so that two tills start together), runs it and answers with
// one line:
//   new CUSTOMER CODE       the code check of Confirm, then the insert: "saved" or "refused TEXT"
//   new-checked CUSTOMER CODE  the same, but after a check that found the code free it answers
//                           "checked" and waits for another "go" before the insert
//   edit CUSTOMER CODE TAG  an update of every varying column with values made from TAG: "saved" or
//                           "refused TEXT"
// TEXT is the error text with its line breaks as " | ".

#include "routines/utility.h"
#include "service/rdm_cad_consumidor.h"
#include "till_values.h"

#include <QCoreApplication>
#include <iostream>
#include <string>

using namespace cadcons;

namespace {

void answer(const QString& line) {
    std::cout << line.toStdString() << std::endl;
}

QString refused(const QString& text) {
    return QStringLiteral("refused ") + QString(text).replace(u'\n', QStringLiteral(" | "));
}

QString registerNew(TrdmCadConsumidor& service, const QString& customer, const QString& code, bool pauseAfterCheck) {
    const QString key = Ajusta(code, 21);
    // Confirm asks first whether the code is taken.
    const ServiceResult check = getValidaCons(service, key, customer);
    if (const auto* text = std::get_if<QString>(&check))
        return refused(*text);
    if (const auto* packet = std::get_if<DataPacket>(&check); packet && !packet->rows.isEmpty())
        return refused(QStringLiteral("the consumer code already exists for this customer (checked before saving)"));
    if (pauseAfterCheck) {
        answer(QStringLiteral("checked"));
        std::string go;
        if (!std::getline(std::cin, go))
            return QStringLiteral("no go after the check");
    }
    const ServiceResult saved = setGravaConsumidor(service, test::tillConsumer(customer, key, QStringLiteral("1"), {}));
    if (const auto* text = std::get_if<QString>(&saved))
        return refused(*text);
    return QStringLiteral("saved");
}

QString edit(TrdmCadConsumidor& service, const QString& customer, const QString& code, const QString& tag) {
    const ServiceResult saved =
        setGravaConsumidor(service, test::tillConsumer(customer, Ajusta(code, 21), QStringLiteral("2"), tag));
    if (const auto* text = std::get_if<QString>(&saved))
        return refused(*text);
    return QStringLiteral("saved");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TrdmCadConsumidor service(QStringLiteral("till"));
    try {
        service.open();
    } catch (const std::exception& e) {
        answer(refused(QString::fromUtf8(e.what())));
        return 1;
    }
    std::string line;
    while (std::getline(std::cin, line)) {
        const QStringList words = QString::fromStdString(line).split(u' ', Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        if (words[0] == QLatin1String("quit"))
            break;
        answer(QStringLiteral("ready"));
        std::string go;
        if (!std::getline(std::cin, go))
            break;
        if ((words[0] == QLatin1String("new") || words[0] == QLatin1String("new-checked")) && words.size() == 3)
            answer(registerNew(service, words[1], words[2], words[0] == QLatin1String("new-checked")));
        else if (words[0] == QLatin1String("edit") && words.size() == 4)
            answer(edit(service, words[1], words[2], words[3]));
        else
            answer(QStringLiteral("unknown command ") + words.join(u' '));
    }
    return 0;
}
