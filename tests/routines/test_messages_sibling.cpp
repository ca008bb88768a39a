#include "platform/client_data_set.h"
#include "routines/messages.h"
#include "routines/sibling.h"

#include <gtest/gtest.h>

using namespace cadcons;

TEST(Messages, KeysIgnoreCaseAndMissingKeysGiveEmpty) {
    const TMessages table({{"Nome_NInf", "Informe o nome"}, {"Cpf_Inv", "CPF inválido"}, {"CPF_INV", "CPF errado"}});
    for (const auto& [key, text] :
         {std::pair{"Nome_Ninf", "Informe o nome"}, {"cpf_inv", "CPF errado"}, {"Nome", ""}}) {
        EXPECT_EQ(table.Msg(key), QString::fromUtf8(text)) << key;
        EXPECT_EQ(table.contains(key), *text != '\0') << key;
    }
    EXPECT_EQ(table.rows().size(), 2);
}

TEST(Sibling, WrappersCallTheCurrentServiceOrSayItIsMissing) {
    SiblingServices& services = siblingServices();
    const SiblingServices saved = services;
    services = {};
    ClientDataSet dataset(QStringLiteral("cdsPais"));
    QVariantList list{QVariant(), QVariant()};
    const std::pair<const char*, std::function<void()>> calls[] = {
        {"Pesquisa", [&] { Pesquisa(dataset); }},
        {"DigitalConsumidor", [&] { DigitalConsumidor("c", "k", "n", list); }},
        {"SenhaConsCentral", [&] { SenhaConsCentral("1", "2", "3", "X", "1", "1", "GET_CONS", list); }},
        {"SetConsumidor", [&] { SetConsumidor({}, list); }}};
    for (const auto& [name, call] : calls) {
        try {
            call();
            ADD_FAILURE() << name << " ran without a service";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), std::string(name) + ": service not available");
        }
    }

    // Read at each call: a replacement takes effect at once, and false comes back as false.
    services.Pesquisa = [](ClientDataSet& d, const QString& flag) { return d.name() == "cdsPais" && flag == "N"; };
    EXPECT_TRUE(Pesquisa(dataset));
    services.DigitalConsumidor = [](const QString& code, auto&, auto&, QVariantList& t) { t = {code + "a", code}; };
    DigitalConsumidor("007", "k", "n", list);
    EXPECT_EQ(list, (QVariantList{"007a", "007"}));
    for (bool answer : {true, false}) {
        services.SenhaConsCentral = [answer](auto&&...) { return answer; };
        EXPECT_EQ(SenhaConsCentral("1", "2", "3", "v", "1", "1", "UPDATE_SENHA", list), answer);
    }
    services.SetConsumidor = [](const QVariantList& context, QVariantList&) { return QVariant(context.size()); };
    EXPECT_EQ(SetConsumidor({1, 2, 3, 4}, list).toInt(), 4);
    services = saved;
}
