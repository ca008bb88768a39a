#pragma once

#include <QRect>
#include <array>

// The 24 input fields of the registration form: every fact about a field that more than one part of the
// screen needs lives here and nowhere else.
namespace cadcons::screen {

enum class Picker { None, Pais, Uf, Cidade, Bairro, TipoCons, TipoVenda, Cliente };

struct FieldSpec {
    int number;                // 1..24, the Tag of the text label
    const char* captionLabel;  // objectName of the caption label
    const char* caption;       // its text
    const char* frame;         // objectName of the rounded frame
    const char* textLabel;     // objectName of the label that holds the value
    const char* column;        // stored column
    const char* stateVariable; // form state or module string that carries the value to the save
    int nextOnEnter;
    int escapeModeB;      // previous field on Escape when the call mode is "B"
    int escapeOtherModes; // previous field on Escape in the other modes
    int maxLength;        // typing limit
    Picker picker;
    bool centred;          // text label centred (else left-aligned)
    QRect captionGeometry; // on the 740 x 641 form
    QRect frameGeometry;
};

inline constexpr int kFieldCount = 24;

// Indexed by field number - 1.
const std::array<FieldSpec, kFieldCount>& fieldCatalogue();

// The field with this number, or nullptr outside 1..24.
const FieldSpec* fieldSpec(int number);

} // namespace cadcons::screen
