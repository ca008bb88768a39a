#pragma once

#include "service/rdm_cad_consumidor.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// What the crash, full-disk and load tests share: registrations whose every column can be told apart
// by code and version, and the checks that a stored row is one of them, whole.
namespace cadcons::stress {

inline const QString kCliente = QStringLiteral("000000000000000000001");

// Registration `code` (a number) in its version 1 (as inserted) or 2 (as updated); every column of one
// version differs from the other's. `templateChars` sizes the two fingerprint templates, so a save can be
// made to span many database pages.
GravaConsumidor registration(qint64 code, int version, int templateChars = 3000);

// The 21-character consumer code of a number.
QString code21(qint64 code);

// The columns a save writes from its arguments, with the value registration() gives them.
QVariantMap expectedColumns(const GravaConsumidor& values);

// The saved columns of one stored row, names in upper case; empty when there is no row.
QVariantMap storedColumns(const QSqlDatabase& db, const QString& cdCliente, const QString& cdConsumidor);

// The columns where `stored` differs from `expected`, one line each; empty when they agree.
QString differences(const QVariantMap& stored, const QVariantMap& expected);

// Every stored consumer as code -> version, checking each row against registration(code, version):
// a row that matches neither version, or mixes them, is reported in `faults`.
QMap<qint64, int> storedVersions(const QSqlDatabase& db, int templateChars, QStringList& faults);

// The answer of PRAGMA integrity_check, every line of it.
QString integrityCheck(const QSqlDatabase& db);

// An open SQLite connection of its own on `path`, named `name`.
QSqlDatabase openSqlite(const QString& name, const QString& path);

// Resident memory of this process, in kilobytes.
qint64 residentKb();

} // namespace cadcons::stress
