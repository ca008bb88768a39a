#pragma once

#include "service/rdm_cad_consumidor.h"

#include <QString>

// What a till of the race tests saves: the columns that differ between two tills, each made from the
// till's tag (e.g. "A17" and "B17"), so that a row read back tells whose value every column holds.
namespace cadcons::test {

struct TillColumn {
    const char* column;
    QString GravaConsumidor::*value;
    const char* prefix;
    const char* suffix;
};

inline constexpr TillColumn kTillColumns[] = {
    {"NMCONSUMIDOR", &GravaConsumidor::nmConsumidor, "TILL ", ""},
    {"CDIDCONSUMID", &GravaConsumidor::cdIdConsumid, "ID-", ""},
    {"NRRGCONSUMID", &GravaConsumidor::nrRgConsumid, "RG-", ""},
    {"NRTELECONS", &GravaConsumidor::nrTeleCons, "11-", ""},
    {"NRTELE2CONS", &GravaConsumidor::nrTele2Cons, "12-", ""},
    {"NRCELULARCONS", &GravaConsumidor::nrCelularCons, "13-", ""},
    {"DSENDECONS", &GravaConsumidor::dsEndeCons, "Rua ", ""},
    {"NRENDECONS", &GravaConsumidor::nrEndeCons, "", ""},
    {"NMBAIRCONS", &GravaConsumidor::nmBairCons, "Bairro ", ""},
    {"NRCEPCONS", &GravaConsumidor::nrCepCons, "CEP", ""},
    {"DSEMAILCONS", &GravaConsumidor::dsEmailCons, "", "@till.example"},
    {"CDEXCONSUMID", &GravaConsumidor::cdExConsumid, "EXT-", ""},
    {"NMLOGINCONS", &GravaConsumidor::nmLoginCons, "login.", ""},
    {"DIGICONSUMIDOR", &GravaConsumidor::digital, "FP1-", ""},
    {"DIGICONSUMIDOR2", &GravaConsumidor::digital2, "FP2-", ""},
};

inline QString tillValue(const TillColumn& column, const QString& tag) {
    return QLatin1String(column.prefix) + tag + QLatin1String(column.suffix);
}

// A whole consumer as Confirm hands it to the save; `key` already has 21 characters.
inline GravaConsumidor tillConsumer(const QString& customer, const QString& key, const QString& operacao,
                                    const QString& tag) {
    GravaConsumidor v;
    v.cdCliente = customer;
    v.cdConsumidor = key;
    v.operacao = operacao;
    v.cdCcusClie = QStringLiteral("0000000001");
    v.cdTipoCons = QStringLiteral("01");
    v.stProcessamento = QStringLiteral("CAIXA");
    v.cdFilial = QStringLiteral("0001");
    v.cdPais = QStringLiteral("0055");
    v.sgEstado = QStringLiteral("SP");
    v.cdMunicipio = QStringLiteral("0001");
    v.idSexoCons = tag.startsWith(u'B') ? QStringLiteral("F") : QStringLiteral("M");
    v.idImpCpfCupom = v.idCadConfLibCon = v.idAtuCpfCons = v.idVerSaldCon = QStringLiteral("S");
    v.idTpVendaCons = QStringLiteral("1");
    const QString valueTag = tag.isEmpty() ? QStringLiteral("N") : tag;
    for (const TillColumn& column : kTillColumns)
        v.*column.value = tillValue(column, valueTag);
    return v;
}

} // namespace cadcons::test
