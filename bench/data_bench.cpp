// The data path of the registration screen on a seeded database, each step beside its baseline.
//
// Ours: the data service's reads as the form makes them (statement, provider, packet), the packets
// loaded into client datasets, the filter switched on the neighbourhood list, the three look-ups of the
// names shown at Confirm, the postal-code read and the reads of the Confirm checks.
// Baseline: the same statement texts through the database's own C library (SQLite's C API, libpq),
// fetching the same rows into plain structs of std::string; for the filter and the look-ups, a plain
// loop over the same values held in such structs. bench/run reports each of ours as a ratio to its
// baseline: the benchmark "STEP/BACKEND" has its baseline in "STEP/BACKEND/baseline".
//
// Databases, each optional (a backend without its variable is skipped):
//   CADCONS_BENCH_SQLITE  path of a database made by "cadcons-db seed-scale"
//   CADCONS_BENCH_PG      connection string of one ("Provider=QPSQL;Data Source=HOST:PORT;...")
// The counts of the database's tables go into every result as counters, so growth runs are told apart.

#include "config/connection.h"
#include "platform/client_data_set.h"
#include "platform/filter.h"
#include "routines/utility.h"
#include "service/catalogue.h"
#include "service/rdm_cad_consumidor.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <array>
#include <benchmark/benchmark.h>
#include <cctype>
#include <cstdio>
#include <functional>
#include <libpq-fe.h>
#include <map>
#include <memory>
#include <sqlite3.h>
#include <stdexcept>
#include <string>
#include <vector>

using namespace cadcons;

namespace {

// ---------------------------------------------------------------------------------------------------
// Baseline: the C libraries, rows into plain structs.

template <size_t N> struct Row {
    std::array<std::string, N> text;
    std::array<bool, N> null{};
};

using Params = std::vector<std::pair<std::string, std::string>>; // name without colon, value

// The catalogue's ":NAME" parameters as libpq's "$n" (a repeated name keeps its number).
std::string positional(const std::string& text, std::vector<std::string>& order) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == ':' && i + 1 < text.size() && (std::isalpha(static_cast<unsigned char>(text[i + 1])) != 0)) {
            size_t j = i + 1;
            while (j < text.size() && (std::isalnum(static_cast<unsigned char>(text[j])) != 0 || text[j] == '_'))
                ++j;
            const std::string name = text.substr(i + 1, j - i - 1);
            auto found = std::find(order.begin(), order.end(), name);
            if (found == order.end()) {
                order.push_back(name);
                found = order.end() - 1;
            }
            out += '$' + std::to_string(found - order.begin() + 1);
            i = j;
        } else {
            out += text[i++];
        }
    }
    return out;
}

class SqliteC {
public:
    explicit SqliteC(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            throw std::runtime_error("sqlite3_open_v2: " + std::string(sqlite3_errmsg(db_)));
    }
    ~SqliteC() { sqlite3_close(db_); }
    SqliteC(const SqliteC&) = delete;
    SqliteC& operator=(const SqliteC&) = delete;

    // Prepared at every call, as the service prepares at every call.
    template <size_t N> void fetch(const char* sql, const Params& params, std::vector<Row<N>>& rows) {
        rows.clear();
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) != SQLITE_OK)
            throw std::runtime_error("sqlite3_prepare_v2: " + std::string(sqlite3_errmsg(db_)));
        for (const auto& [name, value] : params) {
            const int index = sqlite3_bind_parameter_index(stmt, (':' + name).c_str());
            if (index > 0)
                sqlite3_bind_text(stmt, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        }
        if (static_cast<size_t>(sqlite3_column_count(stmt)) != N)
            throw std::runtime_error(std::string("column count differs for ") + sql);
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            Row<N>& row = rows.emplace_back();
            for (size_t i = 0; i < N; ++i) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, static_cast<int>(i)));
                row.null[i] = text == nullptr;
                if (text)
                    row.text[i].assign(text, static_cast<size_t>(sqlite3_column_bytes(stmt, static_cast<int>(i))));
            }
        }
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE)
            throw std::runtime_error("sqlite3_step: " + std::string(sqlite3_errmsg(db_)));
    }

private:
    sqlite3* db_ = nullptr;
};

class PostgresC {
public:
    explicit PostgresC(const ConnectionSettings& s) {
        std::string info = "host=" + s.hostName.toStdString() + " dbname=" + s.databaseName.toStdString() +
                           " user=" + s.userName.toStdString() + " password=" + s.password.toStdString();
        if (s.port > 0)
            info += " port=" + std::to_string(s.port);
        conn_ = PQconnectdb(info.c_str());
        if (PQstatus(conn_) != CONNECTION_OK)
            throw std::runtime_error("PQconnectdb: " + std::string(PQerrorMessage(conn_)));
    }
    ~PostgresC() { PQfinish(conn_); }
    PostgresC(const PostgresC&) = delete;
    PostgresC& operator=(const PostgresC&) = delete;

    // One round trip with the parameters apart from the text, the way libpq is meant to be used.
    template <size_t N> void fetch(const char* sql, const Params& params, std::vector<Row<N>>& rows) {
        rows.clear();
        auto& converted = texts_[sql];
        if (converted.first.empty())
            converted.first = positional(sql, converted.second);
        std::vector<const char*> values;
        for (const std::string& name : converted.second) {
            const char* value = "";
            for (const auto& [n, v] : params) {
                if (n == name)
                    value = v.c_str();
            }
            values.push_back(value);
        }
        PGresult* result = PQexecParams(conn_, converted.first.c_str(), static_cast<int>(values.size()), nullptr,
                                        values.data(), nullptr, nullptr, 0);
        if (PQresultStatus(result) != PGRES_TUPLES_OK) {
            const std::string message = PQresultErrorMessage(result);
            PQclear(result);
            throw std::runtime_error("PQexecParams: " + message);
        }
        if (static_cast<size_t>(PQnfields(result)) != N)
            throw std::runtime_error(std::string("column count differs for ") + sql);
        const int count = PQntuples(result);
        rows.reserve(static_cast<size_t>(count));
        for (int r = 0; r < count; ++r) {
            Row<N>& row = rows.emplace_back();
            for (size_t i = 0; i < N; ++i) {
                const int c = static_cast<int>(i);
                row.null[i] = PQgetisnull(result, r, c) != 0;
                if (!row.null[i])
                    row.text[i].assign(PQgetvalue(result, r, c), static_cast<size_t>(PQgetlength(result, r, c)));
            }
        }
        PQclear(result);
    }

private:
    PGconn* conn_ = nullptr;
    std::map<std::string, std::pair<std::string, std::vector<std::string>>> texts_;
};

// ---------------------------------------------------------------------------------------------------
// The databases.

struct Backend {
    QString label;
    std::unique_ptr<TrdmCadConsumidor> service;
    std::unique_ptr<SqliteC> sqlite;
    std::unique_ptr<PostgresC> postgres;
    std::map<std::string, qint64> counts;

    // Keys the reads look for, taken from the database itself.
    QString customer = QStringLiteral("000000000000000000001");
    QString branch = QStringLiteral("0001");
    QString consumer, cpf, rg, badge;
    std::vector<QString> ceps;

    template <size_t N> void fetch(const char* sql, const Params& params, std::vector<Row<N>>& rows) {
        if (sqlite)
            sqlite->fetch(sql, params, rows);
        else
            postgres->fetch(sql, params, rows);
    }
    // The reads measured here go to the database: the lists the service keeps between openings are not
    // served until an opening checks their versions, which no benchmark here does.
    void use() const { service->lists().suspend(); }
};

std::vector<std::unique_ptr<Backend>> backends;

QSqlQuery query(const Backend& b, const QString& sql) {
    QSqlQuery q(b.service->adcCadConsumidor());
    q.setForwardOnly(true);
    if (!q.exec(sql))
        throw std::runtime_error((sql + QStringLiteral(": ") + q.lastError().text()).toStdString());
    return q;
}

void openBackend(const QString& label, const QString& connection) {
    auto b = std::make_unique<Backend>();
    b->label = label;
    qputenv("CADCONS_CONNECTION", connection.toUtf8());
    b->service = std::make_unique<TrdmCadConsumidor>(QStringLiteral("bench-") + label);
    b->service->open();
    const ConnectionSettings settings = parseConnectionString(connection);
    if (settings.driver == QLatin1String("QSQLITE"))
        b->sqlite = std::make_unique<SqliteC>(settings.databaseName.toStdString());
    else
        b->postgres = std::make_unique<PostgresC>(settings);

    for (const char* table : {"MUNICIPIO", "BAIRRO", "CEP", "CLIENTE", "CONSUMIDOR"}) {
        QSqlQuery q = query(*b, QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table)));
        q.next();
        b->counts[table] = q.value(0).toLongLong();
    }
    // The last consumer of the customer: the reads must find it wherever it lies.
    {
        QSqlQuery q(b->service->adcCadConsumidor());
        q.prepare(QStringLiteral("SELECT CDCONSUMIDOR, NRCPFRESPCON, NRRGCONSUMID, CDIDCONSUMID FROM CONSUMIDOR "
                                 "WHERE CDCLIENTE = ? ORDER BY CDCONSUMIDOR DESC"));
        q.addBindValue(b->customer);
        if (!q.exec() || !q.next())
            throw std::runtime_error("The database has no consumer of customer 1: seed it with cadcons-db seed-scale");
        b->consumer = q.value(0).toString();
        b->cpf = q.value(1).toString();
        b->rg = q.value(2).toString();
        b->badge = q.value(3).toString();
    }
    // Postal codes spread over the table.
    for (int i = 0; i < 256; ++i) {
        QSqlQuery q(b->service->adcCadConsumidor());
        q.prepare(QStringLiteral("SELECT MIN(NRCEP) FROM CEP WHERE NRCEP >= ?"));
        q.addBindValue(QString::number(i * 390625).rightJustified(8, u'0'));
        if (q.exec() && q.next() && !q.value(0).isNull())
            b->ceps.push_back(q.value(0).toString());
    }
    if (b->ceps.empty())
        throw std::runtime_error("The database has no postal codes: seed it with cadcons-db seed-scale");
    backends.push_back(std::move(b));
}

void addCounters(benchmark::State& state, const Backend& b) {
    state.counters["cities"] = static_cast<double>(b.counts.at("MUNICIPIO"));
    state.counters["neighbourhoods"] = static_cast<double>(b.counts.at("BAIRRO"));
    state.counters["ceps"] = static_cast<double>(b.counts.at("CEP"));
    state.counters["consumers"] = static_cast<double>(b.counts.at("CONSUMIDOR"));
}

DataPacket packet(const ServiceResult& result, const char* what) {
    if (const auto* p = std::get_if<DataPacket>(&result))
        return *p;
    if (const auto* e = std::get_if<QString>(&result))
        throw std::runtime_error(std::string(what) + ": " + e->toStdString());
    throw std::runtime_error(std::string(what) + ": not a packet");
}

// ---------------------------------------------------------------------------------------------------
// The ten reads of the form's initialization, each on its own.

struct Read {
    const char* name;
    std::function<ServiceResult(const Backend&)> ours;
    std::function<size_t(Backend&)> baseline; // rows fetched
};

template <size_t N> size_t baselineFetch(Backend& b, const char* sql, const Params& params) {
    thread_local std::vector<Row<N>> rows;
    b.fetch<N>(sql, params, rows);
    return rows.size();
}

std::string utf8(const QString& s) {
    return s.toStdString();
}

std::vector<Read> reads() {
    using namespace cadcons::sql;
    return {
        {"getNomeCliente", [](const Backend& b) { return getNomeCliente(*b.service, b.customer); },
         [](Backend& b) {
             return baselineFetch<2>(b, adqNomeCliente, {{"P_CDCLIENTE", utf8(b.customer)}});
         }},
        {"getTipoConsPadrao", [](const Backend& b) { return getTipoConsPadrao(*b.service, b.branch); },
         [](Backend& b) {
             return baselineFetch<4>(b, adqTipoConsPadrao, {{"P_CDFILIAL", utf8(b.branch)}});
         }},
        {"getMunicipio", [](const Backend& b) { return getMunicipio(*b.service); },
         [](Backend& b) { return baselineFetch<4>(b, adqMunicipio, {}); }},
        {"getEstado", [](const Backend& b) { return getEstado(*b.service); },
         [](Backend& b) { return baselineFetch<3>(b, adqEstado, {}); }},
        {"getPais", [](const Backend& b) { return getPais(*b.service); },
         [](Backend& b) { return baselineFetch<2>(b, adqPais, {}); }},
        {"getTipoCons", [](const Backend& b) { return getTipoCons(*b.service); },
         [](Backend& b) { return baselineFetch<2>(b, adqTipoCons, {}); }},
        {"getBairro", [](const Backend& b) { return getBairro(*b.service); },
         [](Backend& b) { return baselineFetch<5>(b, adqBairro, {}); }},
        {"getTipoVenda", [](const Backend& b) { return getTipoVenda(*b.service); },
         [](Backend& b) { return baselineFetch<2>(b, adqTipoVendaMssql, {}); }},
        {"getParaVend", [](const Backend& b) { return getParaVend(*b.service, b.branch); },
         [](Backend& b) {
             return baselineFetch<1>(b, adqParaVend, {{"P_CDFILIAL", utf8(b.branch)}});
         }},
        {"getDadosConsumidor/existing",
         [](const Backend& b) { return getDadosConsumidor(*b.service, b.customer, b.consumer); },
         [](Backend& b) {
             return baselineFetch<36>(b, adqDadosConsMssql,
                                      {{"P_CDCLIENTE", utf8(b.customer)},
                                       {"P_CDCONSUMIDOR", utf8(Ajusta(b.consumer, 21))},
                                       {"P_CDCONS", utf8(b.consumer)}});
         }},
        {"getDadosConsumidor/new",
         [](const Backend& b) { return getDadosConsumidor(*b.service, b.customer, QString()); },
         [](Backend& b) {
             return baselineFetch<36>(b, adqDadosConsMssql,
                                      {{"P_CDCLIENTE", utf8(b.customer)},
                                       {"P_CDCONSUMIDOR", utf8(Ajusta(QString(), 21))},
                                       {"P_CDCONS", ""}});
         }},
        // The checks of Confirm: they must not grow with the consumers.
        {"getExisteCPF", [](const Backend& b) { return getExisteCPF(*b.service, b.customer, b.consumer, b.cpf); },
         [](Backend& b) {
             return baselineFetch<5>(b, adqValidaCPF,
                                     {{"P_NRCPFRESPCON", utf8(b.cpf)},
                                      {"P_CDCLIENTE", utf8(b.customer)},
                                      {"P_CDCONSUMIDOR", utf8(b.consumer)}});
         }},
        {"getExisteRG", [](const Backend& b) { return getExisteRG(*b.service, b.customer, b.consumer, b.rg); },
         [](Backend& b) {
             return baselineFetch<5>(b, adqValidaRG,
                                     {{"P_NRRGCONSUMID", utf8(b.rg)},
                                      {"P_CDCLIENTE", utf8(b.customer)},
                                      {"P_CDCONSUMIDOR", utf8(b.consumer)}});
         }},
        {"getExisteIdent", [](const Backend& b) { return getExisteIdent(*b.service, b.consumer, b.badge); },
         [](Backend& b) {
             return baselineFetch<5>(b, adqValidaIdent,
                                     {{"P_CDIDCONSUMID", utf8(b.badge)}, {"P_CDCONSUMIDOR", utf8(b.consumer)}});
         }},
        {"getValidaCons", [](const Backend& b) { return getValidaCons(*b.service, b.consumer, b.customer); },
         [](Backend& b) {
             return baselineFetch<4>(
                 b, adqValidaCons,
                 {{"P_CDCONSUMID", utf8(b.consumer)}, {"P_IDSITCONSUMI", "1"}, {"P_CDCLIENTE", utf8(b.customer)}});
         }},
    };
}

void registerReads(Backend& b) {
    for (const Read& read : reads()) {
        const std::string name = std::string(read.name) + '/' + b.label.toStdString();
        benchmark::RegisterBenchmark(name.c_str(), [&b, read](benchmark::State& state) {
            b.use();
            size_t rows = 0;
            for (auto _ : state) {
                const DataPacket p = packet(read.ours(b), read.name);
                rows = static_cast<size_t>(p.rows.size());
                benchmark::DoNotOptimize(rows);
            }
            state.counters["rows"] = static_cast<double>(rows);
            addCounters(state, b);
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((name + "/baseline").c_str(), [&b, read](benchmark::State& state) {
            size_t rows = 0;
            for (auto _ : state) {
                rows = read.baseline(b);
                benchmark::DoNotOptimize(rows);
            }
            state.counters["rows"] = static_cast<double>(rows);
            addCounters(state, b);
        })->Unit(benchmark::kMillisecond);
    }
}

// ---------------------------------------------------------------------------------------------------
// Packets into client datasets, as the form loads them.

void registerLoads(Backend& b) {
    const std::string suffix = '/' + b.label.toStdString();
    const struct {
        const char* name;
        ServiceResult (*read)(TrdmCadConsumidor&);
        std::function<size_t(Backend&)> baseline;
    } loads[] = {
        {"LoadCds/cdsMunicipio", &getMunicipio, [](Backend& b) { return baselineFetch<4>(b, sql::adqMunicipio, {}); }},
        {"LoadCds/cdsBairro", &getBairro, [](Backend& b) { return baselineFetch<5>(b, sql::adqBairro, {}); }},
    };
    for (const auto& load : loads) {
        const auto read = load.read;
        const std::string name = load.name;
        benchmark::RegisterBenchmark((name + suffix).c_str(), [&b, read, name](benchmark::State& state) {
            b.use();
            ClientDataSet ds(QString::fromStdString(name));
            for (auto _ : state) {
                ds.setData(packet(read(*b.service), name.c_str()));
                benchmark::DoNotOptimize(ds.recordCount());
            }
            state.counters["rows"] = ds.recordCount();
            addCounters(state, b);
        })->Unit(benchmark::kMillisecond);
        const auto baseline = load.baseline;
        benchmark::RegisterBenchmark((name + suffix + "/baseline").c_str(), [&b, baseline](benchmark::State& state) {
            size_t rows = 0;
            for (auto _ : state)
                benchmark::DoNotOptimize(rows = baseline(b));
            state.counters["rows"] = static_cast<double>(rows);
            addCounters(state, b);
        })->Unit(benchmark::kMillisecond);
    }

    // All ten reads into their datasets, in the form's order: the data part of opening the screen.
    benchmark::RegisterBenchmark(("InicializaFormReads/existing" + suffix).c_str(), [&b](benchmark::State& state) {
        b.use();
        ClientDataSet nome, padrao, municipio, estado, pais, tipoCons, bairro, tipoVenda, paraVend, dados;
        for (auto _ : state) {
            nome.setData(packet(getNomeCliente(*b.service, b.customer), "getNomeCliente"));
            padrao.setData(packet(getTipoConsPadrao(*b.service, b.branch), "getTipoConsPadrao"));
            municipio.setData(packet(getMunicipio(*b.service), "getMunicipio"));
            estado.setData(packet(getEstado(*b.service), "getEstado"));
            pais.setData(packet(getPais(*b.service), "getPais"));
            tipoCons.setData(packet(getTipoCons(*b.service), "getTipoCons"));
            bairro.setData(packet(getBairro(*b.service), "getBairro"));
            tipoVenda.setData(packet(getTipoVenda(*b.service), "getTipoVenda"));
            paraVend.setData(packet(getParaVend(*b.service, b.branch), "getParaVend"));
            dados.setData(packet(getDadosConsumidor(*b.service, b.customer, b.consumer), "getDadosConsumidor"));
            benchmark::DoNotOptimize(dados.recordCount());
        }
        addCounters(state, b);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("InicializaFormReads/existing" + suffix + "/baseline").c_str(),
                                 [&b](benchmark::State& state) {
                                     const std::vector<Read> all = reads();
                                     for (auto _ : state) {
                                         for (size_t i = 0; i < 10; ++i)
                                             benchmark::DoNotOptimize(all[i].baseline(b));
                                     }
                                     addCounters(state, b);
                                 })
        ->Unit(benchmark::kMillisecond);
}

// ---------------------------------------------------------------------------------------------------
// Filters on the loaded lists.

struct NeighbourhoodRow {
    std::string code, name, country, state, city;
};
struct CityRow {
    std::string country, state, code, name;
};

template <typename T, size_t N> std::vector<T> plainRows(Backend& b, const char* sql, T (*make)(const Row<N>&)) {
    std::vector<Row<N>> rows;
    b.fetch<N>(sql, {}, rows);
    std::vector<T> out;
    out.reserve(rows.size());
    for (const Row<N>& r : rows)
        out.push_back(make(r));
    return out;
}

void registerFilters(Backend& b) {
    const std::string suffix = '/' + b.label.toStdString();

    // The pick list restricts the neighbourhoods to the chosen city: the capital of Sao Paulo, the
    // largest, and a small city.
    for (const char* city : {"0001", "0002"}) {
        const std::string step = std::string("FilterSwitch/cdsBairro/") + (city[3] == '1' ? "capital" : "town");
        benchmark::RegisterBenchmark((step + suffix).c_str(), [&b, city](benchmark::State& state) {
            b.use();
            ClientDataSet ds(QStringLiteral("cdsBairro"));
            ds.setData(packet(getBairro(*b.service), "getBairro"));
            ds.setFilter(filterTerm(QStringLiteral("CDPAIS"), QStringLiteral("0055")) + QStringLiteral(" AND ") +
                         filterTerm(QStringLiteral("SGESTADO"), QStringLiteral("SP")) + QStringLiteral(" AND ") +
                         filterTerm(QStringLiteral("CDMUNICIPIO"), QLatin1String(city)));
            int visible = 0;
            for (auto _ : state) {
                ds.setFiltered(true);
                visible = ds.recordCount();
                ds.setFiltered(false);
            }
            state.counters["rows"] = static_cast<double>(ds.recordCount());
            state.counters["visible"] = visible;
            addCounters(state, b);
        })->Unit(benchmark::kMillisecond);
        // The first switch after the list was loaded, which also reads the column values once.
        benchmark::RegisterBenchmark((step + "/first" + suffix).c_str(), [&b, city](benchmark::State& state) {
            b.use();
            const DataPacket list = packet(getBairro(*b.service), "getBairro");
            ClientDataSet ds(QStringLiteral("cdsBairro"));
            ds.setFilter(filterTerm(QStringLiteral("CDPAIS"), QStringLiteral("0055")) + QStringLiteral(" AND ") +
                         filterTerm(QStringLiteral("SGESTADO"), QStringLiteral("SP")) + QStringLiteral(" AND ") +
                         filterTerm(QStringLiteral("CDMUNICIPIO"), QLatin1String(city)));
            for (auto _ : state) {
                state.PauseTiming();
                ds.setData(list);
                state.ResumeTiming();
                ds.setFiltered(true);
                benchmark::DoNotOptimize(ds.recordCount());
                ds.setFiltered(false);
            }
            addCounters(state, b);
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((step + suffix + "/baseline").c_str(), [&b, city](benchmark::State& state) {
            const std::vector<NeighbourhoodRow> rows =
                plainRows<NeighbourhoodRow, 5>(b, sql::adqBairro, [](const Row<5>& r) {
                    return NeighbourhoodRow{r.text[0], r.text[1], r.text[2], r.text[3], r.text[4]};
                });
            const std::string country = "0055", uf = "SP", code = city;
            std::vector<int> visible;
            visible.reserve(rows.size());
            for (auto _ : state) {
                visible.clear();
                for (size_t i = 0; i < rows.size(); ++i) {
                    if (rows[i].country == country && rows[i].state == uf && rows[i].city == code)
                        visible.push_back(static_cast<int>(i));
                }
                benchmark::DoNotOptimize(visible.data());
            }
            state.counters["rows"] = static_cast<double>(rows.size());
            state.counters["visible"] = static_cast<double>(visible.size());
            addCounters(state, b);
        })->Unit(benchmark::kMillisecond);
    }

    // The three look-ups of the names on screen at Confirm: country, city in its state, consumer type.
    benchmark::RegisterBenchmark(("PreencheVariaveisLookups" + suffix).c_str(), [&b](benchmark::State& state) {
        b.use();
        ClientDataSet pais, municipio, tipoCons;
        pais.setData(packet(getPais(*b.service), "getPais"));
        municipio.setData(packet(getMunicipio(*b.service), "getMunicipio"));
        tipoCons.setData(packet(getTipoCons(*b.service), "getTipoCons"));
        const auto firstValue = [](ClientDataSet& ds, const QString& filter, const QString& column) {
            ds.setFilter(filter);
            ds.setFiltered(true);
            const QString value = ds.isEmpty() ? QString() : ds.asString(column);
            ds.setFiltered(false);
            return value;
        };
        QString found;
        for (auto _ : state) {
            const QString country = firstValue(pais, filterTerm(QStringLiteral("NMPAIS"), QStringLiteral("Brasil")),
                                               QStringLiteral("CDPAIS"));
            found =
                firstValue(municipio,
                           filterTerm(QStringLiteral("NMMUNICIPIO"), QStringLiteral("SAO PAULO")) +
                               QStringLiteral(" AND ") + filterTerm(QStringLiteral("CDPAIS"), country) +
                               QStringLiteral(" AND ") + filterTerm(QStringLiteral("SGESTADO"), QStringLiteral("SP")),
                           QStringLiteral("CDMUNICIPIO"));
            benchmark::DoNotOptimize(firstValue(tipoCons,
                                                filterTerm(QStringLiteral("NMTIPOCONS"), QStringLiteral("HOSPEDE")),
                                                QStringLiteral("CDTIPOCONS")));
        }
        if (found != QLatin1String("0001"))
            state.SkipWithError("the city look-up did not find SAO PAULO");
        addCounters(state, b);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("PreencheVariaveisLookups" + suffix + "/baseline").c_str(), [&b](benchmark::State&
                                                                                                       state) {
        std::vector<Row<2>> pais, tipos;
        b.fetch<2>(sql::adqPais, {}, pais);
        b.fetch<2>(sql::adqTipoCons, {}, tipos);
        const std::vector<CityRow> cities = plainRows<CityRow, 4>(b, sql::adqMunicipio, [](const Row<4>& r) {
            return CityRow{r.text[0], r.text[1], r.text[2], r.text[3]};
        });
        const auto first = [](const auto& rows, auto match) -> std::string {
            for (const auto& r : rows) {
                if (match(r))
                    return r.text[0];
            }
            return {};
        };
        std::string found;
        for (auto _ : state) {
            const std::string country = first(pais, [](const Row<2>& r) { return r.text[1] == "Brasil"; });
            found.clear();
            for (const CityRow& c : cities) {
                if (c.name == "SAO PAULO" && c.country == country && c.state == "SP") {
                    found = c.code;
                    break;
                }
            }
            benchmark::DoNotOptimize(first(tipos, [](const Row<2>& r) { return r.text[1] == "HOSPEDE"; }));
        }
        if (found != "0001")
            state.SkipWithError("the city look-up did not find SAO PAULO");
        addCounters(state, b);
    })->Unit(benchmark::kMillisecond);
}

// ---------------------------------------------------------------------------------------------------
// The postal-code read: codes spread over the table, then one the table does not hold.

void registerCep(Backend& b) {
    const std::string suffix = '/' + b.label.toStdString();
    benchmark::RegisterBenchmark(("getInfCEP/found" + suffix).c_str(), [&b](benchmark::State& state) {
        b.use();
        size_t i = 0;
        qint64 rows = 0;
        for (auto _ : state) {
            bool ok = false;
            const DataPacket p = packet(getInfCEP(*b.service, b.ceps[i++ % b.ceps.size()], ok), "getInfCEP");
            rows += p.rows.size();
        }
        if (rows != static_cast<qint64>(state.iterations()))
            state.SkipWithError("a seeded postal code did not give exactly one row");
        addCounters(state, b);
    })->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("getInfCEP/found" + suffix + "/baseline").c_str(), [&b](benchmark::State& state) {
        size_t i = 0;
        std::vector<Row<9>> rows;
        for (auto _ : state) {
            b.fetch<9>(sql::adqInfCEP, {{"P_CEP", utf8(b.ceps[i++ % b.ceps.size()])}}, rows);
            benchmark::DoNotOptimize(rows.data());
        }
        addCounters(state, b);
    })->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("getInfCEP/missing" + suffix).c_str(), [&b](benchmark::State& state) {
        b.use();
        for (auto _ : state) {
            bool ok = false;
            benchmark::DoNotOptimize(
                packet(getInfCEP(*b.service, QStringLiteral("00000999"), ok), "getInfCEP").rows.size());
        }
        addCounters(state, b);
    })->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("getInfCEP/missing" + suffix + "/baseline").c_str(), [&b](benchmark::State& state) {
        std::vector<Row<9>> rows;
        for (auto _ : state) {
            b.fetch<9>(sql::adqInfCEP, {{"P_CEP", "00000999"}}, rows);
            benchmark::DoNotOptimize(rows.data());
        }
        addCounters(state, b);
    })->Unit(benchmark::kMicrosecond);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    try {
        if (const QString path = qEnvironmentVariable("CADCONS_BENCH_SQLITE"); !path.isEmpty())
            openBackend(QStringLiteral("sqlite"), QStringLiteral("Provider=QSQLITE;Data Source=") + path);
        if (const QString pg = qEnvironmentVariable("CADCONS_BENCH_PG"); !pg.isEmpty())
            openBackend(QStringLiteral("postgres"), pg);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_data: %s\n", e.what());
        return 1;
    }
    if (backends.empty()) {
        std::fprintf(stderr, "bench_data: set CADCONS_BENCH_SQLITE and/or CADCONS_BENCH_PG to a database made by "
                             "\"cadcons-db seed-scale\" (bench/run does it all)\n");
        return 1;
    }
    for (auto& b : backends) {
        registerReads(*b);
        registerLoads(*b);
        registerFilters(*b);
        registerCep(*b);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    backends.clear();
    return 0;
}
