#include "host_directory.h"
#include "message_script.h"
#include "module/cadcons_module.h"
#include "module/cadconsumidor.h"
#include "qt_printers.h"
#include "screen/cad_consumidor_form.h"
#include "service/offline_queue.h"
#include "service/rdm_cad_consumidor.h"
#include "shown_form.h"
#include "widgets/dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <optional>

namespace cadcons {
namespace {

const QString kParameterCustomer = QStringLiteral("000000000000000000001");

// Plays the operator: each time the registration form is on screen, runs `act` on it, then leaves with
// the exit button unless `act` closed the form itself.
class Operator {
public:
    explicit Operator(std::function<void(TfrmCadastroConsumidor&)> act = {})
        : act_(std::move(act)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        timer_.start(10);
        sinceLastForm_.start();
    }
    int formsSeen = 0;

private:
    void tick() {
        const QPointer<TfrmCadastroConsumidor> form = test::shownForm();
        if (form && form->isVisible()) {
            ++formsSeen;
            sinceLastForm_.restart();
            if (act_)
                act_(*form);
            if (!form || !form->isVisible())
                return;
            if (auto* exit = form->findChild<QWidget*>(QStringLiteral("lblSair"))) {
                QTest::mouseClick(exit, Qt::LeftButton);
            } else {
                ADD_FAILURE() << "the form has no lblSair";
                form->close();
            }
            return;
        }
        if (sinceLastForm_.elapsed() > 20000 && QApplication::activeModalWidget()) {
            ADD_FAILURE() << "a modal window stayed open";
            QApplication::activeModalWidget()->close();
        }
    }

    std::function<void(TfrmCadastroConsumidor&)> act_;
    QTimer timer_;
    QElapsedTimer sinceLastForm_;
};

enum class Api { C, Cpp };
void PrintTo(Api api, std::ostream* os) {
    *os << (api == Api::C ? "C" : "C++");
}

struct Answer {
    bool saved = false;
    QByteArray code, name, customer;
};

// One call through either entry point. The C call must hand back strings of its own and leave the
// caller's untouched.
Answer call(Api api, const QByteArray& code, const QByteArray& name, const QByteArray& customer,
            const QByteArray& mode = {}) {
    if (api == Api::Cpp) {
        std::string c = code.toStdString(), n = name.toStdString(), k = customer.toStdString();
        const bool saved = cadcons::CriaCadConsumidor(c, n, k, mode.toStdString());
        return {saved, QByteArray::fromStdString(c), QByteArray::fromStdString(n), QByteArray::fromStdString(k)};
    }
    QByteArray ownCode = code, ownName = name, ownCustomer = customer;
    char* c = ownCode.data();
    char* n = ownName.data();
    char* k = ownCustomer.data();
    const int result = ::CriaCadConsumidor(&c, &n, &k, mode.constData());
    EXPECT_TRUE(result == 0 || result == 1) << result;
    EXPECT_EQ(ownCode, code);
    EXPECT_EQ(ownName, name);
    EXPECT_EQ(ownCustomer, customer);
    for (char* out : {c, n, k})
        EXPECT_TRUE(out != ownCode.data() && out != ownName.data() && out != ownCustomer.data() && out != nullptr);
    Answer answer{result == 1, c, n, k};
    for (char* out : {c, n, k})
        CadConsumidorFree(out);
    return answer;
}

bool formWidgetLeft() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("cadcons::TfrmCadastroConsumidor"))
            return true;
    return false;
}

// A host directory as the point of sale keeps it: parameter file, customer list, and an SQLite
// database with the demonstration data. Operator messages are recorded instead of shown.
class EntryPoint : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        for (const char* name : {"CADCONS_HOST_DIR", "CADCONS_CONNECTION", "CADCONS_HOST_ENCODING"})
            savedEnv_.emplace_back(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        qunsetenv("CADCONS_HOST_ENCODING");
        connection_ = prepareHostDirectory(dir_.path());
        ASSERT_FALSE(connection_.isEmpty());
        qputenv("CADCONS_HOST_DIR", dir_.path().toUtf8() + '/');
        useDatabase(connection_);
        CadConsModule::instance().start(); // as if the module had been loaded by a host living here
    }

    void TearDown() override {
        EXPECT_FALSE(formWidgetLeft());
        for (const auto& [name, value] : savedEnv_)
            value ? qputenv(name, *value) : qunsetenv(name);
    }

    QString databasePath() const { return dir_.filePath(QStringLiteral("cadcons.db")); }
    QString connection_;

    // The service keeps its connection for the life of the process; a test that needs another
    // database closes it, so the next call connects to what the host configuration says now.
    static void useDatabase(const QString& connection) {
        qputenv("CADCONS_CONNECTION", connection.toUtf8());
        CadConsModule::instance().closeService();
    }

    MessageScript script;
    QList<MensagemArgs>& messages = script.shown;

private:
    QTemporaryDir dir_;
    std::vector<std::pair<const char*, std::optional<QByteArray>>> savedEnv_;
};

class BothApis : public EntryPoint, public ::testing::WithParamInterface<Api> {};
INSTANTIATE_TEST_SUITE_P(Module, BothApis, ::testing::Values(Api::C, Api::Cpp),
                         [](const auto& info) { return info.param == Api::C ? "C" : "Cpp"; });

TEST_P(BothApis, ExitButtonHandsBackTheFieldsAndNoCustomer) {
    QString shownCode, shownName, customerInForm, customerName, nameInForm;
    Operator op([&](TfrmCadastroConsumidor& form) {
        shownCode = form.findChild<QLabel*>(QStringLiteral("lblCodCons"))->text();
        shownName = form.findChild<QLabel*>(QStringLiteral("lblNome"))->text();
        customerInForm = form.registration().consumer.stCdCliente;
        nameInForm = form.registration().consumer.stNmConsumidor;
        customerName = form.findChild<QLabel*>(QStringLiteral("lblNomeCliente"))->text();
    });
    const Answer answer = call(GetParam(), "42", "Maria", "");

    EXPECT_EQ(op.formsSeen, 1);
    EXPECT_FALSE(answer.saved);
    EXPECT_FALSE(shownCode.isEmpty()); // the code given is shown, so handing it back means something
    EXPECT_EQ(QString::fromUtf8(answer.code), shownCode);
    EXPECT_EQ(QString::fromUtf8(answer.name), shownName);
    EXPECT_EQ(answer.customer, "");
    // No customer given: the parameter file's, with its trading name from the database.
    EXPECT_EQ(customerInForm, kParameterCustomer);
    EXPECT_EQ(customerName, QStringLiteral("Hotel Beira Mar"));
    EXPECT_EQ(nameInForm, QStringLiteral("Maria"));
    EXPECT_TRUE(messages.empty());
    EXPECT_STREQ(CadConsumidorLastError(), "");
}

// Every text travels whole both ways: in to the form's state, out from its fields after a save.
TEST_P(BothApis, TextsTravelUncutBothWays) {
    const QString accented = QStringLiteral("José Ação Ñandú ü 日本 😀");
    const QString longText = QString(accented + QStringLiteral(" 0123456789")).repeated(400).left(10000);
    const struct {
        const char* label;
        QString code, name, customer, mode;
    } rows[] = {
        {"plain", "123", "Maria", "000000000000000000002", "B"},
        {"non-ASCII", accented, accented, accented, accented},
        {"10,000 characters", longText, longText + u'n', longText + u'k', longText + u'm'},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        messages.clear();
        QString seenCode, seenName, seenCustomer, seenMode;
        const QString outCode = row.code + u'1', outName = row.name + u'2', outCustomer = row.customer + u'3';
        Operator op([&](TfrmCadastroConsumidor& form) {
            seenCode = form.registration().consumer.stCdConsumidor;
            seenName = form.registration().consumer.stNmConsumidor;
            seenCustomer = form.registration().consumer.stCdCliente;
            seenMode = form.registration().stModoChamada;
            // What a successful confirm leaves behind: the fields as typed, the customer, the saved mark.
            form.findChild<QLabel*>(QStringLiteral("lblCodCons"))->setText(outCode);
            form.findChild<QLabel*>(QStringLiteral("lblNome"))->setText(outName);
            form.registration().consumer.stCdCliente = outCustomer;
            form.registration().boGravou = true;
            form.close();
        });
        const Answer answer =
            call(GetParam(), row.code.toUtf8(), row.name.toUtf8(), row.customer.toUtf8(), row.mode.toUtf8());
        EXPECT_EQ(op.formsSeen, 1);
        EXPECT_EQ(seenCode, row.code);
        EXPECT_EQ(seenName, row.name);
        EXPECT_EQ(seenCustomer, row.customer);
        EXPECT_EQ(seenMode, row.mode);
        EXPECT_TRUE(answer.saved);
        EXPECT_EQ(answer.code, outCode.toUtf8());
        EXPECT_EQ(answer.name, outName.toUtf8());
        EXPECT_EQ(answer.customer, outCustomer.toUtf8());
    }
}

TEST_P(BothApis, InvalidTextIsRefusedBeforeAnyForm) {
    const struct {
        const char* label;
        int argument; // 0 code, 1 name, 2 customer, 3 mode
        QByteArray bytes;
        const char* complaint;
    } rows[] = {
        {"stray byte", 0, "ab\xff", "UTF-8"},
        {"overlong slash", 1, "\xc0\xaf", "UTF-8"},
        {"surrogate", 2, "x\xed\xa0\x80", "UTF-8"},
        {"cut sequence", 3, "Jo\xc3", "UTF-8"},
        {"NUL inside", 1, QByteArray("a\0b", 3), "NUL"},
    };
    for (const auto& row : rows) {
        if (GetParam() == Api::C && row.bytes.contains('\0'))
            continue; // a C string ends at its NUL
        SCOPED_TRACE(row.label);
        messages.clear();
        QByteArray args[4] = {"42", "Maria", "000000000000000000002", "B"};
        args[row.argument] = row.bytes;
        Operator op;
        const Answer answer = call(GetParam(), args[0], args[1], args[2], args[3]);
        EXPECT_EQ(op.formsSeen, 0);
        EXPECT_FALSE(answer.saved);
        // Handed back as they came, byte for byte.
        EXPECT_EQ(answer.code, args[0]);
        EXPECT_EQ(answer.name, args[1]);
        EXPECT_EQ(answer.customer, args[2]);
        ASSERT_EQ(messages.size(), 1);
        EXPECT_EQ(messages[0].kind, kMsgErro);
        EXPECT_TRUE(messages[0].text.contains(QLatin1String(row.complaint))) << messages[0].text.toStdString();
        EXPECT_EQ(QString::fromUtf8(CadConsumidorLastError()), messages[0].text);
    }
}

TEST_F(EntryPoint, NullStringsAndNullAddresses) {
    {
        SCOPED_TRACE("NULL strings are empty ones");
        QString customerInForm;
        Operator op([&](TfrmCadastroConsumidor& form) { customerInForm = form.registration().consumer.stCdCliente; });
        char *code = nullptr, *name = nullptr, *customer = nullptr;
        EXPECT_EQ(::CriaCadConsumidor(&code, &name, &customer, nullptr), 0);
        EXPECT_EQ(op.formsSeen, 1);
        EXPECT_EQ(customerInForm, kParameterCustomer);
        ASSERT_TRUE(code && name && customer);
        EXPECT_STREQ(code, "");
        EXPECT_STREQ(customer, "");
        for (char* p : {code, name, customer})
            CadConsumidorFree(p);
        CadConsumidorFree(nullptr);
        EXPECT_TRUE(messages.empty());
    }
    for (int missing = 0; missing < 3; ++missing) {
        SCOPED_TRACE(missing);
        messages.clear();
        QByteArray in[3] = {"7", "Ana", "000000000000000000003"};
        char* strings[3] = {in[0].data(), in[1].data(), in[2].data()};
        char** refs[3] = {&strings[0], &strings[1], &strings[2]};
        refs[missing] = nullptr;
        Operator op;
        EXPECT_EQ(::CriaCadConsumidor(refs[0], refs[1], refs[2], ""), 0);
        EXPECT_EQ(op.formsSeen, 0);
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].text.contains(QLatin1String("NULL"))) << messages[0].text.toStdString();
        for (int i = 0; i < 3; ++i) {
            if (i == missing)
                continue;
            EXPECT_NE(strings[i], in[i].data());
            EXPECT_STREQ(strings[i], in[i].constData());
            CadConsumidorFree(strings[i]);
        }
    }
}

TEST_F(EntryPoint, UnreachableDatabaseFailsOnceAndTheNextCallStartsAfresh) {
    const struct {
        const char* label;
        QString connection;
        const char* driver;
    } rows[] = {
        {"SQLite file in a missing directory",
         QStringLiteral("Provider=QSQLITE;Data Source=%1/missing/cadcons.db").arg(databasePath()), "QSQLITE"},
        {"PostgreSQL on a closed port",
         QStringLiteral("Provider=QPSQL;Data Source=127.0.0.1:1;Initial Catalog=pdv;User ID=pdv;Password=x"), "QPSQL"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        if (!QSqlDatabase::isDriverAvailable(QLatin1String(row.driver))) {
            ADD_FAILURE() << row.driver << " is not installed";
            continue;
        }
        messages.clear();
        useDatabase(row.connection);
        {
            Operator op;
            const Answer answer = call(Api::C, "42", "Maria", "000000000000000000002");
            EXPECT_EQ(op.formsSeen, 0);
            EXPECT_FALSE(answer.saved);
            // The screen was never shown: all three as they came, not the fields' placeholders.
            EXPECT_EQ(std::tie(answer.code, answer.name, answer.customer),
                      std::make_tuple(QByteArray("42"), QByteArray("Maria"), QByteArray("000000000000000000002")));
            ASSERT_EQ(messages.size(), 1);
            const MensagemArgs& m = messages[0];
            EXPECT_FALSE(m.text.isEmpty());
            EXPECT_EQ(std::tie(m.details, m.flag1, m.flag2, m.kind, m.extra, m.esquema, m.number, m.dataset),
                      std::make_tuple(QString(), QStringLiteral("N"), QStringLiteral("N"), kMsgErro, QString(),
                                      QStringLiteral("002"), 0, static_cast<ClientDataSet*>(nullptr)));
            EXPECT_EQ(QString::fromUtf8(CadConsumidorLastError()), m.text);
            EXPECT_FALSE(formWidgetLeft());
        }
        useDatabase(connection_);
        Operator op;
        EXPECT_FALSE(call(Api::C, "42", "Maria", "").saved);
        EXPECT_EQ(op.formsSeen, 1);
        EXPECT_EQ(messages.size(), 1);
        EXPECT_STREQ(CadConsumidorLastError(), "");
    }
}

TEST_F(EntryPoint, ServiceErrorDuringInitializationIsShownOnce) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("module-break"));
        db.setDatabaseName(databasePath());
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(QSqlQuery(db).exec(QStringLiteral("DROP TABLE PAIS")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("module-break"));
    Operator op;
    EXPECT_FALSE(call(Api::C, "42", "Maria", "").saved);
    EXPECT_EQ(op.formsSeen, 0);
    ASSERT_EQ(messages.size(), 1) << "the service's error, and not a second time from the entry point";
    EXPECT_TRUE(messages[0].details.contains(QLatin1String("getPais")) ||
                messages[0].text.contains(QLatin1String("PAIS"), Qt::CaseInsensitive))
        << messages[0].text.toStdString();
    EXPECT_STRNE(CadConsumidorLastError(), "");
}

TEST_F(EntryPoint, TwoCallsShareTheServiceAndItsConnection) {
    Operator op;
    EXPECT_FALSE(call(Api::C, "", "", "").saved);
    TrdmCadConsumidor* first = &CadConsModule::instance().service();
    ASSERT_TRUE(first->connected());
    // A temporary table lives only as long as its SQLite connection.
    ASSERT_TRUE(QSqlQuery(first->adcCadConsumidor()).exec(QStringLiteral("CREATE TEMP TABLE same_connection (x)")));
    EXPECT_FALSE(call(Api::Cpp, "", "", "").saved);
    EXPECT_EQ(op.formsSeen, 2);
    EXPECT_EQ(&CadConsModule::instance().service(), first);
    EXPECT_TRUE(first->connected());
    EXPECT_TRUE(QSqlQuery(first->adcCadConsumidor()).exec(QStringLiteral("SELECT x FROM same_connection")));
    EXPECT_TRUE(messages.empty());
}

TEST_F(EntryPoint, FormDestroyedWithoutItsCloseEventDoesNotBlockTheNextCall) {
    QString customerInForm;
    Operator op([&](TfrmCadastroConsumidor& form) {
        if (op.formsSeen == 1)
            delete &form; // gone without a close event: boIdCriado stays set
        else
            customerInForm = form.registration().consumer.stCdCliente;
    });
    const Answer first = call(Api::C, "42", "Maria", "000000000000000000002");
    EXPECT_FALSE(first.saved);
    EXPECT_EQ(std::tie(first.code, first.name, first.customer),
              std::make_tuple(QByteArray("42"), QByteArray("Maria"), QByteArray("000000000000000000002")));
    EXPECT_TRUE(QByteArray(CadConsumidorLastError()).contains("destroyed"));

    EXPECT_FALSE(call(Api::C, "", "", "").saved);
    EXPECT_EQ(op.formsSeen, 2);
    EXPECT_EQ(customerInForm, kParameterCustomer); // a new form, initialized, not shown half-made
}

TEST_F(EntryPoint, CallWhileTheScreenIsOpenIsRefused) {
    std::optional<Answer> inner;
    TfrmCadastroConsumidor* formDuringInner = nullptr;
    QByteArray serviceError;
    Operator op([&](TfrmCadastroConsumidor& form) {
        char* packet = nullptr;
        EXPECT_EQ(CadConsumidorService("getPais", 0, nullptr, &packet), 0);
        EXPECT_EQ(packet, nullptr);
        serviceError = CadConsumidorLastError();
        inner = call(Api::C, "9", "Outro", "000000000000000000003");
        formDuringInner = test::shownForm();
        EXPECT_TRUE(form.isVisible());
    });
    EXPECT_FALSE(call(Api::C, "42", "Maria", "").saved);
    EXPECT_EQ(op.formsSeen, 1);
    ASSERT_TRUE(inner);
    EXPECT_FALSE(inner->saved);
    EXPECT_EQ(std::tie(inner->code, inner->name, inner->customer),
              std::make_tuple(QByteArray("9"), QByteArray("Outro"), QByteArray("000000000000000000003")));
    EXPECT_NE(formDuringInner, nullptr);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].text.contains(QLatin1String("already open")));
    EXPECT_TRUE(serviceError.contains("the registration screen is open")) << serviceError.toStdString();
    EXPECT_STREQ(CadConsumidorLastError(), ""); // the outer call ended normally
}

TEST_F(EntryPoint, NoSecretOutlivesACall) {
    // The first call types a password and leaves; the second starts with nothing secret.
    QList<QStringList> atStart;
    Operator op([&](TfrmCadastroConsumidor& form) {
        const Registration& r = form.registration();
        atStart << QStringList{r.stCDSENHACONS, r.stCDSENHASITE, r.stDigital, r.stDigital2};
        form.selectField(registration::SenhaCons);
        form.entry().postChar(QStringLiteral("x"));
    });
    call(Api::C, "", "", "");
    call(Api::Cpp, "", "", "");
    ASSERT_EQ(atStart.size(), 2);
    EXPECT_EQ(atStart[1], QStringList({"", "", "", ""}));
}

} // namespace
} // namespace cadcons

namespace cadcons {

// A wrong setting is named to the operator and the host before any form exists; once mended, the next
// call opens the screen.
TEST_F(EntryPoint, WrongSettingIsNamedBeforeAnyForm) {
    const struct {
        const char* label;
        const char* variable;
        QByteArray value;
        const char* named;
    } rows[] = {
        {"connection without a provider", "CADCONS_CONNECTION", "Data Source=/tmp/x.db", "CADCONS_CONNECTION"},
        {"postal-code service that is no web address", "CADCONS_CEP_URL", "cep.example", "CADCONS_CEP_URL"},
        {"key file that is missing", "CADCONS_CRYPTO_KEY_FILE", "/nonexistent/till.key", "CADCONS_CRYPTO_KEY_FILE"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        messages.clear();
        const std::optional<QByteArray> saved =
            qEnvironmentVariableIsSet(row.variable) ? std::optional(qgetenv(row.variable)) : std::nullopt;
        qputenv(row.variable, row.value);
        {
            Operator op;
            const Answer answer = call(Api::C, "42", "Maria", "");
            EXPECT_EQ(op.formsSeen, 0);
            EXPECT_FALSE(answer.saved);
            const QString error = QString::fromUtf8(CadConsumidorLastError());
            EXPECT_TRUE(error.contains(QLatin1String(row.named))) << error.toStdString();
            EXPECT_TRUE(error.contains(QLatin1String("expected"))) << error.toStdString();
            ASSERT_EQ(messages.size(), 1);
            EXPECT_EQ(messages[0].text, error);
        }
        saved ? qputenv(row.variable, *saved) : qunsetenv(row.variable);
        Operator op;
        EXPECT_FALSE(call(Api::C, "42", "Maria", "").saved);
        EXPECT_EQ(op.formsSeen, 1);
        EXPECT_STREQ(CadConsumidorLastError(), "");
    }
}

// The host's code page decides how its strings are read and handed back; nothing is bent to fit it.
TEST_F(EntryPoint, HostCodePageCarriesTheStringsByteForByte) {
    const QByteArray name = "Jos\xc9 Concei\xe7\xe3o \x80\x8c"; // É ç ã € Œ in Windows-1252
    const QString asRead = QStringLiteral("JosÉ Conceição €Œ");
    const struct {
        const char* label;
        const char* encoding; // CADCONS_HOST_ENCODING; nullptr: the default
        QByteArray name;
        QString typed;  // put in the name field before the save; "": left as it is
        QString seen;   // the name as the form reads it; "": the call is refused before any form
        QByteArray out; // the name handed back
        const char* error;
    } rows[] = {
        {"Windows-1252 in and out", "windows-1252", name, {}, asRead, name, ""},
        {"the same bytes read as UTF-8", nullptr, name, {}, {}, name, "is not valid UTF-8"},
        {"a byte Windows-1252 leaves undefined", "windows-1252", "Jo\x9d!", {}, {}, "Jo\x9d!", "byte 0x9d at offset 2"},
        {"a typed character Windows-1252 lacks", "windows-1252", name, QStringLiteral("Ana 日"), asRead, name,
         "U+65e5"},
        {"the same character in UTF-8", "UTF-8", "Ana", QStringLiteral("Ana 日"), "Ana", "Ana 日", ""},
        {"an encoding not offered", "latin9", "Ana", {}, {}, "Ana", "CADCONS_HOST_ENCODING: \"latin9\""},
    };
    for (Api api : {Api::C, Api::Cpp})
        for (const auto& row : rows) {
            SCOPED_TRACE(testing::Message() << row.label << (api == Api::C ? " (C)" : " (C++)"));
            row.encoding ? qputenv("CADCONS_HOST_ENCODING", row.encoding) : qunsetenv("CADCONS_HOST_ENCODING");
            QString seen;
            Operator op([&](TfrmCadastroConsumidor& form) {
                seen = form.registration().consumer.stNmConsumidor;
                form.findChild<QLabel*>(QStringLiteral("lblNome"))
                    ->setText(row.typed.isEmpty() ? form.registration().consumer.stNmConsumidor : row.typed);
                form.registration().boGravou = true;
                form.close();
            });
            const QByteArray customer = qstrcmp(row.encoding, "windows-1252") == 0 ? "Caf\xe9" : "Caf\xc3\xa9";
            const Answer answer = call(api, "42", row.name, customer);
            EXPECT_EQ(seen, row.seen);
            EXPECT_EQ(answer.saved, !row.seen.isEmpty());
            EXPECT_EQ(answer.name, row.out);
            EXPECT_EQ(answer.customer, customer);
            EXPECT_TRUE(QByteArray(CadConsumidorLastError()).contains(row.error)) << CadConsumidorLastError();
            EXPECT_EQ(*row.error == 0, *CadConsumidorLastError() == 0) << CadConsumidorLastError();
        }
}

// The data service from a host: strings in the host's code page both ways, and no value in a complaint.
TEST_F(EntryPoint, DataServiceForHosts) {
    qputenv("CADCONS_HOST_ENCODING", "windows-1252");
    qputenv("CADCONS_OFFLINE", "yes"); // a registration waits on the till: the first operation sends it
    GravaConsumidor queued;
    queued.cdCliente = QStringLiteral("000000000000000000001");
    queued.cdConsumidor = QStringLiteral("000000000000000000077");
    queued.nmConsumidor = QStringLiteral("QUEUED");
    queued.operacao = QStringLiteral("1");
    OfflineQueue(qEnvironmentVariable("CADCONS_HOST_DIR") + OfflineQueue::fileName()).append(queued);
    const QByteArray code = "000000000000000000088";
    const struct {
        const char* label;
        const char* operation;
        QList<QByteArray> arguments;
        QByteArray result; // held by the result; "": refused
        const char* error;
    } rows[] = {
        {"sale types", "getTipoVenda", {}, "<ROW ", ""},
        {"the queued consumer", "getDadosConsumidor", {"000000000000000000001", "77"}, "NMCONSUMIDOR=\"QUEUED\"", ""},
        {"a save", "setGravaConsumidor", saveArguments(code, "Jos\xe9 Ara\xfajo", "segredo"), "true", ""},
        {"the saved consumer, in the host's code page",
         "getDadosConsumidor",
         {"000000000000000000001", "88"},
         "NMCONSUMIDOR=\"Jos\xe9 Ara\xfajo\"",
         ""},
        {"an undefined byte in a password", "setGravaConsumidor", saveArguments(code, "Ana", "segr\x81!do"), "",
         "argument 29 (PASSWORD) of setGravaConsumidor is not valid Windows-1252: byte 0x81 at offset 4"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        std::vector<const char*> argv;
        for (const QByteArray& a : row.arguments)
            argv.push_back(a.constData());
        char* result = reinterpret_cast<char*>(1);
        const int ok = CadConsumidorService(row.operation, int(argv.size()), argv.data(), &result);
        const QByteArray error = CadConsumidorLastError();
        EXPECT_EQ(ok, row.result.isEmpty() ? 0 : 1) << error.toStdString();
        EXPECT_EQ(result == nullptr, row.result.isEmpty());
        EXPECT_TRUE(QByteArray(result).contains(row.result)) << result;
        EXPECT_TRUE(error.contains(row.error)) << error.toStdString();
        EXPECT_FALSE(error.contains("segr")) << "a password is never repeated";
        CadConsumidorFree(result);
    }
    qunsetenv("CADCONS_OFFLINE");
}

} // namespace cadcons
