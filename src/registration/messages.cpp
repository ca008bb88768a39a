#include "registration/registration.h"

namespace cadcons {

// The operator messages of the screen, in the order the table has always had. Six rows are asked for by
// no code; they stay so that the table is the one the message tools know.
QList<MessageRow> Registration::msgPadraoRows() {
    return {
        {QStringLiteral("Nome_NInf"), QStringLiteral("Nome do consumidor não informado.")},
        {QStringLiteral("Rg_NInf"), QStringLiteral("Identidade não informada.")},
        {QStringLiteral("Telefone_NInf"), QStringLiteral("Telefone residencial não informado.")},
        {QStringLiteral("Cpf_NInf"), QStringLiteral("CPF não informado.")},
        {QStringLiteral("Celular_NInf"), QStringLiteral("Celular não informado.")},
        {QStringLiteral("Cons_Cad"), QStringLiteral("Código do consumidor já cadastrado.")},
        {QStringLiteral("Param_Vnd"),
         QStringLiteral("Operação bloqueada. Favor verificar no sistema Quorvan se a parametrização do cliente "
                        "padrão, centro de custo e tipo de consumidor foram realizadas para filial informada.")},
        {QStringLiteral("Ope_N_Cons"),
         QStringLiteral("Operação bloqueada. Arquivo referente ao cadastro de consumidor não encontrado.")},
        {QStringLiteral("Cpf_Inv"), QStringLiteral("Número do CPF inválido.")},
        {QStringLiteral("Cpf_Cad"),
         QStringLiteral("O número do CPF já está cadastrado para outro(s) consumidor(es). Pressione o botão "
                        "Detalhes para ver o(s) consumidor(es). Deseja continuar a operação?")},
        {QStringLiteral("RG_Cad"),
         QStringLiteral("O número do RG já está cadastrado para outro(s) consumidor(es). Pressione o botão "
                        "Detalhes para ver o(s) consumidor(es). Deseja continuar a operação?")},
        {QStringLiteral("PAIS_N_INF"), QStringLiteral("País não informado.")},
        {QStringLiteral("ESTADO_N_INF"), QStringLiteral("Estado e/ou país não informados.")},
        {QStringLiteral("DATA_INVALIDA"), QStringLiteral("Data inválida.")},
        {QStringLiteral("Email_NInf"), QStringLiteral("Email do consumidor não informado.")},
        {QStringLiteral("CodCons_Ninf"), QStringLiteral("Código do consumidor não informado.")},
        {QStringLiteral("MUNICI_N_CAD"), QStringLiteral("Município não cadastrado.")},
        {QStringLiteral("PAIS_N_CAD"), QStringLiteral("País não cadastrado.")},
        {QStringLiteral("ESTADO_N_CAD"), QStringLiteral("Estado não cadastrado.")},
        {QStringLiteral("MUNICIPIO_N_INF"), QStringLiteral("Cidade não informada.")},
        {QStringLiteral("EMAIL_INV"),
         QStringLiteral("Email informado inválido. Favor informar um email no formato correto!")},
        {QStringLiteral("Cracha_Cad"),
         QStringLiteral("O número de Identificação/Crachá já está cadastrado para outro consumidor no banco de "
                        "dados. Informe outro código.")},
        {QStringLiteral("Cracha_Ninf"), QStringLiteral("Identificação / crachá do consumidor não informado.")},
        {QStringLiteral("Cons_SemBanco"),
         QStringLiteral("Sem conexão: este cadastro fica neste terminal e será enviado depois.")},
        {QStringLiteral("Cons_Fila"),
         QStringLiteral("Cadastro gravado neste terminal. Ele será enviado ao banco de dados quando a conexão "
                        "voltar.")},
    };
}

} // namespace cadcons
