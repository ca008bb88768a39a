#include "platform/client_data_set.h"
#include "platform/packet_file.h"

#include <benchmark/benchmark.h>

using namespace cadcons;

namespace {

// A neighbourhood list the size of a large country's: 60,000 rows over 27 states and many cities.
DataPacket neighbourhoods() {
    DataPacket p;
    p.fields = {{"CDPAIS", FieldType::String, 4},
                {"SGESTADO", FieldType::String, 2},
                {"CDMUNICIPIO", FieldType::String, 4},
                {"CDBAIRRO", FieldType::String, 10},
                {"NMBAIRRO", FieldType::String, 50}};
    for (int i = 0; i < 60000; ++i) {
        const QString state = QString(QChar(u'A' + i % 27 % 26)) + QChar(u'A' + i % 27 / 26);
        p.rows.append({QStringLiteral("1058"), state, QString::number(i / 27 % 400).rightJustified(4, u'0'),
                       QString::number(i).rightJustified(10, u'0'), QStringLiteral("BAIRRO %1").arg(i)});
    }
    return p;
}

void FilterNeighbourhoods(benchmark::State& state) {
    ClientDataSet ds(QStringLiteral("cdsBairro"));
    ds.setData(neighbourhoods());
    ds.setFilter(QStringLiteral("CDPAIS = '1058' AND SGESTADO = 'BA' AND CDMUNICIPIO = '0007'"));
    for (auto _ : state) {
        ds.setFiltered(true);
        benchmark::DoNotOptimize(ds.recordCount());
        ds.setFiltered(false);
    }
    state.SetItemsProcessed(state.iterations() * 60000);
}
BENCHMARK(FilterNeighbourhoods)->Unit(benchmark::kMillisecond);

void LocateNeighbourhood(benchmark::State& state) {
    ClientDataSet ds(QStringLiteral("cdsBairro"));
    ds.setData(neighbourhoods());
    for (auto _ : state)
        benchmark::DoNotOptimize(ds.locate(QStringLiteral("NMBAIRRO"), QStringLiteral("BAIRRO 59999")));
}
BENCHMARK(LocateNeighbourhood)->Unit(benchmark::kMillisecond);

void ReadNeighbourhoodFile(benchmark::State& state) {
    const QByteArray xml = writePacketXml(neighbourhoods());
    for (auto _ : state)
        benchmark::DoNotOptimize(readPacketXml(xml, QStringLiteral("bench")).rows.size());
    state.SetBytesProcessed(state.iterations() * xml.size());
}
BENCHMARK(ReadNeighbourhoodFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
