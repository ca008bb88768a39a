#include "registration/field_catalogue.h"

#include <gtest/gtest.h>

namespace cadcons::test {
namespace {

// The 24 fields as the screen is drawn and typed into, written out by hand: a change to the catalogue
// must be a change to this table too.
struct ExpectedField {
    int number;
    const char* captionLabel;
    const char* caption;
    const char* column;
    int maxLength;
    bool centred;
    int nextOnEnter;
    int escapeModeB;
    int escapeOtherModes;
};

// clang-format off
const ExpectedField kExpected[] = {
    {1, "lblCdCons", "Cod.", "CDCONSUMIDOR", 21, true, 2, 22, 22},
    {2, "lblNmCons", "Nome", "NMCONSUMIDOR", 50, false, 3, 1, 22},
    {3, "lblDtNascimento", "Data Nasc.", "DTNASCCONS", 10, false, 4, 2, 2},
    {4, "Label1", "RG", "NRRGCONSUMID", 11, false, 5, 3, 3},
    {5, "Label9", "CPF", "NRCPFRESPCON", 11, false, 11, 4, 4},
    {6, "Label6", "Endereço", "DSENDECONS", 50, true, 7, 11, 11},
    {7, "Label5", "País(F9)", "CDPAIS", 10, true, 8, 6, 6},
    {8, "Label11", "UF(F9)", "SGESTADO", 2, true, 9, 7, 7},
    {9, "Label12", "Cidade(F9)", "CDMUNICIPIO", 20, true, 10, 8, 8},
    {10, "Label14", "Bairro(F9)", "NMBAIRCONS", 50, false, 23, 9, 9},
    {11, "Label15", "CEP", "NRCEPCONS", 8, true, 6, 5, 5},
    {12, "lblResidencial", "Residencial/Nº Quarto", "NRTELECONS", 12, false, 13, 23, 23},
    {13, "lblComercial", "Comercial", "NRTELE2CONS", 12, false, 14, 12, 12},
    {14, "lblCel", "Celular", "NRCELULARCONS", 12, false, 15, 13, 13},
    {15, "Label16", "E-mail", "DSEMAILCONS", 50, false, 16, 14, 14},
    {16, "lblTpCons", "Tipo Cons. (F9)", "CDTIPOCONS", 20, false, 17, 15, 15},
    {17, "lblCdIdConsumid", "Identificação", "CDIDCONSUMID", 22, false, 18, 16, 16},
    {18, "Label17", "Cód. Acesso Site", "NMLOGINCONS", 50, false, 19, 17, 17},
    {19, "Label18", "Senha", "CDSENHACONS", 200, false, 20, 18, 18},
    {20, "Label19", "Cód. Acesso Externo", "CDEXCONSUMID", 50, false, 21, 19, 19},
    {21, "Label20", "Senha Acesso Site", "CDSENHASITE", 200, false, 22, 20, 20},
    {22, "Label2", "Tipo Venda (F9)", "IDTPVENDACONS", 1, false, 24, 21, 21},
    {23, "lblNum", "Número", "NRENDECONS", 10, true, 12, 10, 10},
    {24, "lblCliente", "Cliente (F9)", "CDCLIENTE", 1, false, 1, 23, 23},
};
// clang-format on

TEST(FieldCatalogueTest, HoldsTheTwentyFourFieldsOfTheScreen) {
    ASSERT_EQ(std::size(kExpected), size_t(registration::kFieldCount));
    for (const ExpectedField& e : kExpected) {
        SCOPED_TRACE(e.number);
        const registration::FieldSpec* spec = registration::fieldSpec(e.number);
        ASSERT_NE(spec, nullptr);
        EXPECT_EQ(int(spec->number), e.number);
        EXPECT_STREQ(spec->captionLabel, e.captionLabel);
        EXPECT_STREQ(spec->caption, e.caption);
        EXPECT_STREQ(spec->column, e.column);
        EXPECT_EQ(spec->maxLength, e.maxLength);
        EXPECT_EQ(spec->centred, e.centred);
        EXPECT_EQ(int(spec->nextOnEnter), e.nextOnEnter);
        EXPECT_EQ(int(spec->escapeModeB), e.escapeModeB);
        EXPECT_EQ(int(spec->escapeOtherModes), e.escapeOtherModes);
    }
    EXPECT_EQ(registration::fieldSpec(0), nullptr);
    EXPECT_EQ(registration::fieldSpec(25), nullptr);
}

} // namespace
} // namespace cadcons::test
