#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <functional>

namespace cadcons {

class ClientDataSet;

// The four services of the sibling package. Each is a replaceable function variable, read at each
// call, so a host or a test can put its own in place. Until one is set (or its default is installed by
// the screen), calling it throws std::runtime_error saying the service is not available.

// Shows the dataset's visible rows and lets the operator pick one; true with the dataset on the picked
// row. The one text is a flag: "N" by default and at every call; the default list does not read it.
using PesquisaFn = std::function<bool(ClientDataSet& dataset, const QString& flag)>;
// Runs the fingerprint capture; leaves the two templates in templates[0] and templates[1].
using DigitalConsumidorFn = std::function<void(const QString& consumerCode, const QString& customerCode,
                                               const QString& consumerName, QVariantList& templates)>;
// Central password service: "GET_CONS" (value "X") leaves a packet in result[0]; "UPDATE_SENHA" stores
// the value. True on success.
using SenhaConsCentralFn =
    std::function<bool(const QString& branch, const QString& customer, const QString& consumer, const QString& value,
                       const QString& arg5, const QString& arg6, const QString& action, QVariantList& result)>;
// Publishes a saved consumer; the text goes through MensagemMetodo.
using SetConsumidorFn = std::function<QVariant(const QVariantList& context, QVariantList& data)>;

struct SiblingServices {
    PesquisaFn Pesquisa;
    DigitalConsumidorFn DigitalConsumidor;
    SenhaConsCentralFn SenhaConsCentral;
    SetConsumidorFn SetConsumidor;
};

// The variables themselves.
SiblingServices& siblingServices();

// Callers go through these, which read the variable at each call.
bool Pesquisa(ClientDataSet& dataset, const QString& flag = QStringLiteral("N"));
void DigitalConsumidor(const QString& consumerCode, const QString& customerCode, const QString& consumerName,
                       QVariantList& templates);
bool SenhaConsCentral(const QString& branch, const QString& customer, const QString& consumer, const QString& value,
                      const QString& arg5, const QString& arg6, const QString& action, QVariantList& result);
QVariant SetConsumidor(const QVariantList& context, QVariantList& data);

} // namespace cadcons
