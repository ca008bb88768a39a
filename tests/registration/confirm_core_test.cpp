#include "qt_printers.h"
#include "registration/registration.h"
#include "routines/sibling.h"
#include "routines/utility.h"
#include "scripted_operator.h"
#include "service/rdm_cad_consumidor.h"
#include "service/schema.h"
#include "test_databases.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace cadcons::test {
namespace {

using namespace registration;

const QString kCliente1 = QStringLiteral("000000000000000000001");
const char* const kCryptoKey = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"
                               "202122232425262728292a2b2c2d2e2f303132333435363738393a3b3c3d3e3f";

// The opening and Confirm of the registration alone, on a host directory and a fresh database of each
// backend, with the operator and the central registration scripted. No widget is made.
class RegistrationTest : public ::testing::TestWithParam<QString> {
protected:
    void SetUp() override {
        if (const QString missing = backendMissing(GetParam()); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        ASSERT_TRUE(QDir(dir_.path()).mkpath(QStringLiteral("Dados/Cadastros")));
        for (const char* file : {"PARAMETROSKIV.CDS", "Dados/Cadastros/Cad_Cliente.cds"})
            ASSERT_TRUE(
                QFile::copy(QStringLiteral(CADCONS_TEST_DATA_DIR "/") + QFileInfo(QLatin1String(file)).fileName(),
                            dir_.filePath(QLatin1String(file))));
        qputenv("CADCONS_HOST_DIR", dir_.path().toUtf8() + '/');
        qputenv("CADCONS_CONNECTION", freshDatabase(GetParam()).toUtf8());
        qputenv("CADCONS_CRYPTO_KEY", kCryptoKey);
        service_ = std::make_unique<TrdmCadConsumidor>(QStringLiteral("registration-") + GetParam());
        service_->open();
        QSqlDatabase db = service_->adcCadConsumidor();
        createSchema(db);
        seedDemo(db);
        saved_ = siblingServices();
        siblingServices().SetConsumidor = [this](const QVariantList& context, QVariantList&) {
            published << context;
            return QVariant(true);
        };
    }
    void TearDown() override {
        r.reset();
        service_.reset();
        siblingServices() = saved_;
        for (const char* name : {"CADCONS_HOST_DIR", "CADCONS_CONNECTION", "CADCONS_CRYPTO_KEY"})
            qunsetenv(name);
    }

    Registration& open(const QString& code, const QString& mode) {
        r = std::make_unique<Registration>(*service_, op, dir_.path() + u'/');
        r->InicializaForm(code, QString(), kCliente1, mode);
        return *r;
    }
    QString column(const QString& code, const char* name) {
        QSqlQuery q(service_->adcCadConsumidor());
        q.prepare(QStringLiteral("SELECT %1 FROM CONSUMIDOR WHERE CDCLIENTE = :C AND CDCONSUMIDOR = :K")
                      .arg(QLatin1String(name)));
        q.bindValue(QStringLiteral(":C"), kCliente1);
        q.bindValue(QStringLiteral(":K"), Ajusta(code, 21));
        return q.exec() && q.next() ? q.value(0).toString() : QStringLiteral("<none>");
    }

    ScriptedOperator op;
    std::unique_ptr<Registration> r;
    QList<QVariantList> published;

private:
    QTemporaryDir dir_;
    std::unique_ptr<TrdmCadConsumidor> service_;
    SiblingServices saved_;
};

TEST_P(RegistrationTest, OpeningANewConsumerOrAStoredOneFillsTheFields) {
    Registration& fresh = open(QStringLiteral("77"), QStringLiteral("B"));
    EXPECT_EQ(fresh.consumer.stOperacao, "1");
    EXPECT_EQ(fresh.fieldText(CodCons), Ajusta(QStringLiteral("77"), 21));
    EXPECT_EQ(fresh.fieldText(Cliente), fresh.lists.cdsNomeCliente.asString(QStringLiteral("NMFANTCLIE")));
    EXPECT_EQ(fresh.stIDVERSALDCON + fresh.stIDIMPCPFCUPOM + fresh.stIDCADCONFLIBCON + fresh.stIDATUCPFCONS, "SSSS");
    EXPECT_EQ(fresh.consumer.stIdSexoCons, "M");
    EXPECT_EQ(op.moves, QList<int>{Cliente});

    Registration& stored = open(QStringLiteral("2"), QString());
    EXPECT_EQ(stored.consumer.stOperacao, "2");
    EXPECT_EQ(stored.fieldText(Nome), QStringLiteral("JOSÉ CARLOS PEREIRA"));
    EXPECT_EQ(stored.fieldText(Cidade), stored.lists.cdsDadosCons.asString(QStringLiteral("NMMUNICIPIO")));
    EXPECT_EQ(stored.stIDATUCPFCONS + stored.stIDCADCONFLIBCON + stored.stIDIMPCPFCUPOM + stored.stIDVERSALDCON,
              "NSNS");
    EXPECT_TRUE(op.told.isEmpty());
}

// Confirm of a new consumer whose CPF another consumer holds: the operator is asked, and only a yes saves.
TEST_P(RegistrationTest, ConfirmAsksAboutAHeldCpfAndSavesOnlyOnYes) {
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "yes" : "no");
        op = ScriptedOperator{};
        op.answers = {yes};
        Registration& reg = open(QStringLiteral("9001"), QStringLiteral("B"));
        const std::pair<Field, QString> entries[] = {
            {CodCons, "9001"},  {Nome, "BEATRIZ NUNES"}, {Cpf, "28491563709"},
            {Nasc, "15/08/95"}, {Cracha, "B-9001"},      {Pais, "Brasil"},
            {Uf, "SP"},         {Cidade, "CAMPINAS"},    {SenhaCons, "****"},
        };
        for (const auto& [field, text] : entries)
            reg.setFieldText(field, text);
        reg.stCDSENHACONS = QStringLiteral("4321");
        reg.toggleOption(optionCatalogue()[0]);

        EXPECT_EQ(reg.Confirma(), yes);
        ASSERT_FALSE(op.told.isEmpty());
        EXPECT_EQ(op.told[0].text, reg.msgPadrao.Msg(QStringLiteral("Cpf_Cad")));
        EXPECT_TRUE(op.told[0].details.startsWith(Ajusta(QStringLiteral("1"), 21) + u'-'))
            << op.told[0].details.toStdString();
        EXPECT_EQ(reg.boGravou, yes);
        EXPECT_EQ(column(QStringLiteral("9001"), "NMCONSUMIDOR"), yes ? "BEATRIZ NUNES" : "<none>");
        if (!yes)
            continue;
        EXPECT_EQ(published.size(), 1);
        EXPECT_EQ(column(QStringLiteral("9001"), "IDATUCPFCONS"), "N");
        EXPECT_TRUE(column(QStringLiteral("9001"), "DTNASCCONS").startsWith(QStringLiteral("1995-08-15")));
        EXPECT_EQ(DecriptoPlus(column(QStringLiteral("9001"), "CDSENHACONS").trimmed()), "4321");
        // Saved and published: nothing secret is left.
        EXPECT_EQ(reg.stCDSENHACONS + reg.consumer.stCdSenhaConsCripto, QString());
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, RegistrationTest,
                         ::testing::Values(QStringLiteral("sqlite"), QStringLiteral("postgres")), backendName);

} // namespace
} // namespace cadcons::test
