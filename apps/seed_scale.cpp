#include "seed_scale.h"

#include "config/connection.h"
#include "service/consumer_table.h"
#include "service/schema.h"

#include <QDateTime>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QStringList>
#include <algorithm>
#include <numeric>
#include <stdexcept>
#include <vector>

// The rows, all derived from the options alone:
//   PAIS        '0055' Brasil.
//   ESTADO      the first `states` of the 27 federative units, in the order of the demonstration data.
//   MUNICIPIO   `cities` spread over the states as the real ones are; each state's capital is '0001' under
//               its real name, the others have names unique within their state. Codes '0001'...
//   BAIRRO      `neighbourhoods` spread over the cities (capitals get many); the first of each city is
//               CENTRO. CDBAIRRO is a running number of ten digits over the whole table.
//   CEP         `ceps` eight-digit codes inside the real range of their state, spread over the
//               neighbourhoods in order, each pointing at an existing city and neighbourhood.
//   TIPOCONS    the demonstration types '01' to '04'.
//   CLIENTE     `customers`: the three of the demonstration data and its customer list first, then
//               000000000000000000004 and on.
//   PARAVEND    branch '0001' of customer 1: type '01', sale type '7', as in the demonstration data.
//   CONSUMIDOR  `consumers`, number j (from 0) under customer j % customers with code
//               (j / customers + 1) in 21 digits; CPF (11 digits, valid), RG (9 digits), badge
//               (13 digits) and external code ("EX" + 10 digits) unique over the table; situation '2'
//               for every 50th, '1' otherwise; the address of one of the postal codes.
namespace cadcons {

namespace {

struct StateInfo {
    const char* code;
    const char* name;
    const char* capital;
    int realCities; // the country's count, which sets the share of each state
    int cepFirst;   // first and last five-digit prefix of the state's postal codes
    int cepLast;
};

// The capitals keep the demonstration data's names, so its addresses stay valid at any scale.
const StateInfo kStates[] = {
    {"AC", "Acre", "RIO BRANCO", 22, 69900, 69999},
    {"AL", "Alagoas", "MACEIO", 102, 57000, 57999},
    {"AP", "Amapá", "MACAPA", 16, 68900, 68999},
    {"AM", "Amazonas", "MANAUS", 62, 69000, 69299},
    {"BA", "Bahia", "SALVADOR", 417, 40000, 48999},
    {"CE", "Ceará", "FORTALEZA", 184, 60000, 63999},
    {"DF", "Distrito Federal", "BRASILIA", 1, 70000, 72799},
    {"ES", "Espírito Santo", "VITORIA", 78, 29000, 29999},
    {"GO", "Goiás", "GOIANIA", 246, 73700, 76799},
    {"MA", "Maranhão", "SAO LUIS", 217, 65000, 65999},
    {"MT", "Mato Grosso", "CUIABA", 142, 78000, 78899},
    {"MS", "Mato Grosso do Sul", "CAMPO GRANDE", 79, 79000, 79999},
    {"MG", "Minas Gerais", "BELO HORIZONTE", 853, 30000, 39999},
    {"PA", "Pará", "BELEM", 144, 66000, 68899},
    {"PB", "Paraíba", "JOAO PESSOA", 223, 58000, 58999},
    {"PR", "Paraná", "CURITIBA", 399, 80000, 87999},
    {"PE", "Pernambuco", "RECIFE", 185, 50000, 56999},
    {"PI", "Piauí", "TERESINA", 224, 64000, 64999},
    {"RJ", "Rio de Janeiro", "RIO DE JANEIRO", 92, 20000, 28999},
    {"RN", "Rio Grande do Norte", "NATAL", 167, 59000, 59999},
    {"RS", "Rio Grande do Sul", "PORTO ALEGRE", 497, 90000, 99999},
    {"RO", "Rondônia", "PORTO VELHO", 52, 76800, 76999},
    {"RR", "Roraima", "BOA VISTA", 15, 69300, 69399},
    {"SC", "Santa Catarina", "FLORIANOPOLIS", 295, 88000, 89999},
    {"SP", "São Paulo", "SAO PAULO", 645, 1000, 19999},
    {"SE", "Sergipe", "ARACAJU", 75, 49000, 49999},
    {"TO", "Tocantins", "PALMAS", 139, 77000, 77999},
};
constexpr int kStateCount = sizeof(kStates) / sizeof(kStates[0]);

// City names: stem and ending. None of them makes a capital's name.
const char* const kCityStems[] = {
    "SAO JOSE",    "SANTA RITA",    "SANTO ANTONIO", "NOVA ESPERANCA", "PORTO NOVO",   "CAMPO ALEGRE",
    "SERRA NEGRA", "RIO BONITO",    "LAGOA SANTA",   "MORRO AGUDO",    "BARRA MANSA",  "ALTO ALEGRE",
    "TRES RIOS",   "MONTE ALEGRE",  "PEDRA BRANCA",  "CRUZEIRO",       "PALMEIRAS",    "ITAPEVA",
    "ITABIRA",     "JACAREI",       "TAUBATE",       "SAO JOAO",       "SANTA LUZIA",  "SAO MIGUEL",
    "BOM JESUS",   "SAO FRANCISCO", "SANTA CRUZ",    "SAO SEBASTIAO",  "SANTA ISABEL", "SAO PEDRO",
    "AGUA BRANCA", "ARAGUAIA",      "BELA VISTA",    "CACHOEIRA",      "CAMPINA",      "CANDEIAS",
    "CAPELA",      "CORRENTES",     "DORES",         "ESPERANCA",      "FLORESTA",     "GUARANI",
    "IBIRAPUERA",  "ITAMBE",        "JAGUARI",       "LIBERDADE",      "MATA GRANDE",  "MIRADOURO",
    "NAZARE",      "OLIVEIRA",      "PARAISO",       "PIEDADE",        "QUEIMADAS",    "RIACHAO",
    "SALINAS",     "TABOCAS",       "UNIAO",         "VARZEA GRANDE",  "VERTENTES",    "XIQUE XIQUE",
};
const char* const kCityEndings[] = {
    "",          " DO NORTE",   " DO SUL", " DO OESTE",   " DO LESTE", " DA SERRA", " DOS CAMPOS",
    " DO MATO",  " DAS FLORES", " DO RIO", " DAS PEDRAS", " DO VALE",  " DA MATA",  " DO PARA",
    " DE MINAS", " DA BARRA",
};

const char* const kNeighbourhoodKinds[] = {"JARDIM",  "VILA",   "PARQUE",      "CONJUNTO", "RESIDENCIAL",
                                           "SETOR",   "NUCLEO", "RECANTO",     "CHACARA",  "LOTEAMENTO",
                                           "ALTO DO", "BAIRRO", "CIDADE NOVA", "PORTAL",   "RECREIO"};
const char* const kNames[] = {
    "AMERICA",       "EUROPA",        "SAO JORGE",   "BELA VISTA", "PRIMAVERA",     "DAS ROSAS",     "AURORA",
    "ESPERANCA",     "IPIRANGA",      "DAS FLORES",  "SANTA FE",   "BOA VISTA",     "DAS ACACIAS",   "INDEPENDENCIA",
    "PARAISO",       "SOL NASCENTE",  "MONTE VERDE", "SAO LUCAS",  "ITAPUA",        "DAS PALMEIRAS", "REDENCAO",
    "UNIVERSITARIO", "DOS IPES",      "TROPICAL",    "SAO BENTO",  "SAO CRISTOVAO", "HORIZONTE",     "SANTA MONICA",
    "ALVORADA",      "DOS PINHEIROS", "CAICARA",     "MORUMBI",    "PANORAMA",      "VISTA ALEGRE",  "CRUZEIRO",
    "SANTA CLARA",   "BOM RETIRO",    "PLANALTO",    "RENASCENCA",
};

const char* const kStreetKinds[] = {"RUA", "AVENIDA", "TRAVESSA", "ALAMEDA", "RUA", "RUA", "PRACA", "RUA"};
const char* const kFirstNames[] = {
    "MARIA",  "JOSE",    "ANA",     "JOAO",     "ANTONIO", "FRANCISCA", "CARLOS",  "PAULO",    "ADRIANA",
    "LUCAS",  "JULIANA", "PEDRO",   "MARCIA",   "RAFAEL",  "FERNANDA",  "MARCOS",  "PATRICIA", "LUIZ",
    "ALINE",  "GABRIEL", "SANDRA",  "RODRIGO",  "CAMILA",  "EDUARDO",   "AMANDA",  "FELIPE",   "LETICIA",
    "BRUNO",  "BEATRIZ", "GUSTAVO", "LARISSA",  "DANIEL",  "VANESSA",   "MATEUS",  "CLAUDIA",  "RICARDO",
    "HELENA", "TIAGO",   "RENATA",  "VINICIUS", "SIMONE",  "LEONARDO",  "TATIANE", "SERGIO",   "LUCIANA",
};
const char* const kSurnames[] = {
    "SILVA",   "SANTOS",  "OLIVEIRA", "SOUZA",   "RODRIGUES",  "FERREIRA",  "ALVES",   "PEREIRA",  "LIMA",
    "GOMES",   "COSTA",   "RIBEIRO",  "MARTINS", "CARVALHO",   "ALMEIDA",   "LOPES",   "SOARES",   "FERNANDES",
    "VIEIRA",  "BARBOSA", "ROCHA",    "DIAS",    "NASCIMENTO", "ANDRADE",   "MOREIRA", "NUNES",    "MARQUES",
    "MACHADO", "MENDES",  "FREITAS",  "CARDOSO", "RAMOS",      "GONCALVES", "SANTANA", "TEIXEIRA", "ARAUJO",
};

template <typename T, size_t N> constexpr int countOf(const T (&)[N]) {
    return static_cast<int>(N);
}

QString latin(const char* text) {
    return QString::fromUtf8(text);
}

QString digits(qint64 value, int width) {
    return QString::number(value).rightJustified(width, u'0');
}

// Well-mixed bits of an integer, for choices that should look scattered but stay the same every run.
quint64 mix(quint64 x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// Shares `total` among items by weight (largest remainders; ties to the earlier item), at least one
// each when there are enough to go round.
std::vector<qint64> share(qint64 total, const std::vector<qint64>& weights) {
    const auto n = static_cast<qint64>(weights.size());
    std::vector<qint64> result(weights.size(), 0);
    if (n == 0 || total <= 0)
        return result;
    qint64 rest = total;
    if (total >= n) {
        std::fill(result.begin(), result.end(), 1);
        rest -= n;
    }
    const qint64 weightSum = std::accumulate(weights.begin(), weights.end(), qint64(0));
    std::vector<std::pair<qint64, qint64>> remainders; // (remainder, index)
    remainders.reserve(weights.size());
    qint64 given = 0;
    for (qint64 i = 0; i < n; ++i) {
        // rest * weight stays well inside 64 bits for the sizes we accept.
        const qint64 product = rest * weights[static_cast<size_t>(i)];
        result[static_cast<size_t>(i)] += product / weightSum;
        given += product / weightSum;
        remainders.emplace_back(product % weightSum, i);
    }
    std::stable_sort(remainders.begin(), remainders.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (qint64 k = 0; k < rest - given; ++k)
        ++result[static_cast<size_t>(remainders[static_cast<size_t>(k)].second)];
    return result;
}

QString cityName(int stateIndex, int local) {
    if (local == 0)
        return latin(kStates[stateIndex].capital);
    const int i = local - 1;
    const int stems = countOf(kCityStems);
    const int endings = countOf(kCityEndings);
    QString name = latin(kCityStems[i % stems]) + latin(kCityEndings[i / stems % endings]);
    if (const int round = i / (stems * endings); round > 0)
        name += u' ' + QString::number(round + 1);
    return name;
}

QString neighbourhoodName(qint64 local) {
    if (local == 0)
        return QStringLiteral("CENTRO");
    const qint64 i = local - 1;
    const int kinds = countOf(kNeighbourhoodKinds);
    const int names = countOf(kNames);
    QString name = latin(kNeighbourhoodKinds[i % kinds]) + u' ' + latin(kNames[i / kinds % names]);
    if (const qint64 round = i / (kinds * names); round > 0)
        name += u' ' + QString::number(round + 1);
    return name;
}

QString streetName(qint64 k) {
    const quint64 h = mix(static_cast<quint64>(k) ^ 0x5EEDull);
    return latin(kStreetKinds[h % countOf(kStreetKinds)]) + u' ' + latin(kFirstNames[h / 8 % countOf(kFirstNames)]) +
           u' ' + latin(kSurnames[h / 512 % countOf(kSurnames)]);
}

// The two check digits that make a document number valid, appended.
QString withCheckDigits(const QString& base, const std::vector<int>& firstWeights,
                        const std::vector<int>& secondWeights) {
    QString number = base;
    for (const auto* weights : {&firstWeights, &secondWeights}) {
        int sum = 0;
        for (size_t i = 0; i < weights->size(); ++i)
            sum += number[static_cast<qsizetype>(i)].digitValue() * (*weights)[i];
        const int rest = sum % 11;
        number += QChar(u'0' + (rest < 2 ? 0 : 11 - rest));
    }
    return number;
}

QString cpf(const QString& nineDigits) {
    return withCheckDigits(nineDigits, {10, 9, 8, 7, 6, 5, 4, 3, 2}, {11, 10, 9, 8, 7, 6, 5, 4, 3, 2});
}

QString cnpj(const QString& twelveDigits) {
    return withCheckDigits(twelveDigits, {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2}, {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2});
}

QVariant nullText() {
    return QVariant(QMetaType::fromType<QString>());
}

// Multi-row INSERTs through one prepared statement, one transaction per batch of rows.
class Inserter {
public:
    Inserter(QSqlDatabase& db, const QString& table, const QStringList& columns, qint64& done, qint64 total,
             const ScaleProgress& progress)
        : db_(db)
        , table_(table)
        , columns_(columns)
        , done_(done)
        , total_(total)
        , progress_(progress) {
        // Well inside the parameter limits of SQLite (32766) and PostgreSQL (65535).
        rowsPerStatement_ = std::max(1, std::min(500, 16000 / static_cast<int>(columns.size())));
        rows_.reserve(static_cast<size_t>(rowsPerStatement_));
    }
    Inserter(const Inserter&) = delete;
    Inserter& operator=(const Inserter&) = delete;
    ~Inserter() {
        if (inTransaction_)
            db_.rollback();
    }

    void add(QVariantList row) {
        // Values bind by position: one too few or too many would shift every later column of the batch.
        if (row.size() != columns_.size())
            throw std::logic_error(QStringLiteral("%1: a row of %2 values for %3 columns")
                                       .arg(table_)
                                       .arg(row.size())
                                       .arg(columns_.size())
                                       .toStdString());
        rows_.push_back(std::move(row));
        if (static_cast<int>(rows_.size()) == rowsPerStatement_)
            flush();
    }

    // Writes what is left and commits.
    void finish() {
        flush();
        commit();
    }

private:
    void flush() {
        if (rows_.empty())
            return;
        if (!inTransaction_) {
            if (!db_.transaction())
                throw DatabaseError(QStringLiteral("%1: could not begin a transaction").arg(table_), db_.lastError());
            inTransaction_ = true;
        }
        QSqlQuery& query = statementFor(static_cast<int>(rows_.size()));
        int position = 0;
        for (const QVariantList& row : rows_) {
            for (const QVariant& value : row)
                query.bindValue(position++, value);
        }
        if (!query.exec())
            throw DatabaseError(QStringLiteral("%1: inserting %2 rows failed").arg(table_).arg(rows_.size()),
                                query.lastError());
        done_ += static_cast<qint64>(rows_.size());
        inBatch_ += static_cast<qint64>(rows_.size());
        rows_.clear();
        if (inBatch_ >= kRowsPerTransaction)
            commit();
        if (progress_)
            progress_(done_, total_);
    }

    void commit() {
        if (!inTransaction_)
            return;
        if (!db_.commit())
            throw DatabaseError(QStringLiteral("%1: could not commit").arg(table_), db_.lastError());
        inTransaction_ = false;
        inBatch_ = 0;
    }

    QSqlQuery& statementFor(int rows) {
        QSqlQuery& query = rows == rowsPerStatement_ ? full_ : partial_;
        if (preparedRows(rows))
            return query;
        const QString one = u'(' + QStringList(columns_.size(), QStringLiteral("?")).join(u',') + u')';
        const QString text = QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                                 .arg(table_, columns_.join(u','), QStringList(rows, one).join(u','));
        query = QSqlQuery(db_);
        if (!query.prepare(text))
            throw DatabaseError(QStringLiteral("%1: the insert could not be prepared").arg(table_), query.lastError());
        (rows == rowsPerStatement_ ? fullRows_ : partialRows_) = rows;
        return query;
    }

    bool preparedRows(int rows) const { return rows == rowsPerStatement_ ? fullRows_ == rows : partialRows_ == rows; }

    static constexpr qint64 kRowsPerTransaction = 20000;

    QSqlDatabase& db_;
    QString table_;
    QStringList columns_;
    qint64& done_;
    qint64 total_;
    const ScaleProgress& progress_;
    int rowsPerStatement_ = 1;
    std::vector<QVariantList> rows_;
    QSqlQuery full_;
    QSqlQuery partial_;
    int fullRows_ = 0;
    int partialRows_ = 0;
    bool inTransaction_ = false;
    qint64 inBatch_ = 0;
};

// SQLite writes far faster without its journal on disk and without waiting for the disk; both come back
// as they were when the seeding ends, also on failure.
class SqliteSeedingSettings {
public:
    explicit SqliteSeedingSettings(QSqlDatabase& db)
        : db_(db) {
        journal_ = pragma(QStringLiteral("journal_mode"));
        synchronous_ = pragma(QStringLiteral("synchronous"));
        cacheSize_ = pragma(QStringLiteral("cache_size"));
        set(QStringLiteral("journal_mode"), QStringLiteral("MEMORY"));
        set(QStringLiteral("synchronous"), QStringLiteral("OFF"));
        set(QStringLiteral("cache_size"), QStringLiteral("-131072"));
    }
    ~SqliteSeedingSettings() {
        set(QStringLiteral("cache_size"), cacheSize_);
        set(QStringLiteral("synchronous"), synchronous_);
        set(QStringLiteral("journal_mode"), journal_);
    }
    SqliteSeedingSettings(const SqliteSeedingSettings&) = delete;
    SqliteSeedingSettings& operator=(const SqliteSeedingSettings&) = delete;

private:
    QString pragma(const QString& name) {
        QSqlQuery query(db_);
        if (!query.exec(QStringLiteral("PRAGMA %1").arg(name)) || !query.next())
            throw DatabaseError(QStringLiteral("Could not read PRAGMA %1").arg(name), query.lastError());
        return query.value(0).toString();
    }
    void set(const QString& name, const QString& value) {
        if (value.isEmpty())
            return;
        QSqlQuery query(db_);
        query.exec(QStringLiteral("PRAGMA %1 = %2").arg(name, value));
    }

    QSqlDatabase& db_;
    QString journal_;
    QString synchronous_;
    QString cacheSize_;
};

struct City {
    int state;
    int local; // 0 is the capital
    QString code;
    QString name;
};

struct Neighbourhood {
    int city;
    QString code;
    QString name;
    qint64 firstCep; // index of its first postal code
};

class Seeder {
public:
    Seeder(QSqlDatabase& db, const ScaleOptions& o, const ScaleProgress& progress)
        : db_(db)
        , o_(o)
        , progress_(progress) {}

    void run() {
        validate();
        plan();
        total_ = 1 + o_.states + o_.cities + o_.neighbourhoods + o_.ceps + 4 + o_.customers + 1 + o_.consumers;
        if (progress_)
            progress_(0, total_);
        reference();
        neighbourhoodsAndCeps();
        customers();
        consumers();
        // Fresh statistics, so the planners see the tables as they now are.
        QSqlQuery analyze(db_);
        if (!analyze.exec(QStringLiteral("ANALYZE")))
            throw DatabaseError(QStringLiteral("ANALYZE failed"), analyze.lastError());
        if (progress_)
            progress_(total_, total_);
    }

private:
    void validate() const {
        const auto require = [](bool ok, const char* what) {
            if (!ok)
                throw std::invalid_argument(what);
        };
        require(o_.states >= 1 && o_.states <= kStateCount, "states must be from 1 to 27");
        require(o_.cities >= o_.states, "every state needs a city: cities must be at least states");
        require(o_.neighbourhoods >= 0 && o_.neighbourhoods <= 9999999999LL / 10, "neighbourhoods out of range");
        require(o_.ceps >= 0 && (o_.ceps == 0 || o_.neighbourhoods > 0), "postal codes need neighbourhoods");
        require(o_.customers >= 1 && o_.customers <= 1000000, "customers must be from 1 to 1,000,000");
        require(o_.consumers >= 0 && o_.consumers <= 100000000, "consumers must be from 0 to 100,000,000");
    }

    // Cities, neighbourhoods and where the postal codes fall, before anything is written.
    void plan() {
        std::vector<qint64> stateWeights;
        for (int s = 0; s < o_.states; ++s)
            stateWeights.push_back(kStates[s].realCities);
        const std::vector<qint64> citiesPerState = share(o_.cities, stateWeights);
        for (int s = 0; s < o_.states; ++s) {
            if (citiesPerState[static_cast<size_t>(s)] > 9999)
                throw std::invalid_argument("too many cities for four-digit city codes");
            for (int c = 0; c < citiesPerState[static_cast<size_t>(s)]; ++c)
                cities_.push_back({s, c, digits(c + 1, 4), cityName(s, c)});
        }

        // Capitals have a great many neighbourhoods, the other cities a handful each.
        std::vector<qint64> cityWeights;
        for (size_t c = 0; c < cities_.size(); ++c)
            cityWeights.push_back(cities_[c].local == 0 ? 150 : 1 + static_cast<qint64>(mix(c) % 16));
        const std::vector<qint64> perCity = share(o_.neighbourhoods, cityWeights);
        qint64 running = 0;
        for (size_t c = 0; c < cities_.size(); ++c) {
            for (qint64 b = 0; b < perCity[c]; ++b)
                neighbourhoods_.push_back({static_cast<int>(c), digits(++running, 10), neighbourhoodName(b), 0});
        }

        // Postal codes: an even share per neighbourhood, in order, so a state's codes are one run.
        const auto nb = static_cast<qint64>(neighbourhoods_.size());
        stateFirstCep_.assign(static_cast<size_t>(o_.states) + 1, 0);
        qint64 next = 0;
        int state = 0;
        for (qint64 b = 0; b < nb; ++b) {
            Neighbourhood& n = neighbourhoods_[static_cast<size_t>(b)];
            const int s = cities_[static_cast<size_t>(n.city)].state;
            while (state < s)
                stateFirstCep_[static_cast<size_t>(++state)] = next;
            n.firstCep = next;
            next += cepsOf(b);
        }
        while (state < o_.states)
            stateFirstCep_[static_cast<size_t>(++state)] = next;
        for (int s = 0; s < o_.states; ++s) {
            const qint64 room = (kStates[s].cepLast - kStates[s].cepFirst + 1) * qint64(1000);
            if (stateFirstCep_[static_cast<size_t>(s) + 1] - stateFirstCep_[static_cast<size_t>(s)] > room)
                throw std::invalid_argument(QStringLiteral("too many postal codes for the range of %1")
                                                .arg(latin(kStates[s].code))
                                                .toStdString());
        }
    }

    qint64 cepsOf(qint64 neighbourhood) const {
        const auto nb = static_cast<qint64>(neighbourhoods_.size());
        return o_.ceps / nb + (neighbourhood < o_.ceps % nb ? 1 : 0);
    }

    // The neighbourhood of postal code k.
    qint64 neighbourhoodOfCep(qint64 k) const {
        const auto nb = static_cast<qint64>(neighbourhoods_.size());
        const qint64 q = o_.ceps / nb;
        const qint64 r = o_.ceps % nb;
        if (k < r * (q + 1))
            return k / (q + 1);
        return r + (k - r * (q + 1)) / q;
    }

    // The eight digits of postal code k: the state's codes spread evenly over its real range.
    QString cepNumber(qint64 k, int state) const {
        const qint64 first = stateFirstCep_[static_cast<size_t>(state)];
        const qint64 count = stateFirstCep_[static_cast<size_t>(state) + 1] - first;
        const qint64 room = (kStates[state].cepLast - kStates[state].cepFirst + 1) * qint64(1000);
        return digits(kStates[state].cepFirst * qint64(1000) + (k - first) * room / count, 8);
    }

    void reference() {
        {
            Inserter pais(db_, QStringLiteral("PAIS"), {"CDPAIS", "NMPAIS"}, done_, total_, progress_);
            pais.add({QStringLiteral("0055"), QStringLiteral("Brasil")});
            pais.finish();
        }
        {
            Inserter estado(db_, QStringLiteral("ESTADO"), {"CDPAIS", "SGESTADO", "NMESTADO"}, done_, total_,
                            progress_);
            for (int s = 0; s < o_.states; ++s)
                estado.add({QStringLiteral("0055"), latin(kStates[s].code), latin(kStates[s].name)});
            estado.finish();
        }
        Inserter municipio(db_, QStringLiteral("MUNICIPIO"), {"CDPAIS", "SGESTADO", "CDMUNICIPIO", "NMMUNICIPIO"},
                           done_, total_, progress_);
        for (const City& c : cities_)
            municipio.add({QStringLiteral("0055"), latin(kStates[c.state].code), c.code, c.name});
        municipio.finish();
    }

    void neighbourhoodsAndCeps() {
        {
            Inserter bairro(
                db_, QStringLiteral("BAIRRO"),
                {"CDPAIS", "SGESTADO", "CDMUNICIPIO", "CDBAIRRO", "NMBAIRRO", "QTHORAENTREGA", "VRTXENTREGA"}, done_,
                total_, progress_);
            for (size_t b = 0; b < neighbourhoods_.size(); ++b) {
                const Neighbourhood& n = neighbourhoods_[b];
                const City& c = cities_[static_cast<size_t>(n.city)];
                const quint64 h = mix(b ^ 0xBA1Ull);
                bairro.add({QStringLiteral("0055"), latin(kStates[c.state].code), c.code, n.code, n.name,
                            digits(static_cast<qint64>(30 + h % 8 * 15), 4), double(h / 8 % 20) * 0.5});
            }
            bairro.finish();
        }
        Inserter cep(db_, QStringLiteral("CEP"), {"NRCEP", "DSLOGCEP", "CDPAIS", "SGESTADO", "CDMUNICIPIO", "CDBAIRRO"},
                     done_, total_, progress_);
        for (size_t b = 0; b < neighbourhoods_.size(); ++b) {
            const Neighbourhood& n = neighbourhoods_[b];
            const City& c = cities_[static_cast<size_t>(n.city)];
            const QString state = latin(kStates[c.state].code);
            const qint64 count = cepsOf(static_cast<qint64>(b));
            for (qint64 k = n.firstCep; k < n.firstCep + count; ++k)
                cep.add({cepNumber(k, c.state), streetName(k), QStringLiteral("0055"), state, c.code, n.code});
        }
        cep.finish();
    }

    static QString customerCode(qint64 c) { return digits(c + 1, 21); }

    void customers() {
        {
            Inserter tipos(db_, QStringLiteral("TIPOCONS"), {"CDTIPOCONS", "NMTIPOCONS"}, done_, total_, progress_);
            tipos.add({QStringLiteral("01"), QStringLiteral("FUNCIONARIO")});
            tipos.add({QStringLiteral("02"), QStringLiteral("HOSPEDE")});
            tipos.add({QStringLiteral("03"), QStringLiteral("DIRETORIA")});
            tipos.add({QStringLiteral("04"), QStringLiteral("TERCEIRIZADO")});
            tipos.finish();
        }
        {
            // The three customers of the demonstration data and of the customer list file come first.
            const QVariantList demo[] = {
                {customerCode(0), latin("Hotel Beira Mar"), latin("HOTEL BEIRA MAR LTDA"), latin("J"),
                 latin("11222333000181")},
                {customerCode(1), latin("Metalúrgica São João"), latin("METALURGICA SAO JOAO S.A."), latin("J"),
                 latin("16727230000197")},
                {customerCode(2), latin("João da Silva"), latin("JOAO DA SILVA"), latin("F"), latin("52998224725")},
            };
            Inserter cliente(db_, QStringLiteral("CLIENTE"),
                             {"CDCLIENTE", "NMFANTCLIE", "NMRAZSOCCLIE", "IDTPIJURCLIE", "NRINSJURCLIE"}, done_, total_,
                             progress_);
            for (qint64 c = 0; c < o_.customers; ++c) {
                if (c < 3) {
                    cliente.add(demo[c]);
                    continue;
                }
                const QString surname = latin(kSurnames[mix(c) % countOf(kSurnames)]);
                if (c % 10 == 9) {
                    const QString first = latin(kFirstNames[mix(c) / 64 % countOf(kFirstNames)]);
                    cliente.add({customerCode(c), first + u' ' + surname, first + u' ' + surname, latin("F"),
                                 cpf(digits(900000000 - c, 9))});
                } else {
                    const QString name = QStringLiteral("COMERCIAL %1 %2").arg(surname).arg(c + 1);
                    cliente.add({customerCode(c), name, name + QStringLiteral(" LTDA"), latin("J"),
                                 cnpj(digits((10000000 + c * 37) % 100000000, 8) + QStringLiteral("0001"))});
                }
            }
            cliente.finish();
        }
        Inserter paravend(db_, QStringLiteral("PARAVEND"), {"CDFILIAL", "CDCLIENTE", "CDTIPOCONS", "IDTPVENDACONS"},
                          done_, total_, progress_);
        paravend.add({QStringLiteral("0001"), customerCode(0), QStringLiteral("01"), QStringLiteral("7")});
        paravend.finish();
    }

    void consumers() {
        // What a save fills, less the secrets. consumerRow's values follow these columns' order.
        static const QStringList columns =
            consumerColumnNames([](const ConsumerColumn& c) { return !c.secret && !isUnused(c); });
        Inserter consumidor(db_, QStringLiteral("CONSUMIDOR"), columns, done_, total_, progress_);
        for (qint64 j = 0; j < o_.consumers; ++j)
            consumidor.add(consumerRow(j));
        consumidor.finish();
    }

    QVariantList consumerRow(qint64 j) const {
        const QString sn[] = {QStringLiteral("S"), QStringLiteral("N")};
        const quint64 h = mix(static_cast<quint64>(j));
        const qint64 customer = j % o_.customers;
        const QString first = latin(kFirstNames[h % countOf(kFirstNames)]);
        const QString surname1 = latin(kSurnames[h / 64 % countOf(kSurnames)]);
        const QString surname2 = latin(kSurnames[h / 4096 % countOf(kSurnames)]);
        const bool female = (h / 262144) % 2 == 0;

        QString cep, street, neighbourhood, state, city;
        if (o_.ceps > 0) {
            const qint64 k = static_cast<qint64>(mix(static_cast<quint64>(j) ^ 0xCE9ull) % o_.ceps);
            const Neighbourhood& n = neighbourhoods_[static_cast<size_t>(neighbourhoodOfCep(k))];
            const City& c = cities_[static_cast<size_t>(n.city)];
            cep = cepNumber(k, c.state);
            street = streetName(k);
            neighbourhood = n.name;
            state = latin(kStates[c.state].code);
            city = c.code;
        }
        const QDate birth = QDate(1940, 1, 1).addDays(static_cast<qint64>(h / 1048576 % 23000));
        const QDateTime saved =
            QDateTime(QDate(2024, 1, 1), QTime(8, 0), Qt::UTC).addSecs(static_cast<qint64>(h / 65536 % 31536000));
        const QString phone = digits(static_cast<qint64>(11 + h % 89), 2) + digits(30000000 + j % 70000000, 8);
        const QString mobile = digits(static_cast<qint64>(11 + h % 89), 2) + u'9' + digits(80000000 + j % 20000000, 8);
        return {customerCode(customer),
                digits(j / o_.customers + 1, 21),
                first + u' ' + surname1 + u' ' + surname2,
                j % 50 == 49 ? QStringLiteral("2") : QStringLiteral("1"),
                QStringLiteral("789") + digits(j, 10),
                QStringLiteral("EX") + digits(j, 10),
                digits(customer + 1, 10),
                digits(static_cast<qint64>(1 + h / 16 % 4), 2),
                digits(200000000 + j * 3, 9),
                cpf(digits((100000000 + j * 7) % 1000000000, 9)),
                phone,
                j % 3 == 0 ? QVariant(phone.left(2) + digits(32000000 + j % 60000000, 8)) : nullText(),
                mobile,
                o_.ceps > 0 ? QVariant(street) : nullText(),
                QString::number(1 + h / 32 % 3000),
                o_.ceps > 0 ? QVariant(neighbourhood) : nullText(),
                QStringLiteral("0055"),
                o_.ceps > 0 ? QVariant(state) : nullText(),
                o_.ceps > 0 ? QVariant(city) : nullText(),
                o_.ceps > 0 ? QVariant(cep) : nullText(),
                QStringLiteral("%1.%2%3@example.com").arg(first.toLower(), surname1.toLower()).arg(j),
                female ? QStringLiteral("F") : QStringLiteral("M"),
                birth.toString(QStringLiteral("yyyy-MM-dd 00:00:00")),
                j % 4 == 0 ? QVariant(first.toLower() + u'.' + QString::number(j)) : nullText(),
                sn[(h >> 40) & 1],
                sn[(h >> 41) & 1],
                sn[(h >> 42) & 1],
                sn[(h >> 43) & 1],
                QString::number(1 + ((h >> 44) % 7)),
                saved.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                QStringLiteral("A"),
                QStringLiteral("C")};
    }

    QSqlDatabase& db_;
    const ScaleOptions& o_;
    const ScaleProgress& progress_;
    std::vector<City> cities_;
    std::vector<Neighbourhood> neighbourhoods_;
    std::vector<qint64> stateFirstCep_; // index of each state's first postal code; one past the end last
    qint64 done_ = 0;
    qint64 total_ = 0;
};

} // namespace

void seedScale(QSqlDatabase& db, const ScaleOptions& options, const ScaleProgress& progress) {
    if (schemaDialect(db) == QLatin1String("sqlite")) {
        SqliteSeedingSettings fast(db);
        Seeder(db, options, progress).run();
    } else {
        Seeder(db, options, progress).run();
    }
}

} // namespace cadcons
