#include "platform/packet_file.h"
#include "qt_printers.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Outcome {
    int exitCode = -1;
    bool crashed = false;
    QString out;
    QString err;
};

// Runs a program with the host directory in a scratch folder and no connection from the caller's shell.
class Programs : public ::testing::Test {
protected:
    Outcome run(const QString& program, const QStringList& args) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("CADCONS_CONNECTION"));
        env.insert(QStringLiteral("CADCONS_HOST_DIR"), dir_.path());
        process.setProcessEnvironment(env);
        process.start(program, args);
        EXPECT_TRUE(process.waitForFinished(60000)) << program.toStdString();
        return {process.exitCode(), process.exitStatus() == QProcess::CrashExit,
                QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
    }
    Outcome db(const QStringList& args) { return run(QStringLiteral(CADCONS_DB_PROGRAM), args); }
    Outcome service(const QStringList& args) { return run(QStringLiteral(CADCONS_SERVICE_PROGRAM), args); }
    void seeded() {
        ASSERT_EQ(db({"init"}).exitCode, 0);
        ASSERT_EQ(db({"seed-demo"}).exitCode, 0);
    }

    QTemporaryDir dir_;
};

QStringList saveArguments(const QString& operacao, const QString& birth) {
    QStringList a;
    a << "000000000000000000001"
      << "Maria Teste"
      << "000000000000000000077"
      << "B77"
      << "0000000001"
      << "01"
      << "99887766"
      << "47393545608"
      << "1133334444"
      << ""
      << "CAIXA" << operacao << "0001"
      << "/opt/pdv/"
      << "0055"
      << "SP"
      << "0001"
      << "Rua Um"
      << "10"
      << "SE"
      << "01001000"
      << "m@example.com"
      << "F" << birth << ""
      << ""
      << ""
      << "X77"
      << ""
      << ""
      << ""
      << "S"
      << "S"
      << "S"
      << "S"
      << ""
      << ""
      << "";
    return a;
}

TEST_F(Programs, BadInputGivesAClearMessageAndAFailingStatus) {
    struct Case {
        const char* why;
        bool dbProgram;
        QStringList args;
        int exitCode;
        QString says;
    };
    const Case cases[] = {
        {"service without arguments", false, {}, 2, "Usage"},
        {"unknown operation", false, {"getNada"}, 2, "unknown operation getNada"},
        {"missing argument", false, {"getNomeCliente"}, 2, "takes 1 argument"},
        {"too many arguments", false, {"getPais", "x"}, 2, "takes 0 argument"},
        {"save with 37 arguments", false, QStringList{"setGravaConsumidor"} << saveArguments("1", "").mid(1), 2,
         "takes 38 argument"},
        {"connection option without value", false, {"getPais", "--connection"}, 2, "needs a connection string"},
        {"unknown provider", false, {"--connection", "Provider=Nada;Data Source=x", "getPais"}, 1, "Nada"},
        {"unreachable database file",
         false,
         {"--connection", "Provider=QSQLITE;Data Source=/nonexistent/dir/x.db", "getPais"},
         1,
         "open"},
        {"database without tables", false, {"getPais"}, 1, "PAIS"},
        {"db without command", true, {}, 2, "a command is needed"},
        {"db unknown command", true, {"drop"}, 2, "unknown command drop"},
        {"db two commands", true, {"init", "seed-demo"}, 2, "exactly one command"},
        {"seed without schema", true, {"seed-demo"}, 1, "seed/demo.sql"},
        {"trim without a limit", true, {"trim-list-changes"}, 2, "needs --days or --versions"},
        {"trim by a non-number", true, {"trim-list-changes", "--days=x"}, 2, "--days needs a number"},
        {"queue without what to do", true, {"queue"}, 2, "queue takes list, send, or drop"},
        {"queue send without a database",
         true,
         {"--connection", "Provider=QSQLITE;Data Source=/nonexistent/x.db", "queue", "send"},
         1,
         "open"},
        {"queue drop without a number", true, {"queue", "drop", "x"}, 2, "needs a record's number"},
        {"queue drop of no record", true, {"queue", "drop", "5"}, 1, "no record 5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        const Outcome r = c.dbProgram ? db(c.args) : service(c.args);
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.says, Qt::CaseInsensitive)) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    }
}

TEST_F(Programs, InitTwiceFailsTheSecondTimeAndLeavesTheData) {
    seeded();
    const Outcome again = db({"init"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_FALSE(again.err.isEmpty());
    const Outcome states = service({"getEstado"});
    ASSERT_EQ(states.exitCode, 0) << states.err.toStdString();
    EXPECT_EQ(cadcons::readPacketXml(states.out.toUtf8(), "stdout").rows.size(), 27);
}

TEST_F(Programs, EveryOperationRunsFromTheShell) {
    seeded();
    struct Case {
        QStringList args;
        int rows;
    };
    const Case cases[] = {
        {{"getMunicipio"}, -1},
        {{"getEstado"}, 27},
        {{"getPais"}, 1},
        {{"getBairro"}, -1},
        {{"getTipoCons"}, -1},
        {{"getTipoVenda"}, 7},
        {{"getTipoConsPadrao", "0001"}, 1},
        {{"getParaVend", "0001"}, 1},
        {{"getNomeCliente", "000000000000000000001"}, 1},
        {{"getDadosConsumidor", "000000000000000000001", "424242"}, 0},
        {{"getValidaCons", "424242", "000000000000000000001"}, 0},
        {{"getExisteCPF", "000000000000000000001", "1", "00000000000"}, 0},
        {{"getExisteRG", "000000000000000000001", "1", "0"}, 0},
        {{"getExisteIdent", "1", "nobody"}, 0},
        {{"getInfCEP", "01001000"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const Outcome r = service(c.args);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const cadcons::DataPacket p = cadcons::readPacketXml(r.out.toUtf8(), "stdout");
        EXPECT_FALSE(p.fields.isEmpty());
        if (c.rows >= 0)
            EXPECT_EQ(p.rows.size(), c.rows);
        else
            EXPECT_GT(p.rows.size(), 0);
    }

    const Outcome saved = service(QStringList{"setGravaConsumidor"} << saveArguments("1", "02/03/1990"));
    EXPECT_EQ(saved.exitCode, 0) << saved.err.toStdString();
    EXPECT_EQ(saved.out, "true\n");
    const Outcome found = service({"getDadosConsumidor", "000000000000000000001", "77"});
    ASSERT_EQ(found.exitCode, 0);
    const cadcons::DataPacket p = cadcons::readPacketXml(found.out.toUtf8(), "stdout");
    ASSERT_EQ(p.rows.size(), 1);
    EXPECT_EQ(p.rows[0][p.fieldIndex("NMCONSUMIDOR")].toString(), "Maria Teste");

    const Outcome badDate = service(QStringList{"setGravaConsumidor"} << saveArguments("2", "1990-03-02"));
    EXPECT_EQ(badDate.exitCode, 1);
    EXPECT_TRUE(badDate.err.contains("1990-03-02")) << badDate.err.toStdString();
    EXPECT_TRUE(badDate.out.isEmpty());
}

TEST_F(Programs, HelpNamesEveryOperation) {
    const Outcome help = service({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* op : {"getMunicipio", "getEstado", "getPais", "getBairro", "getTipoCons", "getTipoVenda",
                           "getTipoConsPadrao", "getParaVend", "getNomeCliente", "getDadosConsumidor", "getValidaCons",
                           "getExisteCPF", "getExisteRG", "getExisteIdent", "getInfCEP", "setGravaConsumidor"})
        EXPECT_TRUE(help.out.contains(QLatin1String(op))) << op;
    EXPECT_EQ(db({"--help"}).exitCode, 0);
}

} // namespace
