#pragma once

#include "service/schema.h"

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

// The 38 arguments of a save of consumer `code` (21 characters) of the demonstration customer, as a host
// hands them over: bytes in its code page.
inline QList<QByteArray> saveArguments(const QByteArray& code, const QByteArray& name, const QByteArray& password) {
    QList<QByteArray> a = QByteArray("000000000000000000001|||B88|0000000001|01|||||CAIXA|1|0001|/opt/pdv/"
                                     "|0055|SP|0001|Rua Um|10|SE|01001000||F|02/03/1990||||X88||||S|S|S|S|||")
                              .split('|');
    a[1] = name;
    a[2] = code;
    a[28] = password;
    return a;
}
