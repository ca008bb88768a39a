#include "module/cadcons_module.h"

#include "config/host_config.h"
#include "service/rdm_cad_consumidor.h"

namespace cadcons {

CadConsModule::CadConsModule() {
    start();
}

CadConsModule::~CadConsModule() = default;

void CadConsModule::start() {
    stDsDirCad_ = hostDirectory();
}

CadConsModule& CadConsModule::instance() {
    static CadConsModule* const module = new CadConsModule;
    return *module;
}

TrdmCadConsumidor& CadConsModule::service() {
    if (!rdmCadConsumidor_)
        rdmCadConsumidor_ = std::make_unique<TrdmCadConsumidor>();
    return *rdmCadConsumidor_;
}

void CadConsModule::closeService() {
    if (rdmCadConsumidor_)
        rdmCadConsumidor_->close();
}

} // namespace cadcons
