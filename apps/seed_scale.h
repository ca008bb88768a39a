#pragma once

#include <QSqlDatabase>
#include <QtGlobal>
#include <functional>

// A deterministic database at a chosen scale, for measuring how the screen's reads and the save grow
// with the chain. The same options always give the same rows, on every kind of database.
namespace cadcons {

struct ScaleOptions {
    int states = 27;
    int cities = 5570;
    int neighbourhoods = 60000;
    qint64 ceps = 1000000;
    int customers = 1000;
    qint64 consumers = 1000000;
};

// Rows written so far and rows in all; called often enough to drive a progress bar.
using ScaleProgress = std::function<void(qint64 done, qint64 total)>;

// Fills a database whose schema was just created (createSchema) with the rows the options ask for,
// in batches of one transaction each. Throws std::runtime_error with the database's text on failure.
void seedScale(QSqlDatabase& db, const ScaleOptions& options, const ScaleProgress& progress = {});

} // namespace cadcons
