<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="pt_BR">
<context>
    <name>TfrmCadastroConsumidor</name>
    <message>
        <source>Cod.</source>
        <translation>Code</translation>
    </message>
    <message>
        <source>Nome</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Data Nasc.</source>
        <translation>Birth Date</translation>
    </message>
    <message>
        <source>RG</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>CPF</source>
        <translation>CPF</translation>
    </message>
    <message>
        <source>Endereço</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>País(F9)</source>
        <translation>Country(F9)</translation>
    </message>
    <message>
        <source>UF(F9)</source>
        <translation>State(F9)</translation>
    </message>
    <message>
        <source>Cidade(F9)</source>
        <translation>City(F9)</translation>
    </message>
    <message>
        <source>Bairro(F9)</source>
        <translation>District(F9)</translation>
    </message>
    <message>
        <source>CEP</source>
        <translation>ZIP</translation>
    </message>
    <message>
        <source>Residencial/Nº Quarto</source>
        <translation>Home/Room No.</translation>
    </message>
    <message>
        <source>Comercial</source>
        <translation>Work</translation>
    </message>
    <message>
        <source>Celular</source>
        <translation>Mobile</translation>
    </message>
    <message>
        <source>E-mail</source>
        <translation>E-mail</translation>
    </message>
    <message>
        <source>Tipo Cons. (F9)</source>
        <translation>Cons. Type (F9)</translation>
    </message>
    <message>
        <source>Identificação</source>
        <translation>Badge</translation>
    </message>
    <message>
        <source>Cód. Acesso Site</source>
        <translation>Site Login</translation>
    </message>
    <message>
        <source>Senha</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Cód. Acesso Externo</source>
        <translation>External Code</translation>
    </message>
    <message>
        <source>Senha Acesso Site</source>
        <translation>Site Password</translation>
    </message>
    <message>
        <source>Tipo Venda (F9)</source>
        <translation>Sale Type (F9)</translation>
    </message>
    <message>
        <source>Número</source>
        <translation>Number</translation>
    </message>
    <message>
        <source>Cliente (F9)</source>
        <translation>Customer (F9)</translation>
    </message>
    <message>
        <source>Sexo</source>
        <translation>Sex</translation>
    </message>
    <message>
        <source>Feminino</source>
        <translation>Female</translation>
    </message>
    <message>
        <source>Masculino</source>
        <translation>Male</translation>
    </message>
    <message>
        <source>Atualiza CPF Durante a Venda (F5)</source>
        <translation>Update the CPF During the Sale (F5)</translation>
    </message>
    <message>
        <source>Liberado para Consumo (F6)</source>
        <translation>Cleared for Consumption (F6)</translation>
    </message>
    <message>
        <source>Imprimir o CPF/CNPJ no Cupom Fiscal (F7)</source>
        <translation>Print the CPF/CNPJ on the Receipt (F7)</translation>
    </message>
    <message>
        <source>Verifica Saldo do Consumidor (F8)</source>
        <translation>Check the Consumer's Balance (F8)</translation>
    </message>
    <message>
        <source>Cap. Digital</source>
        <translation>Fingerprint</translation>
    </message>
    <message>
        <source>Enter</source>
        <translation>Enter</translation>
    </message>
    <message>
        <source>Shift</source>
        <translation>Shift</translation>
    </message>
    <message>
        <source>Caps Lock</source>
        <translation>Caps Lock</translation>
    </message>
    <message>
        <source>&apos;%1&apos; não é uma data válida</source>
        <translation>&apos;%1&apos; is not a valid date</translation>
    </message>
</context>
<context>
    <name>Mensagem</name>
    <message>
        <source>Sim</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>Não</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Detalhes</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>Pergunta</source>
        <translation>Question</translation>
    </message>
    <message>
        <source>Erro</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Informação</source>
        <translation>Information</translation>
    </message>
</context>
<context>
    <name>Pesquisa</name>
    <message>
        <source>Pesquisa</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>Digite para pesquisar</source>
        <translation>Type to search</translation>
    </message>
    <message>
        <source>Espaço</source>
        <translation>Space</translation>
    </message>
    <message>
        <source>Selecionar</source>
        <translation>Select</translation>
    </message>
    <message>
        <source>Cancelar</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Nenhum registro</source>
        <translation>No records</translation>
    </message>
    <message>
        <source>Nenhum registro encontrado</source>
        <translation>No record found</translation>
    </message>
</context>
<context>
    <name>DigitalDialog</name>
    <message>
        <source>Captura de Digital</source>
        <translation>Fingerprint Capture</translation>
    </message>
    <message>
        <source>Leitor: %1</source>
        <translation>Reader: %1</translation>
    </message>
    <message>
        <source>Cancelar</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Preparando o leitor biométrico...</source>
        <translation>Preparing the fingerprint reader...</translation>
    </message>
    <message>
        <source>Passe o dedo no leitor</source>
        <translation>Swipe your finger on the reader</translation>
    </message>
    <message>
        <source>Coloque o dedo no leitor</source>
        <translation>Place your finger on the reader</translation>
    </message>
    <message>
        <source>Dedo %1 de %2: %3</source>
        <translation>Finger %1 of %2: %3</translation>
    </message>
    <message>
        <source>Etapa 1 de %1</source>
        <translation>Step 1 of %1</translation>
    </message>
    <message>
        <source>Etapa %1 de %2</source>
        <translation>Step %1 of %2</translation>
    </message>
    <message>
        <source>Etapa %1 de %1</source>
        <translation>Step %1 of %1</translation>
    </message>
    <message>
        <source>Passe o dedo de novo</source>
        <translation>Swipe your finger again</translation>
    </message>
    <message>
        <source>Retire o dedo e coloque de novo no leitor</source>
        <translation>Lift your finger and place it on the reader again</translation>
    </message>
    <message>
        <source>%1 capturado</source>
        <translation>%1 captured</translation>
    </message>
    <message>
        <source>Nenhuma digital foi guardada.</source>
        <translation>No fingerprint was kept.</translation>
    </message>
    <message>
        <source>Fechar</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Cancelando a captura...</source>
        <translation>Cancelling the capture...</translation>
    </message>
    <message>
        <source>Nenhum leitor biométrico encontrado.</source>
        <translation>No fingerprint reader found.</translation>
    </message>
    <message>
        <source>Passagem curta demais. Passe o dedo de novo, mais devagar.</source>
        <translation>Swipe too short. Swipe your finger again, more slowly.</translation>
    </message>
    <message>
        <source>Leitura incompleta. Coloque o dedo de novo.</source>
        <translation>Incomplete reading. Place your finger again.</translation>
    </message>
    <message>
        <source>Centralize o dedo no leitor.</source>
        <translation>Centre your finger on the reader.</translation>
    </message>
    <message>
        <source>Retire o dedo do leitor e coloque de novo.</source>
        <translation>Lift your finger from the reader and place it again.</translation>
    </message>
    <message>
        <source>Leitura não aproveitada. Passe o dedo de novo.</source>
        <translation>Reading not usable. Swipe your finger again.</translation>
    </message>
    <message>
        <source>Leitura não aproveitada. Coloque o dedo de novo.</source>
        <translation>Reading not usable. Place your finger again.</translation>
    </message>
    <message>
        <source>A memória do leitor biométrico está cheia.</source>
        <translation>The fingerprint reader's memory is full.</translation>
    </message>
    <message>
        <source>Esta digital já está cadastrada no leitor biométrico.</source>
        <translation>This fingerprint is already enrolled on the fingerprint reader.</translation>
    </message>
    <message>
        <source>O leitor biométrico foi desconectado.</source>
        <translation>The fingerprint reader was disconnected.</translation>
    </message>
    <message>
        <source>O leitor biométrico está quente demais. Aguarde alguns minutos e tente de novo.</source>
        <translation>The fingerprint reader is too hot. Wait a few minutes and try again.</translation>
    </message>
    <message>
        <source>O leitor biométrico está ocupado. Tente de novo.</source>
        <translation>The fingerprint reader is busy. Try again.</translation>
    </message>
    <message>
        <source>Falha na captura da digital: %1</source>
        <translation>Fingerprint capture failed: %1</translation>
    </message>
    <message>
        <source>Não foi possível abrir o leitor biométrico: %1</source>
        <translation>Could not open the fingerprint reader: %1</translation>
    </message>
    <message>
        <source>Falha na captura da digital.</source>
        <translation>Fingerprint capture failed.</translation>
    </message>
    <message>
        <source>Não foi possível guardar a digital capturada: %1</source>
        <translation>Could not keep the captured fingerprint: %1</translation>
    </message>
    <message>
        <source>indicador direito</source>
        <translation>right index finger</translation>
    </message>
    <message>
        <source>indicador esquerdo</source>
        <translation>left index finger</translation>
    </message>
</context>
<context>
    <name>TMessages</name>
    <message>
        <source>Nome do consumidor não informado.</source>
        <translation>The consumer&apos;s name is missing.</translation>
    </message>
    <message>
        <source>Identidade não informada.</source>
        <translation>The ID (RG) is missing.</translation>
    </message>
    <message>
        <source>Telefone residencial não informado.</source>
        <translation>The home telephone is missing.</translation>
    </message>
    <message>
        <source>CPF não informado.</source>
        <translation>The CPF is missing.</translation>
    </message>
    <message>
        <source>Celular não informado.</source>
        <translation>The mobile telephone is missing.</translation>
    </message>
    <message>
        <source>Código do consumidor já cadastrado.</source>
        <translation>This consumer code is already registered.</translation>
    </message>
    <message>
        <source>Operação bloqueada. Favor verificar no sistema Quorvan se a parametrização do cliente padrão, centro de custo e tipo de consumidor foram realizadas para filial informada.</source>
        <translation>Operation blocked. Check in the Quorvan system that the default customer, cost centre and consumer type are set for this branch.</translation>
    </message>
    <message>
        <source>Operação bloqueada. Arquivo referente ao cadastro de consumidor não encontrado.</source>
        <translation>Operation blocked. The consumer registration file was not found.</translation>
    </message>
    <message>
        <source>Número do CPF inválido.</source>
        <translation>Invalid CPF number.</translation>
    </message>
    <message>
        <source>O número do CPF já está cadastrado para outro(s) consumidor(es). Pressione o botão Detalhes para ver o(s) consumidor(es). Deseja continuar a operação?</source>
        <translation>This CPF is already registered for other consumer(s). Press Details to see them. Do you want to go on?</translation>
    </message>
    <message>
        <source>O número do RG já está cadastrado para outro(s) consumidor(es). Pressione o botão Detalhes para ver o(s) consumidor(es). Deseja continuar a operação?</source>
        <translation>This RG is already registered for other consumer(s). Press Details to see them. Do you want to go on?</translation>
    </message>
    <message>
        <source>País não informado.</source>
        <translation>The country is missing.</translation>
    </message>
    <message>
        <source>Estado e/ou país não informados.</source>
        <translation>The state and/or country are missing.</translation>
    </message>
    <message>
        <source>Data inválida.</source>
        <translation>Invalid date.</translation>
    </message>
    <message>
        <source>Email do consumidor não informado.</source>
        <translation>The consumer&apos;s e-mail is missing.</translation>
    </message>
    <message>
        <source>Código do consumidor não informado.</source>
        <translation>The consumer code is missing.</translation>
    </message>
    <message>
        <source>Município não cadastrado.</source>
        <translation>City not registered.</translation>
    </message>
    <message>
        <source>País não cadastrado.</source>
        <translation>Country not registered.</translation>
    </message>
    <message>
        <source>Estado não cadastrado.</source>
        <translation>State not registered.</translation>
    </message>
    <message>
        <source>Cidade não informada.</source>
        <translation>The city is missing.</translation>
    </message>
    <message>
        <source>Email informado inválido. Favor informar um email no formato correto!</source>
        <translation>Invalid e-mail. Please enter an e-mail in the correct form!</translation>
    </message>
    <message>
        <source>O número de Identificação/Crachá já está cadastrado para outro consumidor no banco de dados. Informe outro código.</source>
        <translation>This ID/badge number is already registered for another consumer in the database. Enter another code.</translation>
    </message>
    <message>
        <source>Identificação / crachá do consumidor não informado.</source>
        <translation>The consumer&apos;s ID/badge is missing.</translation>
    </message>
    <message>
        <source>Sem conexão: este cadastro fica neste terminal e será enviado depois.</source>
        <translation>No connection: this registration stays on this terminal and will be sent later.</translation>
    </message>
    <message>
        <source>Cadastro gravado neste terminal. Ele será enviado ao banco de dados quando a conexão voltar.</source>
        <translation>Registration saved on this terminal. It will be sent to the database when the connection returns.</translation>
    </message>
</context>
</TS>
