// Registrations by the thousand in one process, through the data service and through the form's
// Confirm, as a till that stays up all day makes them. Every one must be saved and read back, and the
// process must not grow with them. The suite runs a few hundred; tests/stress/run-load runs ten
// thousand (CADCONS_STRESS_LOAD_COUNT) and prints the figures that docs/RELIABILITY.md records.

#include "save_fixture.h"
#include "service/rdm_cad_consumidor.h"
#include "stress_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <cstdio>
#include <malloc.h>

namespace cadcons::test {
namespace {

// CADCONS_STRESS_FORM_COUNT, when set, counts the form's registrations apart: they cost several times
// what a save through the service costs.
int loadCount(int fallback, const char* own = nullptr) {
    for (const char* variable : {own, "CADCONS_STRESS_LOAD_COUNT"}) {
        bool ok = false;
        const int wanted = variable ? qEnvironmentVariableIntValue(variable, &ok) : 0;
        if (ok && wanted > 0)
            return wanted;
    }
    return fallback;
}

// A valid CPF for each number: nine digits and their two check digits.
QString cpf(int n) {
    QString digits = QString::number(100000000 + n % 800000000);
    for (int round = 0; round < 2; ++round) {
        int sum = 0;
        for (qsizetype i = 0; i < digits.size(); ++i)
            sum += digits[i].digitValue() * static_cast<int>(digits.size() + 1 - i);
        const int rest = sum % 11;
        digits += QString::number(rest < 2 ? 0 : 11 - rest);
    }
    return digits;
}

// What a run measured: resident memory after the warm-up and at the end, and the time of each tenth.
struct Figures {
    qint64 warmKb = 0;
    qint64 endKb = 0;
    // Objects left behind: widgets alive and children of the application object.
    qsizetype warmWidgets = 0, endWidgets = 0, warmChildren = 0, endChildren = 0;
    QList<double> msPerSave; // one per tenth of the run
};

// Runs `count` saves after a warm-up of a tenth as many, measuring as it goes. Memory is read after
// malloc_trim so that what the allocator merely keeps for later does not count.
template <typename Save> Figures measure(int count, Save save) {
    const int warmUp = std::max(10, count / 10);
    for (int i = 0; i < warmUp; ++i)
        save(i);
    malloc_trim(0);
    Figures figures;
    figures.warmKb = stress::residentKb();
    figures.warmWidgets = QApplication::allWidgets().size();
    figures.warmChildren = qApp->children().size();
    const int tenth = std::max(1, count / 10);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i) {
        save(warmUp + i);
        if ((i + 1) % tenth == 0) {
            figures.msPerSave << double(clock.nsecsElapsed()) / 1e6 / tenth;
            clock.restart();
        }
    }
    malloc_trim(0);
    figures.endKb = stress::residentKb();
    figures.endWidgets = QApplication::allWidgets().size();
    figures.endChildren = qApp->children().size();
    return figures;
}

void report(const char* what, const QString& backend, int count, const Figures& f) {
    QStringList tenths;
    for (double ms : f.msPerSave)
        tenths << QString::number(ms, 'f', 2);
    std::printf("[ figures  ] %s on %s, %d saves: resident %lld kB after warm-up, %lld kB at the end (%+lld kB); "
                "widgets %lld -> %lld, application children %lld -> %lld; ms per save by tenths: %s\n",
                what, qPrintable(backend), count, static_cast<long long>(f.warmKb), static_cast<long long>(f.endKb),
                static_cast<long long>(f.endKb - f.warmKb), static_cast<long long>(f.warmWidgets),
                static_cast<long long>(f.endWidgets), static_cast<long long>(f.warmChildren),
                static_cast<long long>(f.endChildren), qPrintable(tenths.join(u' ')));
}

// Growth allowed over a run: SQLite's page cache (2 MB by default) and Qt's statement caches fill as
// the table grows, so a few megabytes are not a leak; a kilobyte lost per save would be 10 MB over
// ten thousand saves.
qint64 allowedGrowthKb(int count) {
    return 6 * 1024 + count / 4;
}

// Under valgrind the resident size is valgrind's own, and under AddressSanitizer it grows with the
// quarantine of freed memory; their leak checkers speak for memory there.
bool residentSizeMeansNothing() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return qEnvironmentVariable("LD_PRELOAD").contains(QLatin1String("vgpreload"));
}

using LoadTest = SaveTest;
INSTANTIATE_TEST_SUITE_P(Backends, LoadTest, ::testing::Values(QStringLiteral("sqlite"), QStringLiteral("postgres")),
                         backendName);

TEST_P(LoadTest, RegistrationsThroughTheServiceAreAllSavedWithoutGrowth) {
    const int count = loadCount(400);
    open({}, {}, QStringLiteral("B")); // connects the data service to this test's database
    form.reset();
    const int before = consumerCount();
    const Figures f = measure(count, [](int i) {
        const GravaConsumidor values = stress::registration(1000000 + i, 1, 600);
        const ServiceResult result = setGravaConsumidor(formService(), values);
        if (!std::holds_alternative<bool>(result))
            FAIL() << "save " << i << ": " << std::get<QString>(result).toStdString();
    });
    report("service", GetParam(), count, f);
    const int warmUp = std::max(10, count / 10);
    EXPECT_EQ(consumerCount(), before + warmUp + count);
    // A sample of what was saved reads back whole.
    for (int i = 0; i < warmUp + count; i += std::max(1, count / 20)) {
        const GravaConsumidor values = stress::registration(1000000 + i, 1, 600);
        EXPECT_EQ(stress::differences(
                      stress::storedColumns(formService().adcCadConsumidor(), values.cdCliente, values.cdConsumidor),
                      stress::expectedColumns(values)),
                  QString())
            << i;
    }
    if (!residentSizeMeansNothing()) {
        EXPECT_LT(f.endKb - f.warmKb, allowedGrowthKb(count));
    }
}

// The whole screen each time: a form created and initialized, filled, confirmed, closed and destroyed.
TEST_P(LoadTest, RegistrationsThroughTheFormAreAllSavedWithoutGrowth) {
    const int count = loadCount(150, "CADCONS_STRESS_FORM_COUNT");
    const int before = consumerCount();
    const Figures f = measure(count, [this](int i) {
        open({}, {}, QStringLiteral("B"));
        fillNewConsumer(QString::number(100000 + i));
        show("lblCpf", cpf(i));
        show("lblRg", QStringLiteral("RG%1").arg(i));
        show("lblCracha", QStringLiteral("L%1").arg(i));
        show("lblNome", QStringLiteral("CONSUMIDOR %1").arg(i));
        messages.clear();
        confirm();
        if (formOpen() || !messages.isEmpty())
            FAIL() << "registration " << i << " was not saved: " << messageTexts().join(u'|').toStdString();
        form.reset();
    });
    report("form", GetParam(), count, f);
    const int warmUp = std::max(10, count / 10);
    EXPECT_EQ(consumerCount(), before + warmUp + count);
    for (int i = 0; i < warmUp + count; i += std::max(1, count / 20)) {
        const QVariantMap row = consumer(kCliente1, code21(100000 + i));
        EXPECT_EQ(row.value(QStringLiteral("NMCONSUMIDOR")).toString(), QStringLiteral("CONSUMIDOR %1").arg(i));
        EXPECT_EQ(row.value(QStringLiteral("NRCPFRESPCON")).toString(), cpf(i));
    }
    if (!residentSizeMeansNothing()) {
        EXPECT_LT(f.endKb - f.warmKb, allowedGrowthKb(count));
    }
}

} // namespace
} // namespace cadcons::test
