// bench_table: turns the JSON output of the benchmark programs into what bench/README.md shows.
//
//   bench_table table FILE...   a Markdown table of the medians, each of ours beside its baseline
//                               ("STEP/BACKEND" beside "STEP/BACKEND/baseline") with the ratio
//   bench_table points FILE...  one line per median: name, neighbourhoods, consumers, wall ms, CPU ms
//                               (tab-separated, for the growth plot)
//   bench_table link FILE...    a Markdown table of the steps measured behind a link: times, and the bytes
//                               and round trips per iteration where the step counted them
//
// The files are Google Benchmark JSON, run with repetitions; only the "median" aggregates are read (a
// run without repetitions has none, and its single runs are taken instead).

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <cstdio>

namespace {

struct Figure {
    double wallMs = 0;
    double cpuMs = 0;
    double rows = -1;
    double neighbourhoods = -1;
    double consumers = -1;
    double linkBytes = -1;
    double linkRoundTrips = -1;
};

double toMs(double value, const QString& unit) {
    if (unit == QLatin1String("ns"))
        return value / 1e6;
    if (unit == QLatin1String("us"))
        return value / 1e3;
    if (unit == QLatin1String("s"))
        return value * 1e3;
    return value;
}

double counter(const QJsonObject& b, const char* name) {
    return b.contains(QLatin1String(name)) ? b.value(QLatin1String(name)).toDouble() : -1;
}

// Medians by benchmark name, in the order the files list them.
// `all` keeps every median of every file, also when several files measure the same step at other scales.
bool read(const QStringList& files, QList<QString>& order, QMap<QString, Figure>& figures,
          QList<std::pair<QString, Figure>>& all) {
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "bench_table: cannot read %s\n", qPrintable(path));
            return false;
        }
        // Google Benchmark writes NaN and infinities as bare words, which JSON does not have.
        QString text = QString::fromUtf8(file.readAll());
        static const QRegularExpression notNumbers(QStringLiteral(":\\s*-?(NaN|nan|Infinity|inf)\\b"));
        text.replace(notNumbers, QStringLiteral(": null"));
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
        if (document.isNull()) {
            std::fprintf(stderr, "bench_table: %s: %s at %d\n", qPrintable(path), qPrintable(error.errorString()),
                         error.offset);
            return false;
        }
        const QJsonArray benchmarks = document.object().value("benchmarks").toArray();
        bool hasMedians = false;
        for (const QJsonValue& v : benchmarks)
            hasMedians = hasMedians || v.toObject().value("aggregate_name").toString() == QLatin1String("median");
        for (const QJsonValue& v : benchmarks) {
            const QJsonObject b = v.toObject();
            if (hasMedians && b.value("aggregate_name").toString() != QLatin1String("median"))
                continue;
            if (b.contains("error_occurred") && b.value("error_occurred").toBool())
                continue;
            // Benchmarks timed by hand or by the wall clock carry "/manual_time" or "/real_time" in their
            // names; the step is the same.
            QString name = b.value("run_name").toString(b.value("name").toString());
            name.remove(QLatin1String("/manual_time"));
            name.remove(QLatin1String("/real_time"));
            const QString unit = b.value("time_unit").toString();
            Figure f{toMs(b.value("real_time").toDouble(), unit),
                     toMs(b.value("cpu_time").toDouble(), unit),
                     counter(b, "rows"),
                     counter(b, "neighbourhoods"),
                     counter(b, "consumers"),
                     counter(b, "link_bytes"),
                     counter(b, "link_round_trips")};
            if (!figures.contains(name))
                order.append(name);
            figures.insert(name, f);
            all.append({name, f});
        }
    }
    return true;
}

QString ms(double value) {
    if (value >= 100)
        return QString::number(value, 'f', 0);
    if (value >= 10)
        return QString::number(value, 'f', 1);
    if (value >= 1)
        return QString::number(value, 'f', 2);
    return QString::number(value, 'f', 3);
}

QString ratio(double ours, double base) {
    return base > 0 ? QString::number(ours / base, 'f', 2) : QStringLiteral("-");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const QStringList modes = {QStringLiteral("table"), QStringLiteral("points"), QStringLiteral("link")};
    if (args.size() < 2 || !modes.contains(args[0])) {
        std::fprintf(stderr, "usage: bench_table table|points|link FILE...\n");
        return 2;
    }
    const QString mode = args.takeFirst();
    QList<QString> order;
    QMap<QString, Figure> figures;
    QList<std::pair<QString, Figure>> all;
    if (!read(args, order, figures, all))
        return 1;

    QString out;
    if (mode == QLatin1String("points")) {
        for (const auto& [name, f] : all) {
            out += QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                       .arg(name)
                       .arg(f.neighbourhoods, 0, 'f', 0)
                       .arg(f.consumers, 0, 'f', 0)
                       .arg(f.wallMs, 0, 'f', 4)
                       .arg(f.cpuMs, 0, 'f', 4);
        }
    } else if (mode == QLatin1String("link")) {
        out += QStringLiteral("| Step | Wall ms | CPU ms | Bytes | Round trips |\n|---|--:|--:|--:|--:|\n");
        for (const QString& name : order) {
            const Figure& f = figures[name];
            const bool counted = f.linkBytes >= 0;
            out += QStringLiteral("| %1 | %2 | %3 | %4 | %5 |\n")
                       .arg(name, ms(f.wallMs), ms(f.cpuMs), counted ? QString::number(f.linkBytes, 'f', 0) : QString(),
                            counted ? QString::number(f.linkRoundTrips, 'f', 1) : QString());
        }
    } else {
        out += QStringLiteral("| Step | Rows | Ours, wall ms | Ours, CPU ms | Baseline, wall ms | Baseline, CPU ms "
                              "| Ratio, wall | Ratio, CPU |\n|---|--:|--:|--:|--:|--:|--:|--:|\n");
        for (const QString& name : order) {
            if (name.endsWith(QLatin1String("/baseline")))
                continue;
            const Figure& f = figures[name];
            const QString rows = f.rows >= 0 ? QString::number(f.rows, 'f', 0) : QString();
            const auto base = figures.constFind(name + QLatin1String("/baseline"));
            if (base == figures.cend()) {
                out += QStringLiteral("| %1 | %2 | %3 | %4 | | | | |\n").arg(name, rows, ms(f.wallMs), ms(f.cpuMs));
            } else {
                out += QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 | %8 |\n")
                           .arg(name, rows, ms(f.wallMs), ms(f.cpuMs), ms(base->wallMs), ms(base->cpuMs),
                                ratio(f.wallMs, base->wallMs), ratio(f.cpuMs, base->cpuMs));
            }
        }
    }
    const QByteArray bytes = out.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    return 0;
}
