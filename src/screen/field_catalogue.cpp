#include "screen/field_catalogue.h"

namespace cadcons::screen {

namespace {

constexpr int kRow = 22; // height of a field row

constexpr QRect cap(int left, int top, int width) {
    return QRect(left, top + 3, width, kRow - 4);
}
constexpr QRect box(int left, int top, int width) {
    return QRect(left, top, width, kRow);
}

} // namespace

const std::array<FieldSpec, kFieldCount>& fieldCatalogue() {
    using P = Picker;
    // clang-format off
    static const std::array<FieldSpec, kFieldCount> fields = {{
        {1, "lblCdCons", "Cod.", "bdsCodCons", "lblCodCons", "CDCONSUMIDOR", "stCdConsumidor", 2, 22, 22, 21, P::None, true, cap(10, 31, 36), box(48, 31, 170)},
        {2, "lblNmCons", "Nome", "bdsNome", "lblNome", "NMCONSUMIDOR", "stNmConsumidor", 3, 1, 22, 50, P::None, false, cap(226, 31, 44), box(272, 31, 458)},
        {3, "lblDtNascimento", "Data Nasc.", "bdsNasc", "lblNasc", "DTNASCCONS", "stDtNascCons", 4, 2, 2, 10, P::None, false, cap(300, 62, 80), box(382, 60, 108)},
        {4, "Label1", "RG", "bdsRg", "lblRg", "NRRGCONSUMID", "stNrRgConsumid", 5, 3, 3, 11, P::None, false, cap(498, 62, 24), box(524, 60, 206)},
        {5, "Label9", "CPF", "bdsCpf", "lblCpf", "NRCPFRESPCON", "stNrCpfRespCon", 11, 4, 4, 11, P::None, false, cap(10, 94, 32), box(44, 94, 120)},
        {6, "Label6", "Endereço", "bdsEndereco", "lblEndereco", "DSENDECONS", "stDsEndeCons", 7, 11, 11, 50, P::None, true, cap(304, 94, 70), box(376, 94, 220)},
        {7, "Label5", "País(F9)", "bdsPais", "lblPais", "CDPAIS", "stCdPais", 8, 6, 6, 10, P::Pais, true, cap(10, 122, 62), box(74, 122, 110)},
        {8, "Label11", "UF(F9)", "bdsUf", "lblUf", "SGESTADO", "stSgEstado", 9, 7, 7, 2, P::Uf, true, cap(192, 122, 50), box(244, 122, 40)},
        {9, "Label12", "Cidade(F9)", "bdsCidade", "lblcidade", "CDMUNICIPIO", "stCdMunicipio", 10, 8, 8, 20, P::Cidade, true, cap(292, 122, 82), box(376, 122, 144)},
        {10, "Label14", "Bairro(F9)", "bdsBairro", "lblBairro", "NMBAIRCONS", "stNmBairCons", 23, 9, 9, 50, P::Bairro, false, cap(528, 122, 76), box(606, 122, 124)},
        {11, "Label15", "CEP", "bdsCep", "lblCep", "NRCEPCONS", "stNrCepCons", 6, 5, 5, 8, P::None, true, cap(172, 94, 32), box(206, 94, 90)},
        {12, "lblResidencial", "Residencial/Nº Quarto", "bdsTelefone", "lblTelefone", "NRTELECONS", "stNrTeleCons", 13, 23, 23, 12, P::None, false, cap(380, 177, 164), box(546, 177, 184)},
        {13, "lblComercial", "Comercial", "bdsTelComercial", "lblTelComercial", "NRTELE2CONS", "stNrTele2Cons", 14, 12, 12, 12, P::None, false, cap(380, 150, 80), box(462, 150, 268)},
        {14, "lblCel", "Celular", "bdsCelular", "lblCelular", "NRCELULARCONS", "stNrCelularCons", 15, 13, 13, 12, P::None, false, cap(10, 150, 62), box(74, 150, 298)},
        {15, "Label16", "E-mail", "bdsEmail", "lblEmail", "DSEMAILCONS", "stDsEmailCons", 16, 14, 14, 50, P::None, false, cap(10, 177, 62), box(74, 177, 298)},
        {16, "lblTpCons", "Tipo Cons. (F9)", "bdsTipoCons", "lblTipoCons", "CDTIPOCONS", "stCdTipoConsSel", 17, 15, 15, 20, P::TipoCons, false, cap(10, 208, 112), box(124, 208, 248)},
        {17, "lblCdIdConsumid", "Identificação", "bdsCracha", "lblCracha", "CDIDCONSUMID", "stCdIdConsumid", 18, 16, 16, 22, P::None, false, cap(380, 208, 96), box(478, 208, 252)},
        {18, "Label17", "Cód. Acesso Site", "bdsNMLOGINCONS", "lblNMLOGINCONS", "NMLOGINCONS", "stNMLOGINCONS", 19, 17, 17, 50, P::None, false, cap(10, 238, 126), box(138, 238, 234)},
        {19, "Label18", "Senha", "bdsCDSENHACONS", "lblCDSENHACONS", "CDSENHACONS", "stCDSENHACONS", 20, 18, 18, 200, P::None, false, cap(380, 238, 50), box(432, 238, 298)},
        {20, "Label19", "Cód. Acesso Externo", "bdsCDEXCONSUMID", "lblCDEXCONSUMID", "CDEXCONSUMID", "stCdExConsumidor", 21, 19, 19, 50, P::None, false, cap(10, 268, 152), box(164, 268, 208)},
        {21, "Label20", "Senha Acesso Site", "bdsCDSENHASITE", "lblCDSENHASITE", "CDSENHASITE", "stCDSENHASITE", 22, 20, 20, 200, P::None, false, cap(380, 268, 136), box(518, 268, 212)},
        {22, "Label2", "Tipo Venda (F9)", "bdsTipoVenda", "lblTipovenda", "IDTPVENDACONS", "stCdTipoVenda", 24, 21, 21, 1, P::TipoVenda, false, cap(10, 363, 118), box(130, 363, 242)},
        {23, "lblNum", "Número", "bdsNumero", "lblNumero", "NRENDECONS", "stNrEndeCons", 12, 10, 10, 10, P::None, true, cap(602, 94, 60), box(664, 94, 66)},
        {24, "lblCliente", "Cliente (F9)", "bdsNomeCliente", "lblNomeCliente", "CDCLIENTE", "stCdCliente", 1, 23, 23, 1, P::Cliente, false, cap(10, 6, 88), box(100, 6, 630)},
    }};
    // clang-format on
    return fields;
}

const FieldSpec* fieldSpec(int number) {
    if (number < 1 || number > kFieldCount)
        return nullptr;
    return &fieldCatalogue()[static_cast<size_t>(number - 1)];
}

} // namespace cadcons::screen
