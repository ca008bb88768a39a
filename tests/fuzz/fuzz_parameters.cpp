// The parameter file: the bytes become the host's PARAMETROSKIV.CDS and the form initializes from it
// on the demonstration database. A bad file is a message to the operator, never a crash.
#include "config/host_config.h"
#include "form_service.h"
#include "fuzz_support.h"
#include "screen/cad_consumidor_form.h"

#include <QFile>
#include <cstdint>
#include <exception>
#include <memory>

namespace {

cadcons::fuzz::HostDirectory* host = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    cadcons::fuzz::ensureApplication();
    host = new cadcons::fuzz::HostDirectory;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace cadcons;
    // Every dialog answers no and every pick list is left without a choice.
    static fuzz::Bytes none(nullptr, 0);
    fuzz::scriptDialogs(&none);
    {
        QFile file(host->parameterFile());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    auto form = std::make_unique<TfrmCadastroConsumidor>(cadcons::test::formService(), cadcons::hostDirectory());
    form->FormCreate();
    try {
        form->InicializaForm(QStringLiteral("1"), QString(), QString(), QStringLiteral("A"));
    } catch (const std::exception&) {
        // The entry point reports these to the operator.
    }
    return 0;
}
