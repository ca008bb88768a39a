// Filter texts: parsed, rebuilt from their terms and parsed again; any value quoted and read back; and
// applied to a dataset, whose visible rows must be exactly the rows that match.
#include "platform/client_data_set.h"
#include "platform/data_packet.h"
#include "platform/filter.h"

#include <QStringList>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_filter: %s\n", what);
        std::abort();
    }
}

cadcons::DataPacket packet() {
    using cadcons::FieldType;
    cadcons::DataPacket p;
    p.fields = {{QStringLiteral("CDCLIENTE"), FieldType::String, 10},
                {QStringLiteral("NMCLIENTE"), FieldType::String, 40},
                {QStringLiteral("NRORG"), FieldType::Int32, 0}};
    p.rows = {{QStringLiteral("1"), QStringLiteral("Ana"), qint64(7)},
              {QStringLiteral("2"), QStringLiteral("O'Brien"), qint64(8)},
              {QStringLiteral("2"), QString(), QVariant()},
              {QStringLiteral("A'B"), QStringLiteral("x = 'y'"), qint64(-1)}};
    return p;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace cadcons;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));

    // Any value, quoted, reads back as itself.
    const QList<FilterTerm> quoted = parseFilter(filterTerm(QStringLiteral("COL"), text));
    check(quoted.size() == 1 && quoted[0].column == u"COL" && quoted[0].value == text, "quoted value changed");

    QList<FilterTerm> terms;
    try {
        terms = parseFilter(text);
    } catch (const FilterError&) {
        return 0;
    }
    QStringList rebuilt;
    for (const FilterTerm& term : terms) {
        check(!term.column.isEmpty(), "term without a column");
        rebuilt << filterTerm(term.column, term.value);
    }
    check(parseFilter(rebuilt.join(QStringLiteral(" AND "))) == terms, "rebuilt filter reads differently");

    ClientDataSet ds(QStringLiteral("cdsFuzz"));
    ds.setData(packet());
    ds.setFilter(text);
    try {
        ds.setFiltered(true);
    } catch (const FilterError&) {
        // A column the packet lacks: the dataset must be left unfiltered, all rows visible.
        check(!ds.filtered() && ds.recordCount() == ds.data().rows.size(), "failed filter left its mark");
        return 0;
    }
    check(ds.recordCount() <= ds.data().rows.size(), "more visible rows than rows");
    for (ds.first(); !ds.eof(); ds.next()) {
        for (const FilterTerm& term : terms) {
            if (ds.data().fields[ds.data().fieldIndex(term.column)].type == FieldType::String)
                check(ds.asString(term.column) == term.value, "visible row does not match");
        }
    }
    ds.setFiltered(false);
    check(ds.recordCount() == ds.data().rows.size(), "filter off hides rows");
    return 0;
}
