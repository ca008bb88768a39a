// Password digests and stored forms for the save.

#include "routines/utility.h"
#include "screen/cad_consumidor_form.h"
#include "screen/module_state.h"
#include "screen/save/md5.h"
#include "service/catalogue.h"

#include <QLabel>

namespace cadcons {

namespace {

// A newly typed password gets a fresh digest and stored form; one not retyped keeps what its field
// shows, the stored form loaded with the record (or nothing), and its digest stays as loaded.
void storedForms(const QString& typed, const QString& shown, int columnWidth, QString& digest, QString& stored) {
    if (typed.isEmpty()) {
        stored = shown;
        return;
    }
    QString salted = QLatin1String(kSaltPrefix) + typed + QLatin1String(kSaltSuffix);
    digest = MD5(salted);
    salted.fill(QChar(u'\0'));
    stored = CriptoPlus(typed, columnWidth);
}

} // namespace

void TfrmCadastroConsumidor::CriptografaSenhas() {
    // Nothing is assigned until both are made: a password too long for its column leaves the state as it was.
    QString posMd5 = consumer.stCdSenhaPosMd5, consMd5 = consumer.stCdSenhaConsMd5, senhaCons, senhaSite;
    storedForms(stCDSENHACONS, fieldText(screen::SenhaCons), sql::columnWidth(QStringLiteral("CDSENHACONS")), posMd5,
                senhaCons);
    storedForms(stCDSENHASITE, fieldText(screen::SenhaSite), sql::columnWidth(QStringLiteral("CDSENHASITE")), consMd5,
                senhaSite);
    consumer.stCdSenhaPosMd5 = posMd5;
    consumer.stCdSenhaConsMd5 = consMd5;
    consumer.stCdSenhaConsCripto = senhaCons;
    consumer.stCdSenhaSiteCripto = senhaSite;
}

} // namespace cadcons
