#pragma once

#include "registration/field_catalogue.h"

#include <QString>
#include <optional>

namespace cadcons {

class ClientDataSet;
struct GravaConsumidor;

// The values of the consumer being registered, free of the screen that shows them: filled from a stored
// row (or the call), taken back from the captions at Confirm, and handed to the save.
struct ConsumerRecord {
    QString stCdCliente, stCdConsumidor, stNmConsumidor, stDtNascCons, stNrRgConsumid, stNrCpfRespCon, stDsEndeCons,
        stNrEndeCons, stNmBairCons, stNrCepCons, stNrTeleCons, stNrTele2Cons, stNrCelularCons, stDsEmailCons,
        stCdIdConsumid, stNMLOGINCONS, stCdExConsumidor;
    // Codes of the names the captions show.
    QString stCdPais, stSgEstado, stCdMunicipio;
    QString stCdTipoCons;    // the consumer type saved: the branch's default unless one was chosen
    QString stCdTipoConsSel; // the consumer type chosen or loaded
    QString stCdTipoVenda;   // the sale type chosen or loaded
    QString stIdTpVendaCons; // the sale type saved
    QString stIdSexoCons, stIdSexoConsGrava;
    QString stOperacao; // "1" inserts, "2" updates
    // Password digests as loaded (or made by CriptografaSenhas), and the stored forms it made.
    QString stCdSenhaConsMd5, stCdSenhaPosMd5, stCdSenhaConsCripto, stCdSenhaSiteCripto;

    // The values of the stored row `row`. The call's code, name and customer stay as the call gave them.
    void loadStored(const ClientDataSet& row);
    // The consumer's part of the save's arguments, under the consumer code `chave`.
    void saveArguments(GravaConsumidor& v, const QString& chave) const;
};

// What a field shows of the stored row `row`; nothing for a field whose name the row does not hold.
std::optional<QString> storedCaption(const registration::FieldSpec& spec, const ClientDataSet& row);

} // namespace cadcons
