#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

namespace cadcons::bench {

// Runs `sql` with its values bound in order; throws std::runtime_error naming the statement when it fails.
QSqlQuery run(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {});

// The files a till's host directory holds for the screen: the parameter file of `branch` and `customer`
// (the badge check on, so Confirm makes every check there is; no central services asked for), and the
// chain's customer list as `db` holds it. Throws std::runtime_error when one cannot be written.
void writeHostFiles(const QSqlDatabase& db, const QString& hostDir, const QString& branch, const QString& customer);

} // namespace cadcons::bench
