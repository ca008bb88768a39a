// The registration screen as the operator meets it, on a seeded database: the form from the call to the
// moment it is on screen, Confirm from the touch to the closed form, the postal-code look-up on the web
// against a service that answers in 50 ms, and the city search list.
//
// Databases, each optional (a backend without its variable is skipped):
//   CADCONS_BENCH_SQLITE  path of a seeded SQLite file ("demo": a demonstration database made here)
//   CADCONS_BENCH_PG      connection string of a seeded PostgreSQL database
//                         ("Provider=QPSQL;Data Source=HOST:PORT;Initial Catalog=DB;User ID=U;Password=P")
// The scale is read from the database (cities, neighbourhoods, consumers: counters of every result);
// --scale=NAME or CADCONS_BENCH_SCALE adds a name for it to the output's context.
//
// Behind bench/with-link (CADCONS_LINK_PID, CADCONS_LINK_COUNTS), the openings and Confirm also report what
// crossed the link per iteration: link_bytes (both ways) and link_round_trips. CADCONS_BENCH_LINK names the
// link in the PostgreSQL results ("postgres-wan").
//
// Confirm saves a new consumer at every iteration (and, in Confirm/existing, saves the same consumer
// again). The consumers it adds have codes from 000000090000000000000 up, of the customer of the
// parameter file; they are deleted at the start and at the end of the run.

#include "bench_host.h"
#include "central/central_services.h"
#include "config/connection.h"
#include "config/host_config.h"
#include "platform/data_packet.h"
#include "platform/packet_file.h"
#include "routines/sibling.h"
#include "screen/cad_consumidor_form.h"
#include "screen_loopback_server.h"
#include "service/rdm_cad_consumidor.h"
#include "service/schema.h"
#include "widgets/blended.h"
#include "widgets/dialogs.h"
#include "widgets/pesquisa.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <benchmark/benchmark.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

using namespace cadcons;
using Clock = std::chrono::steady_clock;

namespace {

// Any 64-byte key: the passwords the benchmark types are encrypted with it.
constexpr const char* kCryptoKey = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"
                                   "202122232425262728292a2b2c2d2e2f303132333435363738393a3b3c3d3e3f";

constexpr std::chrono::milliseconds kServiceDelay{50};

// The consumers this benchmark adds: codes of 21 characters from here up.
const QString kFirstCode = QStringLiteral("000000090000000000000");
const QString kLastCode = QStringLiteral("000000099999999999999");

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// A database to measure on, and a host directory whose parameter file and customer list fit it.
struct Backend {
    QString label;      // "sqlite", "postgres"
    QString connection; // our connection string
    QString queryConnection;
    std::unique_ptr<QTemporaryDir> host;

    QString branch, customer, existingConsumer;
    // A city of country 0055 with one of its neighbourhoods; the most populous state for the city picker.
    QString countryName, state, city, neighbourhood, pickerState;
    QString webCep; // eight digits the local postal-code table does not hold
    qint64 cities = 0, neighbourhoods = 0, consumers = 0, pickerCities = 0;

    QString hostDir() const { return host->path() + u'/'; }
    QSqlDatabase db() const { return QSqlDatabase::database(queryConnection, false); }
};

std::vector<std::unique_ptr<Backend>> backends;
Backend* active = nullptr;
QList<MensagemArgs> messages;
std::unique_ptr<bench::ScreenLoopbackServer> cepServer;
qint64 nextConsumer = 0;

// What crossed the link of bench/with-link so far: its counts, asked for with SIGUSR1 and read from the last
// line it then writes to its file. Zeros without a link.
struct LinkCounts {
    qint64 bytes = 0;
    qint64 roundTrips = 0;
};

LinkCounts linkCounts() {
    static const qint64 pid = qEnvironmentVariableIntValue("CADCONS_LINK_PID");
    static const QString path = qEnvironmentVariable("CADCONS_LINK_COUNTS");
    if (pid <= 0 || path.isEmpty())
        return {};
    const auto lines = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().split('\n') : QList<QByteArray>();
    };
    const qsizetype before = lines().size();
    kill(static_cast<pid_t>(pid), SIGUSR1);
    for (int wait = 0; wait < 5000; ++wait) {
        const QList<QByteArray> now = lines();
        if (now.size() > before) {
            const QJsonObject counts = QJsonDocument::fromJson(now.last()).object();
            return {counts.value(QLatin1String("client_bytes")).toInteger() +
                        counts.value(QLatin1String("server_bytes")).toInteger(),
                    counts.value(QLatin1String("round_trips")).toInteger()};
        }
        QThread::msleep(1);
    }
    throw std::runtime_error("the link did not report its counts");
}

// The link's counts over the timed parts of a benchmark: start and stop each with the timer paused.
class LinkMeter {
public:
    void start() { at_ = linkCounts(); }
    void stop() {
        const LinkCounts now = linkCounts();
        total_.bytes += now.bytes - at_.bytes;
        total_.roundTrips += now.roundTrips - at_.roundTrips;
    }
    void report(benchmark::State& state) const {
        if (qEnvironmentVariableIsEmpty("CADCONS_LINK_PID"))
            return;
        state.counters["link_bytes"] = benchmark::Counter(double(total_.bytes), benchmark::Counter::kAvgIterations);
        state.counters["link_round_trips"] =
            benchmark::Counter(double(total_.roundTrips), benchmark::Counter::kAvgIterations);
    }

private:
    LinkCounts at_;
    LinkCounts total_;
};

QSqlQuery run(const Backend& b, const QString& sql, const QVariantList& values = {}) {
    return bench::run(b.db(), sql, values);
}

QVariant scalar(const Backend& b, const QString& sql, const QVariantList& values = {}) {
    QSqlQuery query = run(b, sql, values);
    return query.next() ? query.value(0) : QVariant();
}

void deleteOurConsumers(const Backend& b) {
    run(b, QStringLiteral("DELETE FROM CONSUMIDOR WHERE CDCLIENTE = ? AND CDCONSUMIDOR BETWEEN ? AND ?"),
        {b.customer, kFirstCode, kLastCode});
}

std::unique_ptr<Backend> prepareBackend(const QString& label, QString connection) {
    auto b = std::make_unique<Backend>();
    b->label = label;
    b->host = std::make_unique<QTemporaryDir>();
    if (!b->host->isValid())
        throw std::runtime_error("no temporary directory");
    b->queryConnection = QStringLiteral("screen-bench-") + label;

    const bool demo = label == u"sqlite" && connection == u"demo";
    if (label == u"sqlite") {
        const QString path = demo ? b->hostDir() + QStringLiteral("demo.db") : connection;
        if (!demo && !QFileInfo::exists(path))
            throw std::runtime_error(("no SQLite database at " + path).toStdString());
        connection = QStringLiteral("Provider=QSQLITE;Data Source=") + QFileInfo(path).absoluteFilePath();
    }
    b->connection = connection;
    const ConnectionSettings settings = parseConnectionString(connection);
    QSqlDatabase db = QSqlDatabase::addDatabase(settings.driver, b->queryConnection);
    applyConnectionSettings(db, settings);
    if (!db.open())
        throw std::runtime_error(db.lastError().text().toStdString());
    if (demo) {
        createSchema(db);
        seedDemo(db);
    }

    // The branch and customer of the first sale parameters: the screen's defaults come from there.
    {
        QSqlQuery q = run(*b, QStringLiteral("SELECT CDFILIAL, CDCLIENTE FROM PARAVEND ORDER BY CDFILIAL, CDCLIENTE"));
        if (!q.next())
            throw std::runtime_error("the database has no sale parameters (PARAVEND)");
        b->branch = q.value(0).toString();
        b->customer = q.value(1).toString();
    }
    deleteOurConsumers(*b);
    b->existingConsumer =
        scalar(*b, QStringLiteral("SELECT MIN(CDCONSUMIDOR) FROM CONSUMIDOR WHERE CDCLIENTE = ?"), {b->customer})
            .toString();
    if (b->existingConsumer.isEmpty())
        throw std::runtime_error("the customer of the sale parameters has no consumer");

    b->cities = scalar(*b, QStringLiteral("SELECT COUNT(*) FROM MUNICIPIO")).toLongLong();
    b->neighbourhoods = scalar(*b, QStringLiteral("SELECT COUNT(*) FROM BAIRRO")).toLongLong();
    b->consumers = scalar(*b, QStringLiteral("SELECT COUNT(*) FROM CONSUMIDOR")).toLongLong();

    // A city late in name order, so that a search for it cannot stop early.
    {
        QSqlQuery q = run(*b, QStringLiteral("SELECT P.NMPAIS, M.SGESTADO, M.NMMUNICIPIO, M.CDMUNICIPIO "
                                             "FROM MUNICIPIO M JOIN PAIS P ON P.CDPAIS = M.CDPAIS "
                                             "WHERE M.CDPAIS = '0055' AND EXISTS (SELECT 1 FROM BAIRRO B WHERE "
                                             "B.CDPAIS = M.CDPAIS AND B.SGESTADO = M.SGESTADO AND "
                                             "B.CDMUNICIPIO = M.CDMUNICIPIO) "
                                             "ORDER BY M.NMMUNICIPIO DESC"));
        if (!q.next())
            throw std::runtime_error("the database has no city of country 0055 with neighbourhoods");
        b->countryName = q.value(0).toString();
        b->state = q.value(1).toString();
        b->city = q.value(2).toString();
        b->neighbourhood = scalar(*b,
                                  QStringLiteral("SELECT MAX(NMBAIRRO) FROM BAIRRO WHERE CDPAIS = '0055' AND "
                                                 "SGESTADO = ? AND CDMUNICIPIO = ?"),
                                  {b->state, q.value(3)})
                               .toString();
    }
    {
        QSqlQuery q = run(*b, QStringLiteral("SELECT SGESTADO, COUNT(*) FROM MUNICIPIO WHERE CDPAIS = '0055' "
                                             "GROUP BY SGESTADO ORDER BY COUNT(*) DESC, SGESTADO"));
        q.next();
        b->pickerState = q.value(0).toString();
        b->pickerCities = q.value(1).toLongLong();
    }
    for (int n = 99999999; n > 99999000 && b->webCep.isEmpty(); --n) {
        const QString cep = QString::number(n);
        if (scalar(*b, QStringLiteral("SELECT COUNT(*) FROM CEP WHERE NRCEP = ?"), {cep}).toInt() == 0)
            b->webCep = cep;
    }

    bench::writeHostFiles(b->db(), b->hostDir(), b->branch, b->customer);
    return b;
}

// The data service every form of the run uses, as the module's serves every call.
TrdmCadConsumidor& service() {
    static TrdmCadConsumidor* const rdm = new TrdmCadConsumidor;
    return *rdm;
}

// Points the module at the backend: the data service opens its connection on the next initialization,
// as in a host whose module was loaded with this configuration.
void activate(Backend& b) {
    if (active == &b)
        return;
    service().close();
    qputenv("CADCONS_HOST_DIR", b.hostDir().toUtf8());
    qputenv("CADCONS_CONNECTION", b.connection.toUtf8());
    active = &b;
}

QString messageTexts() {
    QStringList texts;
    for (const MensagemArgs& m : messages)
        texts << m.text;
    return texts.join(QStringLiteral(" | "));
}

void setCounters(benchmark::State& state, const Backend& b) {
    state.counters["cities"] = static_cast<double>(b.cities);
    state.counters["neighbourhoods"] = static_cast<double>(b.neighbourhoods);
    state.counters["consumers"] = static_cast<double>(b.consumers);
}

std::unique_ptr<TfrmCadastroConsumidor> openForm(const Backend& b, const QString& code, const QString& mode) {
    auto form = std::make_unique<TfrmCadastroConsumidor>(service(), hostDirectory());
    form->FormCreate();
    form->InicializaForm(code, QString(), b.customer, mode);
    form->show();
    QCoreApplication::processEvents();
    return form;
}

void show(TfrmCadastroConsumidor& form, const char* label, const QString& text) {
    for (const registration::FieldSpec& spec : registration::fieldCatalogue()) {
        if (QLatin1String(spec.textLabel) == QLatin1String(label))
            return form.setFieldText(spec.number, text);
    }
    throw std::logic_error(std::string("the form has no field label ") + label);
}

QString labelText(const TfrmCadastroConsumidor& form, const char* label) {
    const auto* target = form.findChild<QLabel*>(QLatin1String(label));
    return target ? target->text() : QString();
}

// Types a password on the physical keyboard, as the operator does.
void typePassword(TfrmCadastroConsumidor& form, int field, const QString& password) {
    form.selectField(field);
    form.mudaCor();
    for (QChar c : password) {
        QChar key = c;
        form.entry().FormKeyPress(key);
    }
}

// A valid CPF of nine digits and its two check digits.
QString cpf(qint64 base) {
    QString digits = QString::number(base % 1000000000).rightJustified(9, u'0');
    for (int weightStart : {10, 11}) {
        int sum = 0;
        for (qsizetype i = 0; i < digits.size(); ++i)
            sum += digits[i].digitValue() * (weightStart - static_cast<int>(i));
        const int r = sum % 11;
        digits += QString::number(r < 2 ? 0 : 11 - r);
    }
    return digits;
}

// A complete new consumer, different at every call: code, name, documents, badge, address, telephones,
// e-mail and a till password.
QString fillNewConsumer(TfrmCadastroConsumidor& form, const Backend& b) {
    const qint64 n = ++nextConsumer;
    const QString code = QStringLiteral("9") + QString::number(n).rightJustified(13, u'0');
    show(form, "lblCodCons", code);
    show(form, "lblNome", QStringLiteral("CONSUMIDOR DE TESTE %1").arg(n));
    show(form, "lblCpf", cpf(700000000 + n));
    show(form, "lblRg", QStringLiteral("SB%1").arg(n));
    show(form, "lblNasc", QStringLiteral("15/08/1995"));
    show(form, "lblPais", b.countryName);
    show(form, "lblUf", b.state);
    show(form, "lblcidade", b.city);
    show(form, "lblBairro", b.neighbourhood.left(30));
    show(form, "lblEndereco", QStringLiteral("RUA DAS ACACIAS"));
    show(form, "lblNumero", QStringLiteral("120"));
    show(form, "lblTelefone", QStringLiteral("1132851740"));
    show(form, "lblCelular", QStringLiteral("11987450321"));
    show(form, "lblEmail", QStringLiteral("consumidor%1@example.com").arg(n));
    show(form, "lblCracha", QStringLiteral("SB%1").arg(n));
    typePassword(form, 19, QStringLiteral("4321"));
    return code;
}

// Touches Confirm.
void touchConfirm(TfrmCadastroConsumidor& form) {
    auto* key = form.findChild<TBlendedBitBtn*>(QStringLiteral("sbtConfirma"));
    if (!key)
        throw std::logic_error("the form has no sbtConfirma");
    QTest::mouseClick(key, Qt::LeftButton);
}

bool saved(const TfrmCadastroConsumidor& form) {
    return form.saved() && !form.isVisible();
}

// Runs the body, turning an exception into a benchmark error. The timer runs at the end of every iteration,
// as the library wants it: each benchmark pauses it around what it does not measure.
template <typename F> void guarded(benchmark::State& state, F&& body) {
    try {
        body();
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

// Where the opening finds its lists. Kept: in the process, unchanged. Changed: the tables behind them changed
// since the last opening, beyond what the change log reaches, so every kept one is read again. OneRow: one
// neighbourhood renamed since the last opening (only its row travels). KeptFile and NoFile: the first opening
// of a new process (a data service of its own, connecting), with the till's kept file current, or with none
// (it then reads every list, and writes the file).
enum class Lists { Kept, Changed, OneRow, KeptFile, NoFile };

// From the call to the form on screen: the form made, initialized as the entry point does it, shown and
// painted. A new consumer: mode "B" and no code, as a till registers one; an existing one: its code.
// Lists::Changed counts a version of every list table up before each opening (not timed), past what the
// change log reaches: the opening then reads every list, as the first one of a process without a file does.
void InicializaForm(benchmark::State& state, Backend* b, bool existing, Lists lists) {
    guarded(state, [&] {
        activate(*b);
        openForm(*b, QString(), QStringLiteral("B")); // the connection opens once per process
        LinkMeter link;
        for (auto _ : state) {
            state.PauseTiming();
            if (lists == Lists::Changed) {
                run(*b, QStringLiteral("UPDATE LISTVERSION SET VERSION = VERSION + 1 WHERE TABLENAME <> 'DATABASE'"));
                run(*b, QStringLiteral("INSERT INTO LISTCHANGE (TABLENAME, VERSION) SELECT TABLENAME, VERSION FROM "
                                       "LISTVERSION"));
            } else if (lists == Lists::OneRow) {
                run(*b, QStringLiteral("UPDATE BAIRRO SET NMBAIRRO = CASE WHEN NMBAIRRO = 'BENCH A' THEN 'BENCH B' "
                                       "ELSE 'BENCH A' END WHERE (CDPAIS, SGESTADO, CDMUNICIPIO, CDBAIRRO) = (SELECT "
                                       "CDPAIS, SGESTADO, CDMUNICIPIO, CDBAIRRO FROM BAIRRO ORDER BY CDPAIS, SGESTADO, "
                                       "CDMUNICIPIO, CDBAIRRO LIMIT 1)"));
            }
            messages.clear();
            link.start();
            state.ResumeTiming();
            const bool newProcess = lists == Lists::KeptFile || lists == Lists::NoFile;
            state.PauseTiming();
            std::unique_ptr<TrdmCadConsumidor> own;
            std::unique_ptr<QTemporaryDir> noFile;
            if (newProcess)
                own = std::make_unique<TrdmCadConsumidor>(QStringLiteral("bench-new-process"));
            if (lists == Lists::NoFile) {
                noFile = std::make_unique<QTemporaryDir>();
                qputenv("CADCONS_CACHE_DIR", noFile->path().toUtf8());
            }
            state.ResumeTiming();
            auto form = std::make_unique<TfrmCadastroConsumidor>(own ? *own : service(), hostDirectory());
            form->FormCreate();
            form->InicializaForm(existing ? b->existingConsumer : QString(), QString(), b->customer,
                                 existing ? QString() : QStringLiteral("B"));
            form->show();
            QCoreApplication::processEvents();
            state.PauseTiming();
            link.stop();
            qunsetenv("CADCONS_CACHE_DIR");
            if (form->registration().consumer.stOperacao != (existing ? u"2" : u"1") || !messages.isEmpty()) {
                state.SkipWithError(("the form did not open as expected: " + messageTexts()).toStdString().c_str());
                break;
            }
            form.reset(); // the form goes after the call, when the host has its answer
            own.reset();
            state.ResumeTiming();
        }
        setCounters(state, *b);
        link.report(state);
    });
}

// From the touch on Confirm to the closed form, a new consumer saved at every iteration: validation, the
// CPF, RG, badge and code checks, country, state and city, password digests and encryption, the insert,
// and the central registration (none asked for by the parameters). Opening the form and typing are not
// timed.
void ConfirmNew(benchmark::State& state, Backend* b) {
    guarded(state, [&] {
        activate(*b);
        int questions = 0;
        LinkMeter link;
        for (auto _ : state) {
            state.PauseTiming();
            auto form = openForm(*b, QString(), QStringLiteral("B"));
            fillNewConsumer(*form, *b);
            QCoreApplication::processEvents(); // painted while typed
            messages.clear();
            link.start();
            state.ResumeTiming();
            touchConfirm(*form);
            state.PauseTiming();
            link.stop();
            for (const MensagemArgs& m : messages)
                questions += m.kind == kMsgPergunta;
            if (!saved(*form)) {
                state.SkipWithError(("not saved: " + messageTexts()).toStdString().c_str());
                break;
            }
            form.reset();
            state.ResumeTiming();
        }
        state.counters["questions"] = benchmark::Counter(questions, benchmark::Counter::kAvgIterations);
        setCounters(state, *b);
        link.report(state);
    });
}

// The same consumer opened and saved again at every iteration, with a new telephone and till password:
// the update path, among all the other consumers.
void ConfirmExisting(benchmark::State& state, Backend* b) {
    guarded(state, [&] {
        activate(*b);
        QString code;
        {
            auto form = openForm(*b, QString(), QStringLiteral("B"));
            code = fillNewConsumer(*form, *b);
            touchConfirm(*form);
            if (!saved(*form))
                throw std::runtime_error(("the consumer to save again was not saved: " + messageTexts()).toStdString());
        }
        int phone = 0;
        LinkMeter link;
        for (auto _ : state) {
            state.PauseTiming();
            auto form = openForm(*b, code, QString());
            if (form->registration().consumer.stOperacao != u"2")
                throw std::runtime_error("the consumer did not open as an existing one");
            show(*form, "lblTelefone", QStringLiteral("11%1").arg(32850000 + ++phone));
            typePassword(*form, 19, QStringLiteral("%1").arg(1000 + phone % 9000));
            QCoreApplication::processEvents(); // painted while typed
            messages.clear();
            link.start();
            state.ResumeTiming();
            touchConfirm(*form);
            state.PauseTiming();
            link.stop();
            if (!saved(*form)) {
                state.SkipWithError(("not saved: " + messageTexts()).toStdString().c_str());
                break;
            }
            form.reset();
            state.ResumeTiming();
        }
        setCounters(state, *b);
        link.report(state);
    });
}

QByteArray cepReply(const Backend& b) {
    // As the public service writes it: mixed case, accents kept; the screen upper-cases and strips them.
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xmlcep>\n  <cep>%1-%2</cep>\n"
                          "  <logradouro>Rua das Acácias</logradouro>\n  <complemento></complemento>\n"
                          "  <bairro>%3</bairro>\n  <localidade>%4</localidade>\n  <uf>%5</uf>\n"
                          "  <ibge>3550308</ibge>\n  <ddd>11</ddd>\n</xmlcep>\n")
        .arg(b.webCep.left(5), b.webCep.mid(5), b.neighbourhood.toLower(), b.city.toLower(), b.state.toLower())
        .toUtf8();
}

// Leaving the postal-code field with a code the outlet's table does not hold, so the screen asks the web
// service; the service answers after 50 ms. Each iteration is the first look-up of a new form, as each
// registration is. The time runs from the key to the filled address. Counters, per look-up: overhead_ms,
// that time less the service's 50 ms; own_ms, that time less what the server took from the whole request
// to its reply (its 50 ms and its thread's scheduling); before_request_ms, from the key to the whole
// request on the server; after_reply_ms, from the reply written to the filled address.
void BuscaEnderecoCEPWeb(benchmark::State& state, Backend* b) {
    guarded(state, [&] {
        if (b->webCep.isEmpty())
            throw std::runtime_error("no postal code free for the web look-up");
        activate(*b);
        cepServer->setBody(cepReply(*b));
        double overhead = 0, own = 0, beforeRequest = 0, afterReply = 0;
        for (auto _ : state) {
            state.PauseTiming();
            auto form = openForm(*b, QString(), QStringLiteral("B"));
            form->selectField(11);
            form->mudaCor();
            form->setFieldText(11, b->webCep);
            QCoreApplication::processEvents(); // painted while typed
            const int before = cepServer->requests();
            messages.clear();
            state.ResumeTiming();
            const auto start = Clock::now();
            form->lookups().BuscaEnderecoCEP();
            const auto end = Clock::now();
            state.PauseTiming();
            overhead += seconds(end - start - kServiceDelay) * 1000;
            own += seconds(end - start - (cepServer->lastReply() - cepServer->lastRequest())) * 1000;
            beforeRequest += seconds(cepServer->lastRequest() - start) * 1000;
            afterReply += seconds(end - cepServer->lastReply()) * 1000;
            if (cepServer->requests() != before + 1 || labelText(*form, "lblcidade") != b->city ||
                labelText(*form, "lblUf") != b->state || !messages.isEmpty()) {
                state.SkipWithError(QStringLiteral("the address was not filled (requests %1, city \"%2\") %3")
                                        .arg(cepServer->requests() - before)
                                        .arg(labelText(*form, "lblcidade"), messageTexts())
                                        .toStdString()
                                        .c_str());
                break;
            }
            form.reset();
            state.ResumeTiming();
        }
        const auto perLookup = [](double total) {
            return benchmark::Counter(total, benchmark::Counter::kAvgIterations);
        };
        state.counters["overhead_ms"] = perLookup(overhead);
        state.counters["own_ms"] = perLookup(own);
        state.counters["before_request_ms"] = perLookup(beforeRequest);
        state.counters["after_reply_ms"] = perLookup(afterReply);
        setCounters(state, *b);
    });
}

// The search list over every city of the country list, built, laid out and painted.
void PesquisaCidadesAbre(benchmark::State& state, Backend* b) {
    guarded(state, [&] {
        activate(*b);
        auto form = openForm(*b, QString(), QStringLiteral("B"));
        form->registration().lists.cdsMunicipio.setFiltered(false);
        int rows = 0;
        for (auto _ : state) {
            auto dialog = std::make_unique<PesquisaDialog>(form->registration().lists.cdsMunicipio, form.get());
            dialog->show();
            QCoreApplication::processEvents();
            state.PauseTiming();
            rows = dialog->model()->rowCount();
            if (rows != form->registration().lists.cdsMunicipio.recordCount()) {
                state.SkipWithError("the list does not show every city");
                break;
            }
            dialog.reset();
            state.ResumeTiming();
        }
        state.counters["rows"] = rows;
        setCounters(state, *b);
    });
}

// One letter typed into the open list of every city, to the narrowed list painted again.
void PesquisaCidadesUmaLetra(benchmark::State& state, Backend* b) {
    guarded(state, [&] {
        activate(*b);
        auto form = openForm(*b, QString(), QStringLiteral("B"));
        form->registration().lists.cdsMunicipio.setFiltered(false);
        PesquisaDialog dialog(form->registration().lists.cdsMunicipio, form.get());
        dialog.show();
        QCoreApplication::processEvents();
        int left = 0;
        for (auto _ : state) {
            state.PauseTiming();
            dialog.clearText();
            QCoreApplication::processEvents();
            state.ResumeTiming();
            QTest::keyClick(&dialog, Qt::Key_S, Qt::NoModifier);
            QCoreApplication::processEvents();
            state.PauseTiming();
            left = dialog.model()->rowCount();
            if (left == 0 || left >= dialog.model()->totalRows()) {
                state.SkipWithError("the letter did not narrow the list");
                break;
            }
            state.ResumeTiming();
        }
        state.counters["rows"] = dialog.model()->totalRows();
        state.counters["rows_left"] = left;
        setCounters(state, *b);
    });
}

// The touch on the city field with the most populous state chosen, to the city list on screen: the
// handler restricts the cities to the state and opens the list.
void PesquisaCidadeDoEstado(benchmark::State& state, Backend* b) {
    guarded(state, [&] {
        activate(*b);
        auto form = openForm(*b, QString(), QStringLiteral("B"));
        form->registration().consumer.stCdPais = QStringLiteral("0055");
        form->setFieldText(7, b->countryName);
        form->registration().consumer.stSgEstado = b->pickerState;
        form->setFieldText(8, b->pickerState);
        QCoreApplication::processEvents();
        messages.clear();
        int rows = 0;
        bool shown = false;
        const PesquisaFn previous = siblingServices().Pesquisa;
        // The list as the default service shows it, but measured when it is on screen and then left.
        siblingServices().Pesquisa = [&](ClientDataSet& dataset, const QString&) {
            PesquisaDialog dialog(dataset, form.get());
            dialog.show();
            QCoreApplication::processEvents();
            state.PauseTiming();
            shown = true;
            rows = dialog.model()->rowCount();
            return false;
        };
        for (auto _ : state) {
            shown = false;
            form->lookups().bdsCidadeClick();
            if (!shown)
                state.PauseTiming();
            if (!shown || rows != b->pickerCities || !messages.isEmpty()) {
                state.SkipWithError(("the state's cities were not offered: " + messageTexts()).toStdString().c_str());
                break;
            }
            state.ResumeTiming();
        }
        siblingServices().Pesquisa = previous;
        state.counters["rows"] = rows;
        setCounters(state, *b);
    });
}

QString takeOption(QList<QByteArray>& args, const QByteArray& name) {
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i].startsWith(name + '=')) {
            const QString value = QString::fromLocal8Bit(args[i].mid(name.size() + 1));
            args.removeAt(i);
            return value;
        }
    }
    return {};
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QList<QByteArray> args;
    for (int i = 0; i < argc; ++i)
        args << QByteArray(argv[i]);
    QString scale = takeOption(args, "--scale");
    if (scale.isEmpty())
        scale = qEnvironmentVariable("CADCONS_BENCH_SCALE");
    std::vector<char*> rest;
    for (QByteArray& a : args)
        rest.push_back(a.data());
    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    if (benchmark::ReportUnrecognizedArguments(restCount, rest.data()))
        return 1;

    qputenv("CADCONS_CRYPTO_KEY", kCryptoKey);
    cepServer = std::make_unique<bench::ScreenLoopbackServer>(kServiceDelay);
    qputenv("CADCONS_CEP_URL", cepServer->baseUrl().toUtf8());
    qunsetenv("CADCONS_CENTRAL_CONNECTION");

    // Every message is recorded and answered yes; the central services are the module's own.
    mensagemHandler() = [](const MensagemArgs& m) {
        messages << m;
        return true;
    };
    siblingServices().Pesquisa = [](ClientDataSet&, const QString&) { return false; };
    installDefaultCentralServices([] { return &service(); });

    const struct {
        const char* label;
        const char* variable;
    } kinds[] = {{"sqlite", "CADCONS_BENCH_SQLITE"}, {"postgres", "CADCONS_BENCH_PG"}};
    for (const auto& kind : kinds) {
        const QString value = qEnvironmentVariable(kind.variable);
        if (value.isEmpty()) {
            std::fprintf(stderr, "screen_bench: %s is not set: %s skipped\n", kind.variable, kind.label);
            continue;
        }
        try {
            backends.push_back(prepareBackend(QLatin1String(kind.label), value));
            if (const QString link = qEnvironmentVariable("CADCONS_BENCH_LINK");
                !link.isEmpty() && backends.back()->label == u"postgres")
                backends.back()->label += u'-' + link;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "screen_bench: %s: %s\n", kind.label, e.what());
            return 1;
        }
        const Backend& b = *backends.back();
        benchmark::AddCustomContext(std::string(kind.label) + ".scale",
                                    QStringLiteral("%1 cities, %2 neighbourhoods, %3 consumers")
                                        .arg(b.cities)
                                        .arg(b.neighbourhoods)
                                        .arg(b.consumers)
                                        .toStdString());
    }
    if (!scale.isEmpty())
        benchmark::AddCustomContext("scale", scale.toStdString());

    for (const auto& owned : backends) {
        Backend* b = owned.get();
        const auto add = [&](const char* name, auto&& fn, auto... extra) {
            const std::string full = (QLatin1String(name) + u'/' + b->label).toStdString();
            benchmark::RegisterBenchmark(full.c_str(), fn, b, extra...)->UseRealTime()->Unit(benchmark::kMillisecond);
        };
        add("InicializaForm/new", InicializaForm, false, Lists::Kept);
        add("InicializaForm/existing", InicializaForm, true, Lists::Kept);
        add("InicializaForm/changedLists/existing", InicializaForm, true, Lists::Changed);
        add("InicializaForm/oneNeighbourhoodRenamed/existing", InicializaForm, true, Lists::OneRow);
        add("InicializaForm/newProcess/keptFile/existing", InicializaForm, true, Lists::KeptFile);
        add("InicializaForm/newProcess/noFile/existing", InicializaForm, true, Lists::NoFile);
        add("Confirm/new", ConfirmNew);
        add("Confirm/existing", ConfirmExisting);
        add("BuscaEnderecoCEP/web50ms", BuscaEnderecoCEPWeb);
        add("Pesquisa/cities/open", PesquisaCidadesAbre);
        add("Pesquisa/cities/oneLetter", PesquisaCidadesUmaLetra);
        add("Pesquisa/cityPicker/open", PesquisaCidadeDoEstado);
    }

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    service().close();
    int status = 0;
    for (const auto& b : backends) {
        try {
            deleteOurConsumers(*b);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "screen_bench: %s: %s\n", qPrintable(b->label), e.what());
            status = 1;
        }
        QSqlDatabase::database(b->queryConnection, false).close();
    }
    backends.clear();
    cepServer.reset();
    return status;
}
