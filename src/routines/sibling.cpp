#include "routines/sibling.h"

#include <stdexcept>

namespace cadcons {

namespace {

[[noreturn]] void notAvailable(const char* name) {
    throw std::runtime_error(std::string(name) + ": service not available");
}

} // namespace

SiblingServices& siblingServices() {
    static SiblingServices services;
    return services;
}

// Each wrapper takes a copy of the variable before calling it, so a service that replaces itself
// while it runs does not pull the function out from under its own call.

bool Pesquisa(ClientDataSet& dataset, const QString& flag) {
    const PesquisaFn service = siblingServices().Pesquisa;
    if (!service)
        notAvailable("Pesquisa");
    return service(dataset, flag);
}

void DigitalConsumidor(const QString& consumerCode, const QString& customerCode, const QString& consumerName,
                       QVariantList& templates) {
    const DigitalConsumidorFn service = siblingServices().DigitalConsumidor;
    if (!service)
        notAvailable("DigitalConsumidor");
    service(consumerCode, customerCode, consumerName, templates);
}

bool SenhaConsCentral(const QString& branch, const QString& customer, const QString& consumer, const QString& value,
                      const QString& arg5, const QString& arg6, const QString& action, QVariantList& result) {
    const SenhaConsCentralFn service = siblingServices().SenhaConsCentral;
    if (!service)
        notAvailable("SenhaConsCentral");
    return service(branch, customer, consumer, value, arg5, arg6, action, result);
}

QVariant SetConsumidor(const QVariantList& context, QVariantList& data) {
    const SetConsumidorFn service = siblingServices().SetConsumidor;
    if (!service)
        notAvailable("SetConsumidor");
    return service(context, data);
}

} // namespace cadcons
