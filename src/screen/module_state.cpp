#include "screen/module_state.h"

#include "config/host_config.h"

namespace cadcons {

TfrmCadastroConsumidor* frmCadastroConsumidor = nullptr;
bool boIdCriado = false;
QString stDsDirCad;

QString stIDVERSALDCON;
QString stIDIMPCPFCUPOM;
QString stIDCADCONFLIBCON;
QString stIDATUCPFCONS;
QString stCDSENHACONS;
QString stCDSENHASITE;
QString stCDEXCONSUMID;
QString stDigital;
QString stDigital2;

namespace {

// Overwrites the characters before letting the string go, so a password does not linger in freed memory.
void wipe(QString& s) {
    if (!s.isEmpty() && !s.isDetached())
        s.detach();
    s.fill(QChar(u'\0'));
    s.clear();
}

} // namespace

void moduleStart() {
    boIdCriado = false;
    stDsDirCad = hostDirectory();
}

void clearCallSecrets() {
    wipe(stCDSENHACONS);
    wipe(stCDSENHASITE);
    wipe(stDigital);
    wipe(stDigital2);
}

void moduleStop() {
    clearCallSecrets();
    for (QString* s :
         {&stDsDirCad, &stIDVERSALDCON, &stIDIMPCPFCUPOM, &stIDCADCONFLIBCON, &stIDATUCPFCONS, &stCDEXCONSUMID})
        s->clear();
}

} // namespace cadcons
