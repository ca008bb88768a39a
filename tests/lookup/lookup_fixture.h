#pragma once

#include "screen_fixture.h"

#include <QStringList>
#include <functional>

namespace cadcons::test {

// What the search dialog was given: the dataset, the flag, and the rows it could show.
struct Offer {
    QString dataset;
    QString flag;
    QString filter;
    bool filtered = false;
    QStringList columns;
    QList<QStringList> rows; // visible rows, every column as text

    // The values of one column over the offered rows.
    QStringList values(const QString& column) const {
        QStringList out;
        const qsizetype at = columns.indexOf(column);
        for (const QStringList& row : rows)
            out << (at >= 0 ? row.value(at) : QStringLiteral("<no column>"));
        return out;
    }
};

// The screen on the demonstration database, with the search dialog answered by a script: each call
// is recorded, and `pick` (when set) chooses the row whose column holds a value.
class LookupTest : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        savedPesquisa_ = siblingServices().Pesquisa;
        siblingServices().Pesquisa = [this](ClientDataSet& ds, const QString& flag) {
            Offer offer{ds.name(), flag, ds.filter(), ds.filtered(), {}, {}};
            for (const FieldDef& field : ds.data().fields)
                offer.columns << field.name;
            for (int index : ds.visibleRows()) {
                QStringList row;
                for (qsizetype c = 0; c < offer.columns.size(); ++c)
                    row << valueText(ds.data().rows[index][c], ds.data().fields[c].type);
                offer.rows << row;
            }
            offers << offer;
            if (pickColumn.isEmpty())
                return false;
            return ds.locate(pickColumn, pickValue);
        };
    }
    void TearDown() override {
        siblingServices().Pesquisa = savedPesquisa_;
        ScreenTest::TearDown();
    }

    // A new consumer on the outlet's defaults.
    void newConsumer() { initialize(QString(), QStringLiteral("Fulano"), QString(), QStringLiteral("A")); }

    // The next dialogs choose the row whose `column` is `value`; an empty column leaves them.
    void pick(const QString& column, const QString& value) {
        pickColumn = column;
        pickValue = value;
    }
    void leave() { pickColumn.clear(); }

    // Shows an address as if chosen before: labels and codes.
    void setAddress(const QString& pais, const QString& cdPais, const QString& uf, const QString& cidade,
                    const QString& cdMunicipio, const QString& bairro) {
        form->setFieldText(7, pais);
        form->registration().consumer.stCdPais = cdPais;
        form->setFieldText(8, uf);
        form->registration().consumer.stSgEstado = uf;
        form->setFieldText(9, cidade);
        form->registration().consumer.stCdMunicipio = cdMunicipio;
        form->setFieldText(10, bairro);
        form->registration().consumer.stNmBairCons = bairro;
    }

    // Texts of the messages shown, in order.
    QStringList messageTexts() const {
        QStringList out;
        for (const MensagemArgs& m : messages)
            out << m.text;
        return out;
    }
    QString msg(const char* key) const { return form->registration().msgPadrao.Msg(QLatin1String(key)); }

    QList<Offer> offers;
    QString pickColumn;
    QString pickValue;

private:
    PesquisaFn savedPesquisa_;
};

} // namespace cadcons::test
