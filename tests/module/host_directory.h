#pragma once

#include "schema.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

// A host directory as the point of sale keeps it: its parameter file, its customer list and an SQLite
// database with the demonstration data. Returns the database's connection string, "" when it failed.
inline QString prepareHostDirectory(const QString& path) {
    const QDir dir(path);
    const QString data = QStringLiteral(CADCONS_TEST_DATA_DIR "/");
    if (!dir.mkpath(QStringLiteral("Dados/Cadastros")) ||
        !QFile::copy(data + "PARAMETROSKIV.CDS", dir.filePath(QStringLiteral("PARAMETROSKIV.CDS"))) ||
        !QFile::copy(data + "Cad_Cliente.cds", dir.filePath(QStringLiteral("Dados/Cadastros/Cad_Cliente.cds"))))
        return {};
    const QString database = dir.filePath(QStringLiteral("cadcons.db"));
    bool opened = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("host-directory"));
        db.setDatabaseName(database);
        if ((opened = db.open())) {
            cadcons::createSchema(db);
            cadcons::seedDemo(db);
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("host-directory"));
    return opened ? QStringLiteral("Provider=QSQLITE;Data Source=") + database : QString();
}
