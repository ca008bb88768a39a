#include "widgets/dialogs.h"

#include <QCoreApplication>
#include <cstring>
#include <memory>

// Shows a message with no widget application ("none": no application at all; "core": a console one).
// Exits 0 when the message answered false, 1 when it answered true.
int main(int argc, char** argv) {
    std::unique_ptr<QCoreApplication> app;
    if (argc > 1 && std::strcmp(argv[1], "core") == 0)
        app = std::make_unique<QCoreApplication>(argc, argv);
    const bool answer = cadcons::Mensagem(QStringLiteral("Município não cadastrado."),
                                          QStringLiteral("linha 1\nlinha 2"), QStringLiteral("N"), QStringLiteral("N"),
                                          cadcons::kMsgErro, QString(), QStringLiteral("002"), 0, nullptr);
    return answer ? 1 : 0;
}
