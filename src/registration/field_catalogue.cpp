#include "registration/field_catalogue.h"

#include "registration/consumer_record.h"
#include "registration/registration.h"
#include "service/rdm_cad_consumidor.h"

namespace cadcons::registration {

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
    using C = Carry;
    using R = ConsumerRecord;
    // clang-format off
    static const std::array<FieldSpec, kFieldCount> fields = {{
        {CodCons, "lblCdCons", "Cod.", "bdsCodCons", "lblCodCons", "CDCONSUMIDOR", nullptr, &R::stCdConsumidor, C::Call, Nome, TipoVenda, TipoVenda, 21, P::None, true, cap(10, 31, 36), box(48, 31, 170), CodCons, CodCons, CodCons},
        {Nome, "lblNmCons", "Nome", "bdsNome", "lblNome", "NMCONSUMIDOR", nullptr, &R::stNmConsumidor, C::Call, Nasc, CodCons, TipoVenda, 50, P::None, false, cap(226, 31, 44), box(272, 31, 458), Nome, Nome, Nome},
        {Nasc, "lblDtNascimento", "Data Nasc.", "bdsNasc", "lblNasc", "DTNASCCONS", nullptr, &R::stDtNascCons, C::Typed, Rg, Nome, Nome, 10, P::None, false, cap(300, 62, 80), box(382, 60, 108), Nasc, Nasc, Nasc},
        {Rg, "Label1", "RG", "bdsRg", "lblRg", "NRRGCONSUMID", nullptr, &R::stNrRgConsumid, C::Typed, Cpf, Nasc, Nasc, 11, P::None, false, cap(498, 62, 24), box(524, 60, 206), Rg, Rg, Rg},
        {Cpf, "Label9", "CPF", "bdsCpf", "lblCpf", "NRCPFRESPCON", nullptr, &R::stNrCpfRespCon, C::Typed, Cep, Rg, Rg, 11, P::None, false, cap(10, 94, 32), box(44, 94, 120), Cpf, Cpf, Cpf},
        {Endereco, "Label6", "Endereço", "bdsEndereco", "lblEndereco", "DSENDECONS", nullptr, &R::stDsEndeCons, C::Typed, Pais, Cep, Cep, 50, P::None, true, cap(304, 94, 70), box(376, 94, 220), Endereco, Endereco, Endereco},
        {Pais, "Label5", "País(F9)", "bdsPais", "lblPais", "CDPAIS", "NMPAIS", &R::stCdPais, C::Named, Uf, Endereco, Endereco, 10, P::Pais, true, cap(10, 122, 62), box(74, 122, 110), Pais, Pais, Pais},
        {Uf, "Label11", "UF(F9)", "bdsUf", "lblUf", "SGESTADO", nullptr, &R::stSgEstado, C::Typed, Cidade, Pais, Pais, 2, P::Uf, true, cap(192, 122, 50), box(244, 122, 40), Uf, Uf, Uf},
        {Cidade, "Label12", "Cidade(F9)", "bdsCidade", "lblcidade", "CDMUNICIPIO", "NMMUNICIPIO", &R::stCdMunicipio, C::Named, Bairro, Uf, Uf, 20, P::Cidade, true, cap(292, 122, 82), box(376, 122, 144), Cidade, Cidade, Cidade},
        {Bairro, "Label14", "Bairro(F9)", "bdsBairro", "lblBairro", "NMBAIRCONS", nullptr, &R::stNmBairCons, C::Typed, Numero, Cidade, Cidade, 50, P::Bairro, false, cap(528, 122, 76), box(606, 122, 124), Bairro, Bairro, Bairro},
        {Cep, "Label15", "CEP", "bdsCep", "lblCep", "NRCEPCONS", nullptr, &R::stNrCepCons, C::Typed, Endereco, Cpf, Cpf, 8, P::None, true, cap(172, 94, 32), box(206, 94, 90), Cep, Cep, Cep},
        {Telefone, "lblResidencial", "Residencial/Nº Quarto", "bdsTelefone", "lblTelefone", "NRTELECONS", nullptr, &R::stNrTeleCons, C::Typed, TelComercial, Numero, Numero, 12, P::None, false, cap(380, 177, 164), box(546, 177, 184), Telefone, NoField, Telefone},
        {TelComercial, "lblComercial", "Comercial", "bdsTelComercial", "lblTelComercial", "NRTELE2CONS", nullptr, &R::stNrTele2Cons, C::Typed, Celular, Telefone, Telefone, 12, P::None, false, cap(380, 150, 80), box(462, 150, 268), TelComercial, NoField, TelComercial},
        {Celular, "lblCel", "Celular", "bdsCelular", "lblCelular", "NRCELULARCONS", nullptr, &R::stNrCelularCons, C::Typed, Email, TelComercial, TelComercial, 12, P::None, false, cap(10, 150, 62), box(74, 150, 298), Celular, Celular, Celular},
        {Email, "Label16", "E-mail", "bdsEmail", "lblEmail", "DSEMAILCONS", nullptr, &R::stDsEmailCons, C::Typed, TipoCons, Celular, Celular, 50, P::None, false, cap(10, 177, 62), box(74, 177, 298), Email, Email, Email},
        {TipoCons, "lblTpCons", "Tipo Cons. (F9)", "bdsTipoCons", "lblTipoCons", "CDTIPOCONS", "NMTIPOCONS", &R::stCdTipoConsSel, C::Named, Cracha, Email, Email, 20, P::TipoCons, false, cap(10, 208, 112), box(124, 208, 248), TipoCons, TipoCons, TipoCons},
        {Cracha, "lblCdIdConsumid", "Identificação", "bdsCracha", "lblCracha", "CDIDCONSUMID", nullptr, &R::stCdIdConsumid, C::Typed, LoginCons, TipoCons, TipoCons, 22, P::None, false, cap(380, 208, 96), box(478, 208, 252), Cracha, Cracha, Cracha},
        {LoginCons, "Label17", "Cód. Acesso Site", "bdsNMLOGINCONS", "lblNMLOGINCONS", "NMLOGINCONS", nullptr, &R::stNMLOGINCONS, C::Typed, SenhaCons, Cracha, Cracha, 50, P::None, false, cap(10, 238, 126), box(138, 238, 234), LoginCons, LoginCons, LoginCons},
        {SenhaCons, "Label18", "Senha", "bdsCDSENHACONS", "lblCDSENHACONS", "CDSENHACONS", nullptr, nullptr, C::Password, ExConsumid, LoginCons, LoginCons, 200, P::None, false, cap(380, 238, 50), box(432, 238, 298), SenhaCons, SenhaCons, SenhaCons},
        {ExConsumid, "Label19", "Cód. Acesso Externo", "bdsCDEXCONSUMID", "lblCDEXCONSUMID", "CDEXCONSUMID", nullptr, &R::stCdExConsumidor, C::Typed, SenhaSite, SenhaCons, SenhaCons, 50, P::None, false, cap(10, 268, 152), box(164, 268, 208), ExConsumid, ExConsumid, ExConsumid},
        {SenhaSite, "Label20", "Senha Acesso Site", "bdsCDSENHASITE", "lblCDSENHASITE", "CDSENHASITE", nullptr, nullptr, C::Password, TipoVenda, ExConsumid, ExConsumid, 200, P::None, false, cap(380, 268, 136), box(518, 268, 212), SenhaSite, SenhaSite, SenhaSite},
        {TipoVenda, "Label2", "Tipo Venda (F9)", "bdsTipoVenda", "lblTipovenda", "IDTPVENDACONS", nullptr, &R::stCdTipoVenda, C::Named, Cliente, SenhaSite, SenhaSite, 1, P::TipoVenda, false, cap(10, 363, 118), box(130, 363, 242), NoField, TipoVenda, TipoVenda},
        {Numero, "lblNum", "Número", "bdsNumero", "lblNumero", "NRENDECONS", nullptr, &R::stNrEndeCons, C::Typed, Telefone, Bairro, Bairro, 10, P::None, true, cap(602, 94, 60), box(664, 94, 66), Endereco, Numero, Numero},
        {Cliente, "lblCliente", "Cliente (F9)", "bdsNomeCliente", "lblNomeCliente", "CDCLIENTE", nullptr, &R::stCdCliente, C::Call, CodCons, Numero, Numero, 1, P::Cliente, false, cap(10, 6, 88), box(100, 6, 630), NoField, Cliente, Cliente},
    }};
    // clang-format on
    return fields;
}

const std::array<OptionSpec, kOptionCount>& optionCatalogue() {
    using R = Registration;
    using G = GravaConsumidor;
    // clang-format off
    static const std::array<OptionSpec, kOptionCount> options = {{
        {"IDATUCPFCONS", "imgIDATUCPFCONS", "Label21", "Atualiza CPF Durante a Venda (F5)", 116, &R::stIDATUCPFCONS, &G::idAtuCpfCons, QRect(10, 298, 352, 18), QPoint(364, 295)},
        {"IDCADCONFLIBCON", "imgIDCADCONFLIBCON", "Label22", "Liberado para Consumo (F6)", 117, &R::stIDCADCONFLIBCON, &G::idCadConfLibCon, QRect(400, 298, 296, 18), QPoint(700, 295)},
        {"IDIMPCPFCUPOM", "imgIDIMPCPFCUPOM", "Label23", "Imprimir o CPF/CNPJ no Cupom Fiscal (F7)", 118, &R::stIDIMPCPFCUPOM, &G::idImpCpfCupom, QRect(10, 330, 352, 18), QPoint(364, 327)},
        {"IDVERSALDCON", "imgIDVERSALDCON", "Label24", "Verifica Saldo do Consumidor (F8)", 119, &R::stIDVERSALDCON, &G::idVerSaldCon, QRect(400, 330, 296, 18), QPoint(700, 327)},
    }};
    // clang-format on
    return options;
}

const FieldSpec* fieldSpec(int number) {
    if (number < 1 || number > kFieldCount)
        return nullptr;
    return &fieldCatalogue()[static_cast<size_t>(number - 1)];
}

} // namespace cadcons::registration
