#include "platform/client_data_set.h"
#include "platform/mask.h"
#include "routines/utility.h"
#include "widgets/pesquisa.h"

#include <QApplication>
#include <QStringList>
#include <QTest>
#include <benchmark/benchmark.h>

// The search list over the two longest lists it is opened on: every city of a large country and a
// neighbourhood list of 60,000 rows. Runs on the offscreen platform unless told otherwise.

using namespace cadcons;

namespace {

const QStringList kWords = {QStringLiteral("SÃO"),    QStringLiteral("SANTA"),     QStringLiteral("NOVA"),
                            QStringLiteral("BOM"),    QStringLiteral("JESUS"),     QStringLiteral("RIO"),
                            QStringLiteral("PORTO"),  QStringLiteral("VILA"),      QStringLiteral("JARDIM"),
                            QStringLiteral("ALTO"),   QStringLiteral("PARAÍSO"),   QStringLiteral("CAMPO"),
                            QStringLiteral("GRANDE"), QStringLiteral("JOSÉ"),      QStringLiteral("BELA"),
                            QStringLiteral("VISTA"),  QStringLiteral("CONCEIÇÃO"), QStringLiteral("ESPERANÇA")};

// Two or three words per name, so that short texts match many rows, as real names do.
QString placeName(int i) {
    const qsizetype n = kWords.size();
    QString name = kWords[i % n] + QLatin1Char(' ') + kWords[(i / n) % n];
    if (i % 3 == 0)
        name += QLatin1Char(' ') + kWords[(i / (n * n)) % n];
    return name + QLatin1Char(' ') + QString::number(i);
}

void loadCities(ClientDataSet& ds, int count) {
    DataPacket p;
    p.fields = {{"CDPAIS", FieldType::String, 4},
                {"SGESTADO", FieldType::String, 2},
                {"CDMUNICIPIO", FieldType::String, 4},
                {"NMMUNICIPIO", FieldType::String, 30}};
    for (int i = 0; i < count; ++i)
        p.rows.append(
            {QStringLiteral("1058"), QStringLiteral("SP"), QString::number(i).rightJustified(4, u'0'), placeName(i)});
    ds.setData(p);
    ds.setDisplay(QStringLiteral("CDPAIS"), {QStringLiteral("Pais"), 10, false});
    ds.setDisplay(QStringLiteral("SGESTADO"), {QStringLiteral("Estado"), 0, false});
    ds.setDisplay(QStringLiteral("CDMUNICIPIO"), {QStringLiteral("Código"), 10, true});
    ds.setDisplay(QStringLiteral("NMMUNICIPIO"), {QStringLiteral("Nome"), 50, true});
}

void loadNeighbourhoods(ClientDataSet& ds, int count) {
    DataPacket p;
    p.fields = {{"CDPAIS", FieldType::String, 4},
                {"SGESTADO", FieldType::String, 2},
                {"CDMUNICIPIO", FieldType::String, 4},
                {"CDBAIRRO", FieldType::String, 10},
                {"NMBAIRRO", FieldType::String, 50}};
    for (int i = 0; i < count; ++i)
        p.rows.append({QStringLiteral("1058"), QStringLiteral("SP"), QString::number(i % 5570).rightJustified(4, u'0'),
                       QString::number(i).rightJustified(10, u'0'), placeName(i)});
    ds.setData(p);
    ds.setDisplay(QStringLiteral("CDPAIS"), {QStringLiteral("País"), 0, true});
    ds.setDisplay(QStringLiteral("SGESTADO"), {QStringLiteral("Estado"), 0, true});
    ds.setDisplay(QStringLiteral("CDMUNICIPIO"), {QStringLiteral("Cidade"), 0, true});
    ds.setDisplay(QStringLiteral("CDBAIRRO"), {QStringLiteral("Código"), 0, true});
    ds.setDisplay(QStringLiteral("NMBAIRRO"), {QStringLiteral("Nome"), 0, true});
}

void load(ClientDataSet& ds, int rows) {
    if (rows > 10000)
        loadNeighbourhoods(ds, rows);
    else
        loadCities(ds, rows);
}

// Reading every display text and folding every row's search key: the cost of opening the list.
void BuildModel(benchmark::State& state) {
    ClientDataSet ds;
    load(ds, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        PesquisaModel m(ds);
        benchmark::DoNotOptimize(m.rowCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BuildModel)->Arg(5570)->Arg(60000)->Unit(benchmark::kMillisecond);

// The same with a GetText handler on a column, as the customer list has: the dataset is walked row
// by row for it.
void BuildModelWithDisplayHandler(benchmark::State& state) {
    ClientDataSet ds;
    load(ds, static_cast<int>(state.range(0)));
    ds.setGetText(QStringLiteral("CDMUNICIPIO"),
                  [](const ClientDataSet&, const QString& raw) { return formatMask(QStringLiteral("9.999"), raw); });
    for (auto _ : state) {
        PesquisaModel m(ds);
        benchmark::DoNotOptimize(m.rowCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BuildModelWithDisplayHandler)->Arg(5570)->Arg(60000)->Unit(benchmark::kMillisecond);

// An operator typing "sao jose" one key at a time, from the whole list.
void TypeToNarrow(benchmark::State& state) {
    ClientDataSet ds;
    load(ds, static_cast<int>(state.range(0)));
    PesquisaModel m(ds);
    const QString typed = QStringLiteral("sao jose");
    int left = 0;
    for (auto _ : state) {
        for (qsizetype n = 1; n <= typed.size(); ++n)
            m.setSearchText(typed.left(n));
        left = m.rowCount();
        m.setSearchText(QString());
    }
    state.SetLabel(QStringLiteral("%1 rows left").arg(left).toStdString());
}
BENCHMARK(TypeToNarrow)->Arg(5570)->Arg(60000)->Unit(benchmark::kMillisecond);

// One keystroke's worth on the whole list: the first letter, the heaviest narrowing step.
void FirstKeystroke(benchmark::State& state) {
    ClientDataSet ds;
    load(ds, static_cast<int>(state.range(0)));
    PesquisaModel m(ds);
    for (auto _ : state) {
        m.setSearchText(QStringLiteral("j"));
        benchmark::DoNotOptimize(m.rowCount());
        m.setSearchText(QString());
    }
}
BENCHMARK(FirstKeystroke)->Arg(5570)->Arg(60000)->Unit(benchmark::kMicrosecond);

// Erasing back to a shorter text goes back to a kept result.
void EraseAndRetype(benchmark::State& state) {
    ClientDataSet ds;
    load(ds, static_cast<int>(state.range(0)));
    PesquisaModel m(ds);
    m.setSearchText(QStringLiteral("s"));
    m.setSearchText(QStringLiteral("sa"));
    for (auto _ : state) {
        m.setSearchText(QStringLiteral("sao"));
        m.setSearchText(QStringLiteral("sa"));
        benchmark::DoNotOptimize(m.rowCount());
    }
}
BENCHMARK(EraseAndRetype)->Arg(5570)->Arg(60000)->Unit(benchmark::kMicrosecond);

// The whole dialog, built and laid out on screen, as the operator sees it open.
void OpenDialog(benchmark::State& state) {
    ClientDataSet ds;
    load(ds, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        PesquisaDialog d(ds);
        d.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(d.model()->rowCount());
    }
}
BENCHMARK(OpenDialog)->Arg(5570)->Arg(60000)->Unit(benchmark::kMillisecond);

// One letter typed on the open dialog, from the key to the narrowed list painted again: what the operator
// waits for after each key.
void DialogOneLetter(benchmark::State& state) {
    ClientDataSet ds;
    load(ds, static_cast<int>(state.range(0)));
    PesquisaDialog d(ds);
    d.show();
    QApplication::processEvents();
    for (auto _ : state) {
        state.PauseTiming();
        d.clearText();
        QApplication::processEvents();
        state.ResumeTiming();
        QTest::keyClick(&d, Qt::Key_J);
        QApplication::processEvents();
    }
    state.SetLabel(QStringLiteral("%1 rows left").arg(d.model()->rowCount()).toStdString());
}
BENCHMARK(DialogOneLetter)->Arg(5570)->Arg(60000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
