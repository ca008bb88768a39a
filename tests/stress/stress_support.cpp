#include "stress_support.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace cadcons::stress {

namespace {

QString fingerprint(const char* finger, qint64 code, int version, int chars) {
    const QString unit = QStringLiteral("%1:%2:%3|").arg(QLatin1String(finger)).arg(code).arg(version);
    return unit.repeated(chars / unit.size() + 1).left(chars);
}

// A stored date-time as its date: QSQLITE gives back text, the server drivers a QDateTime.
QVariant dateOf(const QVariant& value) {
    if (value.isNull())
        return QVariant();
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime().date();
    if (value.metaType().id() == QMetaType::QDate)
        return value.toDate();
    return QDate::fromString(value.toString().left(10), QStringLiteral("yyyy-MM-dd"));
}

} // namespace

QString code21(qint64 code) {
    return QString::number(code).rightJustified(21, u'0');
}

GravaConsumidor registration(qint64 code, int version, int templateChars) {
    const bool first = version == 1;
    const QString n = QString::number(code);
    const QString v = QString::number(version);
    GravaConsumidor g;
    g.cdCliente = kCliente;
    g.nmConsumidor = QStringLiteral("NOME %1 V%2").arg(n, v);
    g.cdConsumidor = code21(code);
    g.cdIdConsumid = QStringLiteral("B%1-%2").arg(n, v);
    g.cdCcusClie = v + n.right(9);
    g.cdTipoCons = first ? QStringLiteral("01") : QStringLiteral("02");
    g.nrRgConsumid = QStringLiteral("RG%1-%2").arg(n, v);
    g.nrCpfRespCon = n.right(10).rightJustified(10, u'0') + v;
    g.nrTeleCons = QStringLiteral("11%1%2").arg(v, n);
    g.nrTele2Cons = QStringLiteral("12%1%2").arg(v, n);
    g.stProcessamento = QStringLiteral("CAIXA");
    g.operacao = first ? QStringLiteral("1") : QStringLiteral("2");
    g.cdFilial = QStringLiteral("0001");
    g.dsDirCad = QStringLiteral("/opt/pdv/");
    g.cdPais = first ? QStringLiteral("0055") : QStringLiteral("0054");
    g.sgEstado = first ? QStringLiteral("SP") : QStringLiteral("RJ");
    g.cdMunicipio = first ? QStringLiteral("0001") : QStringLiteral("0002");
    g.dsEndeCons = QStringLiteral("RUA %1 VERSAO %2").arg(n, v);
    g.nrEndeCons = QStringLiteral("%1-%2").arg(v, n.right(8));
    g.nmBairCons = QStringLiteral("BAIRRO %1 %2").arg(n, v);
    g.nrCepCons = QStringLiteral("%1%2").arg(v, n.right(7).rightJustified(7, u'0'));
    g.dsEmailCons = QStringLiteral("c%1.v%2@example.com").arg(n, v);
    g.idSexoCons = first ? QStringLiteral("M") : QStringLiteral("F");
    g.dtNascCons = QDate(1950, 1, 1).addDays(code % 20000 + version).toString(QStringLiteral("dd/MM/yyyy"));
    g.nrCelularCons = QStringLiteral("119%1%2").arg(v, n);
    g.digital = fingerprint("D1", code, version, templateChars);
    g.digital2 = fingerprint("D2", code, version, templateChars);
    g.cdExConsumid = QStringLiteral("E%1-%2").arg(n, v);
    g.cdSenhaCons = QStringLiteral("senha-pos-%1-%2").arg(n, v);
    g.cdSenhaSite = QStringLiteral("senha-site-%1-%2").arg(n, v);
    g.nmLoginCons = QStringLiteral("login.%1.%2").arg(n, v);
    g.idImpCpfCupom = first ? QStringLiteral("S") : QStringLiteral("N");
    g.idCadConfLibCon = first ? QStringLiteral("N") : QStringLiteral("S");
    g.idAtuCpfCons = first ? QStringLiteral("S") : QStringLiteral("N");
    g.idVerSaldCon = first ? QStringLiteral("N") : QStringLiteral("S");
    g.idTpVendaCons = v;
    g.cdSenhaConsMd5 = QStringLiteral("md5-site-%1-%2").arg(n, v);
    g.cdSenhaPosMd5 = QStringLiteral("md5-pos-%1-%2").arg(n, v);
    return g;
}

QVariantMap expectedColumns(const GravaConsumidor& g) {
    QVariantMap columns{
        {"CDCLIENTE", g.cdCliente},
        {"CDCONSUMIDOR", g.cdConsumidor},
        {"NMCONSUMIDOR", g.nmConsumidor},
        {"CDIDCONSUMID", g.cdIdConsumid},
        {"CDCCUSCLIE", g.cdCcusClie},
        {"CDTIPOCONS", g.cdTipoCons},
        {"NRRGCONSUMID", g.nrRgConsumid},
        {"NRCPFRESPCON", g.nrCpfRespCon},
        {"NRTELECONS", g.nrTeleCons},
        {"NRTELE2CONS", g.nrTele2Cons},
        {"CDPAIS", g.cdPais},
        {"SGESTADO", g.sgEstado},
        {"CDMUNICIPIO", g.cdMunicipio},
        {"DSENDECONS", g.dsEndeCons},
        {"NRENDECONS", g.nrEndeCons},
        {"NMBAIRCONS", g.nmBairCons},
        {"NRCEPCONS", g.nrCepCons},
        {"DSEMAILCONS", g.dsEmailCons},
        {"IDSEXOCONS", g.idSexoCons},
        {"NRCELULARCONS", g.nrCelularCons},
        {"DIGICONSUMIDOR", g.digital},
        {"DIGICONSUMIDOR2", g.digital2},
        {"CDEXCONSUMID", g.cdExConsumid},
        {"CDSENHACONS", g.cdSenhaCons},
        {"CDSENHASITE", g.cdSenhaSite},
        {"NMLOGINCONS", g.nmLoginCons},
        {"IDIMPCPFCUPOM", g.idImpCpfCupom},
        {"IDCADCONFLIBCON", g.idCadConfLibCon},
        {"IDATUCPFCONS", g.idAtuCpfCons},
        {"IDVERSALDCON", g.idVerSaldCon},
        {"IDTPVENDACONS", g.idTpVendaCons},
        {"CDSENHACONSMD5", g.cdSenhaConsMd5},
        {"CDSENHAPOSMD5", g.cdSenhaPosMd5},
        // Inserted by a till, and an update keeps a till's marker.
        {"IDATUCONSUMI", QStringLiteral("I")},
    };
    columns.insert(QStringLiteral("DTNASCCONS"),
                   g.dtNascCons.isEmpty() ? QVariant() : QDate::fromString(g.dtNascCons, QStringLiteral("dd/MM/yyyy")));
    return columns;
}

QVariantMap storedColumns(const QSqlDatabase& db, const QString& cdCliente, const QString& cdConsumidor) {
    const QStringList names = expectedColumns(registration(0, 1, 0)).keys();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT %1 FROM CONSUMIDOR WHERE CDCLIENTE = :C AND CDCONSUMIDOR = :K")
                      .arg(names.join(QStringLiteral(", "))));
    query.bindValue(QStringLiteral(":C"), cdCliente);
    query.bindValue(QStringLiteral(":K"), cdConsumidor);
    QVariantMap row;
    if (!query.exec()) {
        row.insert(QStringLiteral("<error>"), query.lastError().text());
        return row;
    }
    if (!query.next())
        return row;
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i) {
        const QString name = record.fieldName(i).toUpper();
        const QVariant value = query.value(i);
        row.insert(name, name == QLatin1String("DTNASCCONS") ? dateOf(value)
                         : value.isNull()                    ? QVariant()
                                                             : QVariant(value.toString()));
    }
    return row;
}

QString differences(const QVariantMap& stored, const QVariantMap& expected) {
    if (stored.isEmpty())
        return QStringLiteral("no row");
    QStringList lines;
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const QVariant value = stored.value(it.key());
        if (value != it.value())
            lines << QStringLiteral("%1 is \"%2\", not \"%3\"")
                         .arg(it.key(), value.toString().left(60), it.value().toString().left(60));
    }
    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        if (!expected.contains(it.key()))
            lines << QStringLiteral("%1 is \"%2\", not expected").arg(it.key(), it.value().toString().left(60));
    }
    return lines.join(u'\n');
}

QMap<qint64, int> storedVersions(const QSqlDatabase& db, int templateChars, QStringList& faults) {
    QMap<qint64, int> versions;
    QSqlQuery query(db);
    if (!query.exec(
            QStringLiteral("SELECT CDCONSUMIDOR, NMCONSUMIDOR FROM CONSUMIDOR WHERE CDCLIENTE = '%1'").arg(kCliente))) {
        faults << query.lastError().text();
        return versions;
    }
    QList<std::pair<qint64, QString>> keys;
    while (query.next())
        keys.append({query.value(0).toLongLong(), query.value(1).toString()});
    query.finish();
    for (const auto& [code, name] : keys) {
        // The name says which save wrote the row; every other column must say the same.
        const int version = name.endsWith(QLatin1String(" V2")) ? 2 : 1;
        const QVariantMap expected = expectedColumns(registration(code, version, templateChars));
        const QString wrong = differences(storedColumns(db, kCliente, code21(code)), expected);
        if (!wrong.isEmpty())
            faults << QStringLiteral("consumer %1 (version %2): %3").arg(code).arg(version).arg(wrong);
        versions.insert(code, version);
    }
    return versions;
}

QString integrityCheck(const QSqlDatabase& db) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA integrity_check")))
        return QStringLiteral("<integrity_check failed: %1>").arg(query.lastError().text());
    QStringList lines;
    while (query.next())
        lines << query.value(0).toString();
    return lines.join(u'\n');
}

QSqlDatabase openSqlite(const QString& name, const QString& path) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    db.open();
    return db;
}

qint64 residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace cadcons::stress
