#pragma once

#include "form_service.h"

#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <string>

// The databases the service tests run on: SQLite, PostgreSQL (the server that CADCONS_TEST_PG names),
// both through ODBC with Debian's drivers (CADCONS_TEST_PG_ODBC names the same server), and both behind
// PgBouncer (CADCONS_TEST_PGBOUNCER, _ODBC). The list is fixed, so test names do not depend on the
// environment; a backend that is missing skips its tests, or fails them when CADCONS_REQUIRE_PG=1.
namespace cadcons::test {

// "sqlite", "postgres", "odbc-sqlite", "odbc-postgres", "pgbouncer", "odbc-pgbouncer".
QStringList backendLabels();

// Why the backend cannot run here, or "" when it can.
QString backendMissing(const QString& label);
// True when a missing backend must fail the tests rather than skip them.
bool backendsRequired();

// The connection string of a new, empty database of that kind. Throws std::runtime_error when the
// backend cannot give one.
QString freshDatabase(const QString& label);

// A connection string of freshDatabase (which also takes "pgbouncer-session", PgBouncer in session
// pooling) made to reach its database straight at the server, past any pooler.
QString serverConnection(const QString& connection);

// A backend's label as a test name's part ("odbc-postgres" becomes "odbc_postgres").
std::string backendName(const ::testing::TestParamInfo<QString>& info);

} // namespace cadcons::test
