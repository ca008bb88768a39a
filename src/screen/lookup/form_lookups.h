#pragma once

#include "registration/field_catalogue.h"

#include <QString>

namespace cadcons {

class ClientDataSet;
class TfrmCadastroConsumidor;

// The form's look-ups: the pick lists of the seven fields chosen from a list, and the address of a
// postal code (the local table, then the web service).
class FormLookups {
public:
    explicit FormLookups(TfrmCadastroConsumidor& form)
        : form_(form) {}

    // Opens the pick list of a field's kind (F9, the space bar, a touch).
    void openPicker(registration::Picker picker);
    void bdsPaisClick();
    void bdsUfClick();
    void bdsCidadeClick();
    void bdsBairroClick();
    void bdsTipoConsClick();
    void bdsTipoVendaClick();
    void bdsNomeClienteClick();
    // Leaving the postal-code field: its address into the address fields.
    void BuscaEnderecoCEP();
    // Display text of a customer's registration number in the customer list: the number under the edit
    // mask of the customer's person type. Sets `text` alike for display and for editing.
    void cdsClienFilialNRINSJURCLIEGetText(const ClientDataSet& sender, QString& text, bool displayText);

private:
    TfrmCadastroConsumidor& form_;
    bool cepLookupRunning_ = false; // the web wait must not start a second look-up
};

} // namespace cadcons
