#include "widgets/pesquisa.h"

#include "image_probe.h"
#include "message_script.h"
#include "platform/client_data_set.h"
#include "platform/mask.h"
#include "qt_printers.h"
#include "routines/sibling.h"
#include "routines/utility.h"
#include "widgets/blended.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace cadcons;

namespace {

using Script = std::function<void(PesquisaDialog*)>;

// The while is generous: a script on sixty thousand rows takes seconds under the sanitizers.
template <typename Show> auto withDialog(const Script& script, Show show) {
    return withModal<PesquisaDialog>(script, show, "search list", 60000);
}

bool pick(ClientDataSet& ds, const Script& script) {
    return withDialog(script, [&] { return showPesquisaDialog(ds, QStringLiteral("N")); });
}

// Keys go through the window, as a physical keyboard's do, so they reach whatever holds the focus.
void press(PesquisaDialog* d, Qt::Key key) {
    QTest::keyClick(d->windowHandle(), key);
}

void type(PesquisaDialog* d, const QString& text) {
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, d->windowHandle(), Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

void touch(PesquisaDialog* d, const QString& keyName) {
    auto* key = d->findChild<TBlendedBitBtn*>(keyName);
    ASSERT_NE(key, nullptr) << keyName.toStdString();
    QTest::mouseClick(key, Qt::LeftButton);
}

void touchRow(PesquisaDialog* d, int row) {
    const QRect r = d->view()->visualRect(d->model()->index(row, 0));
    ASSERT_TRUE(r.isValid());
    // Through the window, so the finger-scrolling in between sees the tap as a screen's would come.
    QTest::mouseClick(d->windowHandle(), Qt::LeftButton, {}, d->view()->viewport()->mapTo(d, r.center()));
}

QString searchLine(PesquisaDialog* d) {
    return d->findChild<QLineEdit*>(QStringLiteral("pesquisaTexto"))->text();
}

// Texts of one column of the rows the list shows.
QStringList column(const PesquisaModel& m, int col) {
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r)
        out << m.data(m.index(r, col)).toString();
    return out;
}

QStringList headers(const PesquisaModel& m) {
    QStringList out;
    for (int c = 0; c < m.columnCount(); ++c)
        out << m.headerData(c, Qt::Horizontal).toString();
    return out;
}

// A city list as the form keeps it: country and state hidden, code and name shown.
void loadCities(ClientDataSet& ds) {
    DataPacket p;
    p.fields = {{"CDPAIS", FieldType::String, 4},
                {"SGESTADO", FieldType::String, 2},
                {"CDMUNICIPIO", FieldType::String, 4},
                {"NMMUNICIPIO", FieldType::String, 30}};
    const char* rows[][3] = {
        {"SP", "3550", "SÃO PAULO"},      {"SP", "3548", "SÃO CARLOS"},     {"SC", "4216", "SÃO JOSÉ"},
        {"RJ", "3304", "RIO DE JANEIRO"}, {"MG", "3106", "BELO HORIZONTE"}, {"PR", "4106", "CURITIBA"},
        {"BA", "2927", "SALVADOR"},       {"PA", "1501", "BELÉM"},          {"SP", "3509", "CAMPINAS"},
        {"GO", "5208", "GOIÂNIA"},        {"MA", "2111", "SÃO LUÍS"},       {"SE", "2800", "ARACAJU"},
        {"SP", "3541", "PRAIA GRANDE"},   {"RS", "4314", "PORTO ALEGRE"},   {"SP", "3552", "SOROCABA"},
    };
    for (const auto& r : rows)
        p.rows.append(
            {QStringLiteral("1058"), QString::fromUtf8(r[0]), QString::fromUtf8(r[1]), QString::fromUtf8(r[2])});
    ds.setData(p);
    ds.setDisplay(QStringLiteral("CDPAIS"), {QStringLiteral("Pais"), 10, false});
    ds.setDisplay(QStringLiteral("SGESTADO"), {QStringLiteral("Estado"), 0, false});
    ds.setDisplay(QStringLiteral("CDMUNICIPIO"), {QStringLiteral("Código"), 10, true});
    ds.setDisplay(QStringLiteral("NMMUNICIPIO"), {QStringLiteral("Nome"), 50, true});
}

// The customer list: the registration number shows through the person type's mask.
void loadCustomers(ClientDataSet& ds) {
    DataPacket p;
    p.fields = {{"CDCLIENTE", FieldType::String, 21},
                {"IDTPIJURCLIE", FieldType::String, 1},
                {"NRINSJURCLIE", FieldType::String, 20},
                {"NMRAZSOCCLIE", FieldType::String, 50},
                {"NMFANTCLIE", FieldType::String, 50}};
    p.rows = {
        {"0001", "F", "12345678909", "JOSE DA SILVA", "PADARIA ESTRELA"},
        {"0002", "J", "11222333000181", "CENTRAL COMERCIO LTDA", "MERCADO CENTRAL"},
        {"0003", "J", "44555666000199", "DROGARIA SJ LTDA", "FARMÁCIA SÃO JOÃO"},
    };
    ds.setData(p);
    ds.setDisplay(QStringLiteral("CDCLIENTE"), {QString(), 0, false});
    ds.setDisplay(QStringLiteral("IDTPIJURCLIE"), {QString(), 0, false});
    ds.setDisplay(QStringLiteral("NRINSJURCLIE"), {QStringLiteral("Inscrição"), 0, true});
    ds.setDisplay(QStringLiteral("NMRAZSOCCLIE"), {QStringLiteral("Razão Social"), 0, false});
    ds.setDisplay(QStringLiteral("NMFANTCLIE"), {QStringLiteral("Nome Fantasia"), 0, true});
    ds.setGetText(QStringLiteral("NRINSJURCLIE"), [](const ClientDataSet& d, const QString& raw) {
        return formatMask(PictPess(d.asString(QStringLiteral("IDTPIJURCLIE"))), raw);
    });
}

DataPacket neighbourhoods(int count) {
    DataPacket p;
    p.fields = {{"CDPAIS", FieldType::String, 4},
                {"SGESTADO", FieldType::String, 2},
                {"CDMUNICIPIO", FieldType::String, 4},
                {"CDBAIRRO", FieldType::String, 10},
                {"NMBAIRRO", FieldType::String, 50}};
    for (int i = 0; i < count; ++i)
        p.rows.append({QStringLiteral("1058"), QStringLiteral("SP"), QStringLiteral("3550"),
                       QString::number(i).rightJustified(10, u'0'), QStringLiteral("BAIRRO %1").arg(i)});
    return p;
}

// Pictures to look at, when asked for: PESQUISA_SNAPSHOT_DIR names the folder.
void saveSnapshot(const QImage& img, const char* name) {
    const QString dir = qEnvironmentVariable("PESQUISA_SNAPSHOT_DIR");
    if (!dir.isEmpty())
        img.save(dir + QLatin1Char('/') + QLatin1String(name));
}

QString cityName(const ClientDataSet& ds) {
    return ds.asString(QStringLiteral("NMMUNICIPIO"));
}

TEST(Pesquisa, TypingNarrowsAndEnterChooses) {
    const struct {
        const char* typed;
        QStringList shown; // names left in the list
        QString chosen;    // the row Enter takes
    } cases[] = {
        {"campinas", {"CAMPINAS"}, "CAMPINAS"},
        {"Sorocaba", {"SOROCABA"}, "SOROCABA"},
        {"ALEG", {"PORTO ALEGRE"}, "PORTO ALEGRE"},
        {"2927", {"SALVADOR"}, "SALVADOR"},
        {"ri", {"RIO DE JANEIRO", "CURITIBA", "BELO HORIZONTE"}, "RIO DE JANEIRO"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        ClientDataSet ds(QStringLiteral("cdsMunicipio"));
        loadCities(ds);
        const bool chosen = pick(ds, [&](PesquisaDialog* d) {
            type(d, QString::fromUtf8(c.typed));
            EXPECT_EQ(searchLine(d), QString::fromUtf8(c.typed));
            QStringList shown = column(*d->model(), 1);
            shown.sort();
            QStringList expected = c.shown;
            expected.sort();
            EXPECT_EQ(shown, expected);
            press(d, Qt::Key_Return);
        });
        EXPECT_TRUE(chosen);
        EXPECT_EQ(cityName(ds), c.chosen);
    }
}

TEST(Pesquisa, LeavingChangesNothing) {
    const struct {
        const char* name;
        std::function<void(PesquisaDialog*)> leave;
    } cases[] = {
        {"Escape", [](PesquisaDialog* d) { press(d, Qt::Key_Escape); }},
        {"Cancelar key", [](PesquisaDialog* d) { touch(d, QStringLiteral("btnCancelar")); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClientDataSet ds(QStringLiteral("cdsMunicipio"));
        loadCities(ds);
        ds.setFilter(QStringLiteral("SGESTADO = 'SP'"));
        ds.setFiltered(true);
        ds.setRecNo(2);
        const bool chosen = pick(ds, [&](PesquisaDialog* d) {
            type(d, QStringLiteral("SORO"));
            press(d, Qt::Key_Down);
            c.leave(d);
        });
        EXPECT_FALSE(chosen);
        EXPECT_EQ(ds.recNo(), 2);
        EXPECT_EQ(cityName(ds), "CAMPINAS");
        EXPECT_TRUE(ds.filtered());
        EXPECT_EQ(ds.filter(), "SGESTADO = 'SP'");
        EXPECT_EQ(ds.recordCount(), 5);
    }
}

// Reading the display texts walks the dataset; it must come back exactly, also past its last row.
TEST(Pesquisa, LeavingKeepsTheEndOfDataState) {
    ClientDataSet ds(QStringLiteral("cdsClienFilial"));
    loadCustomers(ds);
    ds.setRecNo(2);
    ds.next();
    ASSERT_TRUE(ds.eof());
    EXPECT_FALSE(pick(ds, [](PesquisaDialog* d) { press(d, Qt::Key_Escape); }));
    EXPECT_EQ(ds.recNo(), 2);
    EXPECT_TRUE(ds.eof());
}

TEST(Pesquisa, AFailingDisplayHandlerLeavesTheDatasetInPlace) {
    ClientDataSet ds(QStringLiteral("cdsClienFilial"));
    loadCustomers(ds);
    ds.setGetText(QStringLiteral("NMFANTCLIE"), [](const ClientDataSet& d, const QString& raw) {
        if (d.recNo() == 2)
            throw std::runtime_error("sem formato");
        return raw;
    });
    ds.setRecNo(1);
    QObject guard;
    QTimer::singleShot(2000, &guard, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->done(QDialog::Rejected);
    });
    EXPECT_THROW(showPesquisaDialog(ds, QStringLiteral("N")), std::runtime_error);
    EXPECT_EQ(ds.recNo(), 1);
}

TEST(Pesquisa, OnScreenKeysType) {
    ClientDataSet ds(QStringLiteral("cdsMunicipio"));
    loadCities(ds);
    const bool chosen = pick(ds, [](PesquisaDialog* d) {
        const struct {
            const char* key;
            const char* line;
            int rows;
        } steps[] = {
            {"btnTeclaS", "S", 7},    {"btnTeclaA", "SA", 5},    {"btnTeclaO", "SAO", 4},
            {"btnEspaco", "SAO ", 4}, {"btnTeclaL", "SAO L", 1}, {"btnApagar", "SAO ", 4},
            {"btnLimpar", "", 15},    {"btnTecla2", "2", 6},     {"btnTecla9", "29", 1},
        };
        for (const auto& s : steps) {
            SCOPED_TRACE(s.key);
            touch(d, QString::fromLatin1(s.key));
            EXPECT_EQ(searchLine(d), QString::fromLatin1(s.line));
            EXPECT_EQ(d->model()->rowCount(), s.rows);
        }
        // The keys took no focus: physical keys still reach the list.
        const QWidget* focus = d->focusWidget();
        EXPECT_TRUE(focus == nullptr || focus == d) << focus->metaObject()->className();
        type(d, QStringLiteral("1"));
        EXPECT_EQ(d->model()->rowCount(), 0);
        press(d, Qt::Key_Backspace);
        EXPECT_EQ(searchLine(d), "29");
        touch(d, QStringLiteral("btnSelecionar"));
    });
    EXPECT_TRUE(chosen);
    EXPECT_EQ(cityName(ds), "SALVADOR");
}

TEST(Pesquisa, EveryLetterAndDigitHasAKey) {
    ClientDataSet ds(QStringLiteral("cdsMunicipio"));
    loadCities(ds);
    pick(ds, [](PesquisaDialog* d) {
        const QString all = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
        for (const QChar ch : all)
            touch(d, QStringLiteral("btnTecla") + ch);
        EXPECT_EQ(searchLine(d), all);
        press(d, Qt::Key_Escape);
    });
}

TEST(Pesquisa, ATouchOnARowChoosesIt) {
    const struct {
        const char* typed;
        int row;
        const char* chosen;
        int recNo;
    } cases[] = {
        {"", 3, "RIO DE JANEIRO", 3},
        {"", 0, "SÃO PAULO", 0},
        {"CA", 1, "CAMPINAS", 8}, // SÃO CARLOS, CAMPINAS, ARACAJU, SOROCABA
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen);
        ClientDataSet ds(QStringLiteral("cdsMunicipio"));
        loadCities(ds);
        const bool chosen = pick(ds, [&](PesquisaDialog* d) {
            type(d, QString::fromLatin1(c.typed));
            touchRow(d, c.row);
        });
        EXPECT_TRUE(chosen);
        EXPECT_EQ(ds.recNo(), c.recNo);
        EXPECT_EQ(cityName(ds), QString::fromUtf8(c.chosen));
    }
}

// A finger dragged over the list scrolls it and chooses nothing.
TEST(Pesquisa, ADragScrollsAndDoesNotChoose) {
    ClientDataSet ds(QStringLiteral("cdsBairro"));
    ds.setData(neighbourhoods(300));
    const bool chosen = pick(ds, [](PesquisaDialog* d) {
        // Through the window, as a touch screen's events come.
        QWindow* w = d->windowHandle();
        const QPoint from = d->view()->viewport()->mapTo(d, d->view()->visualRect(d->model()->index(3, 0)).center());
        QTest::mousePress(w, Qt::LeftButton, {}, from);
        for (int step = 1; step <= 10; ++step)
            QTest::mouseMove(w, from - QPoint(0, 15 * step), 20);
        QTest::mouseRelease(w, Qt::LeftButton, {}, from - QPoint(0, 150), 20);
        QTest::qWait(50);
        EXPECT_TRUE(d->isVisible());
        EXPECT_GT(d->view()->verticalScrollBar()->value(), 0);
        press(d, Qt::Key_Escape);
    });
    EXPECT_FALSE(chosen);
    EXPECT_EQ(ds.recNo(), 0);
}

TEST(Pesquisa, KeysMoveTheHighlight) {
    const struct {
        const char* name;
        int start; // the dataset's row when the list opens
        QList<Qt::Key> keys;
        int chosen;
    } cases[] = {
        {"opens on the current row", 5, {}, 5},
        {"down twice", 0, {Qt::Key_Down, Qt::Key_Down}, 2},
        {"up stops at the top", 1, {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up}, 0},
        {"down stops at the bottom", 13, {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down}, 14},
        {"end", 0, {Qt::Key_End}, 14},
        {"end then home", 4, {Qt::Key_End, Qt::Key_Home}, 0},
        {"page down and back", 0, {Qt::Key_PageDown, Qt::Key_PageUp}, 0},
        {"page down to the end", 0, QList<Qt::Key>(8, Qt::Key_PageDown), 14},
        {"down once", 3, {Qt::Key_Down}, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClientDataSet ds(QStringLiteral("cdsMunicipio"));
        loadCities(ds);
        ds.setRecNo(c.start);
        const bool chosen = pick(ds, [&](PesquisaDialog* d) {
            for (const Qt::Key k : c.keys)
                press(d, k);
            QTest::keyClick(d->windowHandle(), Qt::Key_Enter, Qt::KeypadModifier);
        });
        EXPECT_TRUE(chosen);
        EXPECT_EQ(ds.recNo(), c.chosen);
    }
}

TEST(Pesquisa, ShowsVisibleColumnsWithTheirLabels) {
    const struct {
        const char* name;
        std::function<void(ClientDataSet&)> load;
        QStringList titles;
        QStringList firstRow;
    } cases[] = {
        {"cities", loadCities, {"Código", "Nome"}, {"3550", "SÃO PAULO"}},
        {"customers", loadCustomers, {"Inscrição", "Nome Fantasia"}, {"123.456.789-09", "PADARIA ESTRELA"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClientDataSet ds;
        c.load(ds);
        pick(ds, [&](PesquisaDialog* d) {
            const PesquisaModel& m = *d->model();
            EXPECT_EQ(headers(m), c.titles);
            QStringList first;
            for (int col = 0; col < m.columnCount(); ++col)
                first << m.data(m.index(0, col)).toString();
            EXPECT_EQ(first, c.firstRow);
            for (int col = 0; col < m.columnCount(); ++col)
                EXPECT_FALSE(d->view()->isColumnHidden(col));
            press(d, Qt::Key_Escape);
        });
    }
}

TEST(Pesquisa, ColumnsFollowTheirDisplayWidths) {
    ClientDataSet ds(QStringLiteral("cdsMunicipio"));
    loadCities(ds);
    pick(ds, [](PesquisaDialog* d) {
        const QHeaderView* h = d->view()->horizontalHeader();
        EXPECT_EQ(d->model()->columnWidths(), QList<int>({10, 50}));
        EXPECT_LT(h->sectionSize(0), h->sectionSize(1));
        // Ten characters of the list's font fit the code column.
        EXPECT_GE(h->sectionSize(0), QFontMetrics(d->view()->font()).horizontalAdvance(QStringLiteral("0000000000")));
        // Everything fits across: no sideways scrolling.
        EXPECT_LE(h->length(), d->view()->viewport()->width());
        press(d, Qt::Key_Escape);
    });
}

// Five columns of a neighbourhood list: every title readable and nothing to scroll sideways.
TEST(Pesquisa, WideListsFitAcross) {
    ClientDataSet ds(QStringLiteral("cdsBairro"));
    ds.setData(neighbourhoods(200));
    const char* labels[] = {"País", "Estado", "Cidade", "Código", "Nome"};
    const QStringList fields = {"CDPAIS", "SGESTADO", "CDMUNICIPIO", "CDBAIRRO", "NMBAIRRO"};
    for (int i = 0; i < fields.size(); ++i)
        ds.setDisplay(fields[i], {QString::fromUtf8(labels[i]), 0, true});
    pick(ds, [](PesquisaDialog* d) {
        type(d, QStringLiteral("bairro 1"));
        const QHeaderView* h = d->view()->horizontalHeader();
        const QFontMetrics titles(h->font());
        for (int c = 0; c < h->count(); ++c) {
            const QString title = d->model()->headerData(c, Qt::Horizontal).toString();
            SCOPED_TRACE(title.toStdString());
            EXPECT_GT(h->sectionSize(c), titles.horizontalAdvance(title));
        }
        EXPECT_LE(h->length(), d->view()->viewport()->width());
        EXPECT_FALSE(d->view()->horizontalScrollBar()->isVisible());
        saveSnapshot(d->grab().toImage(), "pesquisa_bairros.png");
        press(d, Qt::Key_Escape);
    });
}

TEST(Pesquisa, AFilteredDatasetOffersOnlyItsVisibleRows) {
    ClientDataSet ds(QStringLiteral("cdsMunicipio"));
    loadCities(ds);
    ds.setFilter(QStringLiteral("SGESTADO = 'SP'"));
    ds.setFiltered(true);
    const bool chosen = pick(ds, [](PesquisaDialog* d) {
        EXPECT_EQ(column(*d->model(), 1),
                  QStringList({"SÃO PAULO", "SÃO CARLOS", "CAMPINAS", "PRAIA GRANDE", "SOROCABA"}));
        type(d, QStringLiteral("a"));
        EXPECT_EQ(column(*d->model(), 1),
                  QStringList({"SÃO PAULO", "SÃO CARLOS", "CAMPINAS", "PRAIA GRANDE", "SOROCABA"}));
        type(d, QStringLiteral("nd"));
        EXPECT_EQ(column(*d->model(), 1), QStringList({"PRAIA GRANDE"}));
        press(d, Qt::Key_Return);
    });
    EXPECT_TRUE(chosen);
    EXPECT_EQ(ds.recNo(), 3); // among the visible rows
    EXPECT_EQ(cityName(ds), "PRAIA GRANDE");
    EXPECT_TRUE(ds.filtered());
    EXPECT_EQ(ds.recordCount(), 5);
}

TEST(Pesquisa, SearchesTheDisplayedTextsOnly) {
    const struct {
        const char* typed;
        QStringList shown;
        const char* why;
    } cases[] = {
        {"222.333/0001", {"MERCADO CENTRAL"}, "the number as the mask shows it"},
        {"789-09", {"PADARIA ESTRELA"}, "the person type's own mask"},
        {"LTDA", {}, "a hidden column"},
        {"0002", {}, "a hidden code"},
        {"09PADARIA", {}, "no match across columns"},
        {"farmacia sao joao", {"FARMÁCIA SÃO JOÃO"}, "accents in the data"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ClientDataSet ds(QStringLiteral("cdsClienFilial"));
        loadCustomers(ds);
        pick(ds, [&](PesquisaDialog* d) {
            type(d, QString::fromUtf8(c.typed));
            EXPECT_EQ(column(*d->model(), 1), c.shown);
            press(d, Qt::Key_Escape);
        });
    }
}

TEST(Pesquisa, ChoosingACustomerPositionsOnIt) {
    ClientDataSet ds(QStringLiteral("cdsClienFilial"));
    loadCustomers(ds);
    const bool chosen = pick(ds, [](PesquisaDialog* d) {
        type(d, QStringLiteral("44.555"));
        press(d, Qt::Key_Return);
    });
    EXPECT_TRUE(chosen);
    EXPECT_EQ(ds.asString(QStringLiteral("CDCLIENTE")), "0003");
    EXPECT_EQ(ds.asString(QStringLiteral("NRINSJURCLIE")), "44555666000199"); // the stored digits stay plain
}

TEST(Pesquisa, IgnoresCaseAndAccents) {
    const struct {
        const char* typed;
        QStringList shown;
    } cases[] = {
        {"sao", {"SÃO PAULO", "SÃO CARLOS", "SÃO JOSÉ", "SÃO LUÍS"}},
        {"SÃO", {"SÃO PAULO", "SÃO CARLOS", "SÃO JOSÉ", "SÃO LUÍS"}},
        {"são paulo", {"SÃO PAULO"}},
        {"goiania", {"GOIÂNIA"}},
        {"Belém", {"BELÉM"}},
        {"luis", {"SÃO LUÍS"}},
        {"josé", {"SÃO JOSÉ"}},
        {"50SAO", {}}, // code and name are separate texts
        {"xyz", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        ClientDataSet ds(QStringLiteral("cdsMunicipio"));
        loadCities(ds);
        pick(ds, [&](PesquisaDialog* d) {
            type(d, QString::fromUtf8(c.typed));
            EXPECT_EQ(column(*d->model(), 1), c.shown);
            press(d, Qt::Key_Escape);
        });
    }
}

// Narrowing reuses earlier results; whatever the path, the rows must be those of the text typed.
TEST(Pesquisa, NarrowingFollowsEveryEdit) {
    ClientDataSet ds(QStringLiteral("cdsMunicipio"));
    loadCities(ds);
    PesquisaModel m(ds);
    const QStringList all = column(m, 1);
    ASSERT_EQ(all.size(), 15);
    const QStringList sa = {"SÃO PAULO", "SÃO CARLOS", "SÃO JOSÉ", "SALVADOR", "SÃO LUÍS"};
    const struct {
        const char* text;
        QStringList shown; // in the list's order
    } steps[] = {
        {"S", {"SÃO PAULO", "SÃO CARLOS", "SÃO JOSÉ", "SALVADOR", "CAMPINAS", "SÃO LUÍS", "SOROCABA"}},
        {"SA", sa},
        {"SAO", {"SÃO PAULO", "SÃO CARLOS", "SÃO JOSÉ", "SÃO LUÍS"}},
        {"SAL", {"SALVADOR"}},
        {"SA", sa},
        {"", all},
        {"O",
         {"SÃO PAULO", "SÃO CARLOS", "SÃO JOSÉ", "RIO DE JANEIRO", "BELO HORIZONTE", "SALVADOR", "GOIÂNIA", "SÃO LUÍS",
          "PORTO ALEGRE", "SOROCABA"}},
        {"OR", {"BELO HORIZONTE", "SALVADOR", "PORTO ALEGRE", "SOROCABA"}},
        {"ORO", {"SOROCABA"}},
        {"XORO", {}},
        {"ORO", {"SOROCABA"}},
        {"   ", all},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.text);
        m.setSearchText(QString::fromLatin1(s.text));
        EXPECT_EQ(m.searchText(), QString::fromLatin1(s.text));
        EXPECT_EQ(column(m, 1), s.shown);
    }
}

TEST(Pesquisa, AnEmptyListOpensAndOnlyLeaves) {
    const struct {
        const char* name;
        std::function<void(ClientDataSet&)> load;
    } cases[] = {
        {"no rows", [](ClientDataSet& ds) { ds.setData(neighbourhoods(0)); }},
        {"closed", [](ClientDataSet&) {}},
        {"everything filtered out",
         [](ClientDataSet& ds) {
             loadCities(ds);
             ds.setFilter(QStringLiteral("SGESTADO = 'XX'"));
             ds.setFiltered(true);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClientDataSet ds(QStringLiteral("cdsBairro"));
        c.load(ds);
        const bool chosen = pick(ds, [](PesquisaDialog* d) {
            EXPECT_EQ(d->model()->rowCount(), 0);
            saveSnapshot(d->grab().toImage(), "pesquisa_vazia.png");
            press(d, Qt::Key_Return);
            touch(d, QStringLiteral("btnSelecionar"));
            press(d, Qt::Key_Down);
            type(d, QStringLiteral("a"));
            press(d, Qt::Key_Return);
            EXPECT_TRUE(d->isVisible());
            press(d, Qt::Key_Escape);
        });
        EXPECT_FALSE(chosen);
        EXPECT_EQ(ds.recNo(), -1);
    }
}

TEST(Pesquisa, EnterTakesTheOnlyRowLeft) {
    ClientDataSet ds(QStringLiteral("cdsMunicipio"));
    loadCities(ds);
    const bool chosen = pick(ds, [](PesquisaDialog* d) {
        type(d, QStringLiteral("aracaju"));
        d->view()->setCurrentIndex({}); // nothing highlighted
        press(d, Qt::Key_Return);
    });
    EXPECT_TRUE(chosen);
    EXPECT_EQ(cityName(ds), "ARACAJU");
}

TEST(Pesquisa, SixtyThousandRowsOpenAndNarrow) {
    ClientDataSet ds(QStringLiteral("cdsBairro"));
    ds.setData(neighbourhoods(60000));
    const bool chosen = pick(ds, [](PesquisaDialog* d) {
        EXPECT_EQ(d->model()->rowCount(), 60000);
        type(d, QStringLiteral("bairro 1234"));
        // 1234 and 12340 to 12349.
        EXPECT_EQ(d->model()->rowCount(), 11);
        type(d, QStringLiteral("5"));
        EXPECT_EQ(column(*d->model(), 4), QStringList({"BAIRRO 12345"}));
        press(d, Qt::Key_Backspace);
        press(d, Qt::Key_Backspace);
        EXPECT_EQ(d->model()->rowCount(), 111); // 123, 1230-1239, 12300-12399
        type(d, QStringLiteral("4599"));
        EXPECT_EQ(d->model()->rowCount(), 0);
        press(d, Qt::Key_Delete);
        EXPECT_EQ(d->model()->rowCount(), 60000);
        type(d, QStringLiteral("0000059999"));
        press(d, Qt::Key_Return);
    });
    EXPECT_TRUE(chosen);
    EXPECT_EQ(ds.recNo(), 59999);
}

TEST(Pesquisa, SizedForAFinger) {
    ClientDataSet ds(QStringLiteral("cdsMunicipio"));
    loadCities(ds);
    pick(ds, [](PesquisaDialog* d) {
        EXPECT_GE(d->width(), 700);
        EXPECT_GE(d->height(), 580);
        EXPECT_GE(d->view()->verticalHeader()->defaultSectionSize(), 40);
        EXPECT_GE(d->view()->font().pixelSize(), 16);
        EXPECT_GE(d->view()->horizontalHeader()->font().pixelSize(), 16);
        // Enough rows show to read the list.
        EXPECT_GE(d->view()->viewport()->height() / d->view()->verticalHeader()->defaultSectionSize(), 4);
        const auto keys = d->findChildren<TBlendedBitBtn*>();
        EXPECT_GE(keys.size(), 36 + 5);
        for (const TBlendedBitBtn* k : keys) {
            SCOPED_TRACE(k->objectName().toStdString());
            EXPECT_GE(k->height(), 44);
            EXPECT_GE(k->width(), 44);
            EXPECT_TRUE(d->rect().contains(QRect(k->mapTo(d, QPoint()), k->size())));
        }
        // Nothing in the list can take the focus away from the keys the dialog handles.
        for (const QWidget* w : d->findChildren<QWidget*>()) {
            SCOPED_TRACE(w->metaObject()->className());
            EXPECT_EQ(w->focusPolicy(), Qt::NoFocus);
        }
        press(d, Qt::Key_Escape);
    });
}

TEST(Pesquisa, CentredOnItsWindow) {
    QWidget owner;
    owner.setGeometry(40, 0, 760, 600);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    ClientDataSet ds(QStringLiteral("cdsMunicipio"));
    loadCities(ds);
    withDialog(
        [&](PesquisaDialog* d) {
            EXPECT_LE((d->geometry().center() - owner.geometry().center()).manhattanLength(), 2);
            press(d, Qt::Key_Escape);
        },
        [&] { return showPesquisaDialog(ds, QStringLiteral("N"), &owner); });
}

TEST(Pesquisa, LooksLikeTheMessageDialog) {
    ClientDataSet ds(QStringLiteral("cdsMunicipio"));
    loadCities(ds);
    ds.setRecNo(2);
    pick(ds, [](PesquisaDialog* d) {
        const QImage img = d->grab().toImage();
        saveSnapshot(img, "pesquisa_cidades.png");
        // The blue strip and frame of a notice.
        EXPECT_TRUE(probe::near(img.pixel(img.width() / 2, 8), 21, 101, 192));
        EXPECT_TRUE(probe::near(img.pixel(1, img.height() / 2), 21, 101, 192));
        // The highlighted row is painted across the list in the same blue.
        const QRect row = d->view()->visualRect(d->model()->index(2, 1));
        const QPoint at = d->view()->viewport()->mapTo(d, row.center() + QPoint(row.width() / 3, 0));
        EXPECT_TRUE(probe::near(img.pixel(at), 21, 101, 192));
        // The count of rows in the strip.
        EXPECT_EQ(d->findChild<QLabel*>(QStringLiteral("pesquisaContagem"))->text(), "15 registros");
        type(d, QStringLiteral("sao"));
        EXPECT_EQ(d->findChild<QLabel*>(QStringLiteral("pesquisaContagem"))->text(), "4 de 15");
        press(d, Qt::Key_Escape);
    });
}

TEST(Pesquisa, DefaultService) {
    const PesquisaFn saved = siblingServices().Pesquisa;

    siblingServices().Pesquisa = nullptr;
    installDefaultPesquisa();
    ASSERT_TRUE(siblingServices().Pesquisa);
    ClientDataSet ds(QStringLiteral("cdsMunicipio"));
    loadCities(ds);
    const bool chosen = withDialog(
        [](PesquisaDialog* d) {
            type(d, QStringLiteral("curi"));
            press(d, Qt::Key_Return);
        },
        [&] { return Pesquisa(ds); });
    EXPECT_TRUE(chosen);
    EXPECT_EQ(cityName(ds), "CURITIBA");

    // A service already in place is the host's and stays.
    int calls = 0;
    siblingServices().Pesquisa = [&](ClientDataSet&, const QString&) { return ++calls > 0; };
    installDefaultPesquisa();
    EXPECT_TRUE(Pesquisa(ds));
    EXPECT_EQ(calls, 1);

    siblingServices().Pesquisa = saved;
}

} // namespace
