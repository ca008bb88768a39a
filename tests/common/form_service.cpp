#include "form_service.h"

#include "service/rdm_cad_consumidor.h"

namespace cadcons::test {

TrdmCadConsumidor& formService() {
    static TrdmCadConsumidor* const service = new TrdmCadConsumidor;
    return *service;
}

void closeFormService() {
    formService().close();
}

} // namespace cadcons::test
