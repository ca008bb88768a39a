// Postal-code replies: decoding by the declared encoding, the cleaning of the text, and the reading
// of the four address parts. Whatever the bytes, cleaned text holds none of the characters the
// cleaning removes, and cleaning twice changes nothing more.
#include "screen/lookup/cep_service.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char* what, const QString& text) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_cep: %s: \"%s\"\n", what, qUtf8Printable(text));
        std::abort();
    }
}

void checkClean(const QString& cleaned) {
    for (const QChar c : cleaned) {
        const char16_t u = c.unicode();
        check(u != 0 && u != 10 && u != 254 && u != 255, "cleaned text keeps a removed character", cleaned);
    }
    check(cadcons::lookup::cleanCepText(cleaned) == cleaned, "cleaning is not stable", cleaned);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace cadcons::lookup;
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const std::optional<QString> text = decodeCepReply(body))
        checkClean(cleanCepText(*text));
    checkClean(cleanCepText(QString::fromUtf8(body)));
    if (const std::optional<CepAddress> address = readCepReply(body)) {
        for (const QString* part : {&address->uf, &address->localidade, &address->bairro, &address->logradouro})
            checkClean(*part);
    }
    return 0;
}
