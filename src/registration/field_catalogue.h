#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <array>

// The 24 input fields of the registration and its four option flags: every fact about a field or a flag
// that the registration, the form or the save needs is written here once.
namespace cadcons {

struct ConsumerRecord;
struct GravaConsumidor;
class Registration;

namespace registration {

// The fields by number, the Tag of their text labels. A plain int underneath, as the active field and
// the Tag are.
enum Field : int {
    NoField = 0, // a touch that selects nothing
    CodCons = 1,
    Nome,
    Nasc,
    Rg,
    Cpf,
    Endereco,
    Pais,
    Uf,
    Cidade,
    Bairro,
    Cep,
    Telefone,
    TelComercial,
    Celular,
    Email,
    TipoCons,
    Cracha,
    LoginCons,
    SenhaCons,
    ExConsumid,
    SenhaSite,
    TipoVenda,
    Numero,
    Cliente,
};

enum class Picker { None, Pais, Uf, Cidade, Bairro, TipoCons, TipoVenda, Cliente };

// How a field's value travels between the stored row, the caption and the save.
enum class Carry {
    Call,    // the call passes it (code, name, customer); a stored row does not replace it
    Typed,   // the caption is the value: loaded from the row, taken back from the caption at Confirm
    Named,   // the caption shows the name of the value, a code kept from the row or the pick list
    Password // the typed password is hidden in a module string; the caption shows its stored form or "*"
};

struct FieldSpec {
    Field number;                   // 1..24, the Tag of the text label
    const char* captionLabel;       // objectName of the caption label
    const char* caption;            // its text
    const char* frame;              // objectName of the rounded frame
    const char* textLabel;          // objectName of the label that holds the value
    const char* column;             // stored column
    const char* nameColumn;         // stored column of the name a Named field shows, when the stored row has it
    QString ConsumerRecord::*value; // the consumer's member that carries the value; null for the passwords
    Carry carry;
    Field nextOnEnter;
    Field escapeModeB;      // previous field on Escape when the call mode is "B"
    Field escapeOtherModes; // previous field on Escape in the other modes
    int maxLength;          // typing limit
    Picker picker;          // the pick list F9 opens
    bool centred;           // text label centred (else left-aligned)
    QRect captionGeometry;  // on the 740 x 641 form
    QRect frameGeometry;
    // The field a touch on the caption, the frame and the text label selects (and opens the picker of);
    // NoField where a touch does nothing.
    Field captionSelects;
    Field frameSelects;
    Field textSelects;
};

inline constexpr int kFieldCount = 24;

// Indexed by field number - 1.
const std::array<FieldSpec, kFieldCount>& fieldCatalogue();

// The field with this number, or nullptr outside 1..24.
const FieldSpec* fieldSpec(int number);

// One of the four options the operator switches (F5 to F8, or a touch on its image or caption).
struct OptionSpec {
    const char* column;             // stored column
    const char* image;              // objectName of the mark image
    const char* caption;            // objectName of its caption label
    const char* captionText;        // the caption's text
    int key;                        // the virtual key that switches it
    QString Registration::*value;   // "S" or "N"
    QString GravaConsumidor::*save; // the save's argument
    QRect captionGeometry;          // on the 740 x 641 form
    QPoint imageAt;                 // top left of the 23 x 23 image
};

inline constexpr int kOptionCount = 4;
const std::array<OptionSpec, kOptionCount>& optionCatalogue();

// The customer is only ever chosen from its list: clearing the fields leaves it.
inline bool clearable(const FieldSpec& spec) {
    return spec.number != Cliente;
}

} // namespace registration
} // namespace cadcons
