// Text that looks like SQL, in every value the screen and the service store: it must be stored as it
// was typed and run nothing. Statements are fixed texts with bound values, and the lists are searched
// with quoted filter values; these tests hold both to that on real databases.

#include "save_fixture.h"
#include "service/rdm_cad_consumidor.h"
#include "stress_support.h"

#include <QSqlError>
#include <QSqlQuery>

namespace cadcons::test {
namespace {

using stress::differences;
using stress::expectedColumns;
using stress::storedColumns;

// Quotes of every kind, statement separators, comment markers, SQL keywords, placeholders of the
// drivers, backslash escapes, control and look-alike characters.
const QString kHostile[] = {
    QStringLiteral("'; DROP TABLE CONSUMIDOR; --"),
    QStringLiteral("x' OR '1'='1"),
    QStringLiteral("\"; DELETE FROM CLIENTE; /*"),
    QStringLiteral("*/ UPDATE CONSUMIDOR SET NMCONSUMIDOR = 'X' --"),
    QStringLiteral("Robert'); DROP TABLE CLIENTE;--"),
    QStringLiteral("\\'; DROP TABLE PAIS; -- \\"),
    QStringLiteral("$$; DROP TABLE ESTADO; $$ E'\\x27'"),
    QStringLiteral(":CDCLIENTE ? $1 %s %n {0} @P1 :P_CDCONS"),
    QStringLiteral("'' ''' ;;; -- /* */ # `x` [y]"),
    QStringLiteral("\t\r\n\x01\x1b[2J \u2400 \ufeff \u2019 \uff07 \uff1b \u00c7\u00e3"),
};

const char* const kTables[] = {"CLIENTE",   "TIPOCONS", "PARAVEND", "PAIS",      "ESTADO",
                               "MUNICIPIO", "BAIRRO",   "CEP",      "CONSUMIDOR"};

// The width of each stored argument; the database refuses more, so the text is cut to it.
struct Argument {
    QString GravaConsumidor::*member;
    int width; // 0: no limit
};
const Argument kStored[] = {
    {&GravaConsumidor::cdCliente, 21},       {&GravaConsumidor::nmConsumidor, 50},
    {&GravaConsumidor::cdIdConsumid, 21},    {&GravaConsumidor::cdCcusClie, 10},
    {&GravaConsumidor::cdTipoCons, 2},       {&GravaConsumidor::nrRgConsumid, 20},
    {&GravaConsumidor::nrCpfRespCon, 11},    {&GravaConsumidor::nrTeleCons, 25},
    {&GravaConsumidor::nrTele2Cons, 25},     {&GravaConsumidor::cdPais, 4},
    {&GravaConsumidor::sgEstado, 2},         {&GravaConsumidor::cdMunicipio, 4},
    {&GravaConsumidor::dsEndeCons, 50},      {&GravaConsumidor::nrEndeCons, 10},
    {&GravaConsumidor::nmBairCons, 30},      {&GravaConsumidor::nrCepCons, 15},
    {&GravaConsumidor::dsEmailCons, 50},     {&GravaConsumidor::idSexoCons, 1},
    {&GravaConsumidor::nrCelularCons, 25},   {&GravaConsumidor::digital, 0},
    {&GravaConsumidor::digital2, 0},         {&GravaConsumidor::cdExConsumid, 21},
    {&GravaConsumidor::cdSenhaCons, 40},     {&GravaConsumidor::cdSenhaSite, 250},
    {&GravaConsumidor::nmLoginCons, 200},    {&GravaConsumidor::idImpCpfCupom, 1},
    {&GravaConsumidor::idCadConfLibCon, 1},  {&GravaConsumidor::idAtuCpfCons, 1},
    {&GravaConsumidor::idVerSaldCon, 1},     {&GravaConsumidor::idTpVendaCons, 1},
    {&GravaConsumidor::cdSenhaConsMd5, 200}, {&GravaConsumidor::cdSenhaPosMd5, 200},
};

// `text` rotated left by `at` characters. SQLite takes a U+FEFF at the very start of a text for a
// byte-order mark and drops it (its UTF-16 interface, which Qt's driver binds with), so no rotation
// starts with one; inside a value it is kept.
QString rotate(const QString& text, qsizetype at) {
    at %= text.size();
    QString rotated = text.mid(at) + text.left(at);
    while (rotated.startsWith(QChar(0xFEFF)))
        rotated = rotated.mid(1) + rotated.left(1);
    return rotated;
}

// Every argument of a save made of `text`: stored ones cut to their column, the others whole. The
// text is rotated per column so that no two columns hold the same cut.
GravaConsumidor hostileSave(const QString& text, const QString& code, const QString& operacao) {
    GravaConsumidor g;
    int shift = 0;
    for (const Argument& a : kStored) {
        const QString rotated = rotate(text, shift++);
        g.*a.member = a.width > 0 ? rotated.left(a.width) : rotated.repeated(40);
    }
    g.cdConsumidor = code;
    g.stProcessamento = text;
    g.operacao = operacao;
    g.cdFilial = text;
    g.dsDirCad = text;
    return g;
}

class HostileInputTest : public SaveTest {
protected:
    QSqlDatabase db() const { return formService().adcCadConsumidor(); }

    QMap<QString, int> tableCounts() {
        QMap<QString, int> counts;
        for (const char* table : kTables) {
            QSqlQuery query(db());
            const bool ok =
                query.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table))) && query.next();
            counts.insert(QLatin1String(table), ok ? query.value(0).toInt() : -1);
        }
        return counts;
    }
};
INSTANTIATE_TEST_SUITE_P(Backends, HostileInputTest,
                         ::testing::Values(QStringLiteral("sqlite"), QStringLiteral("postgres")), backendName);

// Through the data service: every one of the 38 arguments, the key included, holds the text; the insert
// and then the update store it verbatim, the reads find it by it, and no other row or table changes.
TEST_P(HostileInputTest, TheServiceStoresEveryArgumentVerbatimAndRunsNothing) {
    open({}, {}, QStringLiteral("B")); // connects the data service to this test's database
    QMap<QString, int> before = tableCounts();
    int n = 0;
    for (const QString& text : kHostile) {
        SCOPED_TRACE(text.toStdString());
        const QString code = (QString::number(++n) + text).left(21);
        const GravaConsumidor inserted = hostileSave(text, code, QStringLiteral("1"));
        ServiceResult result = setGravaConsumidor(formService(), inserted);
        ASSERT_TRUE(std::holds_alternative<bool>(result)) << std::get<QString>(result).toStdString();
        EXPECT_EQ(differences(storedColumns(db(), inserted.cdCliente, code), expectedColumns(inserted)), QString());

        // The update finds the row by the same text and writes another one (operation: anything but "1").
        QString reversed = text;
        std::reverse(reversed.begin(), reversed.end());
        GravaConsumidor updated = hostileSave(reversed, code, text);
        updated.cdCliente = inserted.cdCliente;
        result = setGravaConsumidor(formService(), updated);
        ASSERT_TRUE(std::holds_alternative<bool>(result)) << std::get<QString>(result).toStdString();
        EXPECT_EQ(differences(storedColumns(db(), updated.cdCliente, code), expectedColumns(updated)), QString());

        // The reads take the text as a value too: the record is found by its code and by its CPF.
        for (const QString& key : {code, updated.nrCpfRespCon}) {
            const ServiceResult read = getDadosConsumidor(formService(), updated.cdCliente, key);
            ASSERT_TRUE(isPacket(read)) << std::get<QString>(read).toStdString();
            const DataPacket& packet = std::get<DataPacket>(read);
            ASSERT_EQ(packet.rows.size(), 1);
            EXPECT_EQ(packet.rows[0][packet.fieldIndex(QStringLiteral("NMCONSUMIDOR"))].toString(),
                      updated.nmConsumidor);
        }
        const ServiceResult cpf = getExisteCPF(formService(), updated.cdCliente, QString(), updated.nrCpfRespCon);
        ASSERT_TRUE(isPacket(cpf));
        EXPECT_EQ(std::get<DataPacket>(cpf).rows.size(), 1);
    }
    before[QStringLiteral("CONSUMIDOR")] += n;
    EXPECT_EQ(tableCounts(), before);
    QSqlQuery query(db());
    ASSERT_TRUE(query.exec(QStringLiteral("SELECT COUNT(*) FROM CONSUMIDOR WHERE NMCONSUMIDOR = 'X'")) && query.next());
    EXPECT_EQ(query.value(0).toInt(), 0);
}

// A NUL inside a value: SQLite keeps it, PostgreSQL text cannot hold one and refuses the save with a
// text. Either way nothing else happens and nothing is half written.
TEST_P(HostileInputTest, ANulInsideAValueIsStoredWholeOrRefusedWhole) {
    open({}, {}, QStringLiteral("B"));
    const QMap<QString, int> before = tableCounts();
    const QString text = QStringLiteral("A") + QChar(u'\0') + QStringLiteral("'; DROP TABLE CLIENTE; --");
    GravaConsumidor values = hostileSave(QStringLiteral("nul"), code21(990), QStringLiteral("1"));
    values.cdCliente = kCliente1;
    values.nmConsumidor = text;
    values.dsEndeCons = text;
    const ServiceResult result = setGravaConsumidor(formService(), values);
    const QVariantMap stored = storedColumns(db(), kCliente1, code21(990));
    if (GetParam() == QLatin1String("postgres")) {
        ASSERT_TRUE(std::holds_alternative<QString>(result));
        EXPECT_FALSE(std::get<QString>(result).trimmed().isEmpty());
        EXPECT_TRUE(stored.isEmpty());
        EXPECT_EQ(tableCounts(), before);
    } else {
        ASSERT_TRUE(std::holds_alternative<bool>(result)) << std::get<QString>(result).toStdString();
        EXPECT_EQ(differences(stored, expectedColumns(values)), QString());
        QMap<QString, int> after = before;
        after[QStringLiteral("CONSUMIDOR")] += 1;
        EXPECT_EQ(tableCounts(), after);
    }
}

// Through the form: the texts shown in the free-text fields (as a loaded record, a pick list or the
// postal-code look-up can put them there) are saved by Confirm exactly as shown.
TEST_P(HostileInputTest, ConfirmSavesEveryFreeTextFieldAsShownAndRunsNothing) {
    const struct {
        const char* label;
        const char* column;
        int width;
    } fields[] = {
        {"lblNome", "NMCONSUMIDOR", 50},       {"lblRg", "NRRGCONSUMID", 11},
        {"lblEndereco", "DSENDECONS", 50},     {"lblNumero", "NRENDECONS", 10},
        {"lblBairro", "NMBAIRCONS", 30},       {"lblCep", "NRCEPCONS", 8},
        {"lblTelefone", "NRTELECONS", 12},     {"lblTelComercial", "NRTELE2CONS", 12},
        {"lblCelular", "NRCELULARCONS", 12},   {"lblCracha", "CDIDCONSUMID", 21},
        {"lblNMLOGINCONS", "NMLOGINCONS", 50}, {"lblCDEXCONSUMID", "CDEXCONSUMID", 21},
    };
    int code = 500;
    for (const QString& text : kHostile) {
        SCOPED_TRACE(text.toStdString());
        open({}, {}, QStringLiteral("B"));
        const QMap<QString, int> before = tableCounts();
        fillNewConsumer(QString::number(++code));
        show("lblCpf", QString()); // optional; one CPF for all would ask about the others holding it
        QMap<QString, QString> shown;
        int shift = 0;
        for (const auto& f : fields) {
            // Each field its own rotation, so a value stored in the wrong column shows.
            const QString value = rotate(text, shift++).left(f.width);
            show(f.label, value);
            shown.insert(QLatin1String(f.column), value);
        }
        const QString email = (QStringLiteral("a@b.c") + text).left(50);
        show("lblEmail", email);
        shown.insert(QStringLiteral("DSEMAILCONS"), email);
        messages.clear();

        confirm();

        ASSERT_TRUE(messages.isEmpty()) << messageTexts().join(u'|').toStdString();
        ASSERT_FALSE(formOpen());
        const QVariantMap row = consumer(kCliente1, code21(code));
        ASSERT_FALSE(row.isEmpty());
        for (auto it = shown.cbegin(); it != shown.cend(); ++it)
            EXPECT_EQ(row.value(it.key()).toString(), it.value()) << it.key().toStdString();
        QMap<QString, int> after = before;
        after[QStringLiteral("CONSUMIDOR")] += 1;
        EXPECT_EQ(tableCounts(), after);
    }
}

// The country, state and city are checked against the lists with filters built from what is shown; a
// quote in them must not widen the filter into a match.
TEST_P(HostileInputTest, QuotesInThePlaceNamesMatchNothingInTheLists) {
    const struct {
        const char* label;
        const char* text;
        const char* key;
    } cases[] = {
        {"lblPais", "Brasil' OR NMPAIS <> '", "PAIS_N_CAD"},
        {"lblPais", "' OR ''='", "PAIS_N_CAD"},
        {"lblUf", "S'", "ESTADO_N_CAD"},
        {"lblcidade", "X' OR NMMUNICIPIO <> '", "MUNICI_N_CAD"},
        {"lblcidade", "CAMPINAS' AND CDPAIS = '0055", "MUNICI_N_CAD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        open({}, {}, QStringLiteral("B"));
        const int before = consumerCount();
        fillNewConsumer(QStringLiteral("880"));
        show(c.label, QString::fromUtf8(c.text));
        messages.clear();
        confirm();
        ASSERT_EQ(messages.size(), 1) << messageTexts().join(u'|').toStdString();
        EXPECT_EQ(messages[0].text, msg(c.key));
        EXPECT_TRUE(formOpen());
        EXPECT_EQ(consumerCount(), before);
    }
}

} // namespace
} // namespace cadcons::test
