#pragma once

#include <QString>
#include <QStringList>

// The databases the service tests run on: SQLite, PostgreSQL (the server that CADCONS_TEST_PG names),
// both through ODBC with Debian's drivers (CADCONS_TEST_PG_ODBC names the same server), and the server
// behind PgBouncer in transaction pooling, directly and through ODBC (CADCONS_TEST_PGBOUNCER and _ODBC).
// The list is fixed, so test names do not depend on the environment; a backend that is missing skips its
// tests, or fails them when CADCONS_REQUIRE_PG=1 (as scripts/test sets it).
namespace cadcons::test {

// "sqlite", "postgres", "odbc-sqlite", "odbc-postgres", "pgbouncer", "odbc-pgbouncer". freshDatabase also
// takes "pgbouncer-session", PgBouncer in session pooling (CADCONS_TEST_PGBOUNCER_SESSION).
QStringList backendLabels();

// Why the backend cannot run here, or "" when it can.
QString backendMissing(const QString& label);
// True when a missing backend must fail the tests rather than skip them.
bool backendsRequired();

// The connection string of a new, empty database of that kind. Throws std::runtime_error when the
// backend cannot give one.
QString freshDatabase(const QString& label);

// A PostgreSQL connection string of freshDatabase made to reach its database straight at the server, not
// through a pooler; any other string as it is.
QString serverConnection(const QString& connection);

} // namespace cadcons::test
