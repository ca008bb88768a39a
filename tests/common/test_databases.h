#pragma once

#include <QString>
#include <QStringList>

// The databases the service tests run on: SQLite, PostgreSQL (the server that CADCONS_TEST_PG names),
// and both through ODBC with Debian's drivers (CADCONS_TEST_PG_ODBC names the same server). The list is
// fixed, so test names do not depend on the environment; a backend that is missing skips its tests, or
// fails them when CADCONS_REQUIRE_PG=1 (as scripts/test sets it).
namespace cadcons::test {

// "sqlite", "postgres", "odbc-sqlite", "odbc-postgres".
QStringList backendLabels();

// Why the backend cannot run here, or "" when it can.
QString backendMissing(const QString& label);
// True when a missing backend must fail the tests rather than skip them.
bool backendsRequired();

// The connection string of a new, empty database of that kind. Throws std::runtime_error when the
// backend cannot give one.
QString freshDatabase(const QString& label);

} // namespace cadcons::test
