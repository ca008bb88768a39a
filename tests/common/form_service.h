#pragma once

#include "service/rdm_cad_consumidor.h"

namespace cadcons::test {

// The data service the tests' forms share, as the calls of the module share the module's: made at its
// first use, and kept for the test program.
inline TrdmCadConsumidor& formService() {
    static TrdmCadConsumidor* const service = new TrdmCadConsumidor;
    return *service;
}
// Its connection closed, so that the next opening connects to what CADCONS_CONNECTION names by then.
inline void closeFormService() {
    formService().close();
}

} // namespace cadcons::test
