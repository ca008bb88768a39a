// Field validation before a save or a fingerprint capture.

#include "routines/utility.h"
#include "screen/cad_consumidor_form.h"
#include "widgets/dialogs.h"

#include <QDate>
#include <QLabel>
#include <stdexcept>

namespace cadcons {

namespace {

// The birth date as the birth-date field writes it, in the till's day/month/year short format; the save
// reads it the same way. Throws when the text is no date at all.
QDate shortDate(const QString& text) {
    const QDate date = QDate::fromString(text.trimmed(), QStringLiteral("dd/MM/yyyy"));
    if (!date.isValid())
        throw std::invalid_argument(QStringLiteral("'%1' is not a valid date").arg(text).toStdString());
    return date;
}

qint64 toInt64(const QString& text) {
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok)
        throw std::invalid_argument(QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
    return value;
}

// Eleven equal digits pass the check-digit rule, yet name nobody.
bool repeatedDigits(qint64 cpf) {
    constexpr qint64 kOnes = 11111111111;
    return cpf >= 0 && cpf <= 9 * kOnes && cpf % kOnes == 0;
}

} // namespace

bool TfrmCadastroConsumidor::Vd_Informacoes() {
    // The operator reads the message first; then the field at fault is the one the keys type into.
    const auto fails = [this](const char* key, int focus) {
        showMessage(QLatin1String(key), kMsgErro, stIdEsquema);
        if (focus != 0) {
            inCampoAtivo = focus;
            mudaCor();
        }
        return false;
    };
    const auto check = [&]() -> bool {
        if (stModoChamada == QLatin1String("B") && fieldText(screen::CodCons).isEmpty())
            return fails("CodCons_Ninf", screen::CodCons);
        if (fieldText(screen::Nome).isEmpty())
            return fails("Nome_Ninf", screen::Nome);

        if (const QString cpf = fieldText(screen::Cpf); !cpf.isEmpty()) {
            consumer.stNrCpfRespCon = cpf;
            if (consumer.stNrCpfRespCon.size() != 11 || !CPFOk(consumer.stNrCpfRespCon) ||
                repeatedDigits(toInt64(consumer.stNrCpfRespCon)))
                return fails("Cpf_Inv", 0);
        }

        if (const QString nasc = fieldText(screen::Nasc); !EmptyString(nasc)) {
            if (shortDate(nasc) <= QDate(1899, 12, 31))
                return fails("DATA_INVALIDA", screen::Nasc);
        }

        if (fieldText(screen::Cracha).isEmpty())
            return fails("Cracha_Ninf", screen::Cracha);
        return true;
    };
    bool valid = false;
    guarded([&] { valid = check(); });
    return valid;
}

} // namespace cadcons
