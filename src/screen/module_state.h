#pragma once

#include <QString>

// Module-wide state of the registration screen: lives as long as the loaded module, across calls.
namespace cadcons {

class TfrmCadastroConsumidor;

extern TfrmCadastroConsumidor* frmCadastroConsumidor; // the form of the running call, or null
extern bool boIdCriado;                               // the form is created and initialized and not closed since
extern QString stDsDirCad;                            // host directory, with a trailing "/"

// Values of the registration kept at module level.
extern QString stIDVERSALDCON;
extern QString stIDIMPCPFCUPOM;
extern QString stIDCADCONFLIBCON;
extern QString stIDATUCPFCONS;
extern QString stCDSENHACONS; // the till password as typed: a secret until it is encrypted
extern QString stCDSENHASITE; // the site password as typed: a secret until it is encrypted
extern QString stCDEXCONSUMID;
extern QString stDigital;
extern QString stDigital2;

// Module start: records the host directory and clears boIdCriado.
void moduleStart();
// Module stop: clears the module strings (secrets wiped, not just released).
void moduleStop();
// Empties the secrets a call must not inherit from an earlier one: both hidden passwords and both
// fingerprint templates.
void clearCallSecrets();

} // namespace cadcons
