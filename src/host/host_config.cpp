#include "host_config.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace cadcons {

namespace {

bool isHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Undoes the quoting QSettings writes ("...", with \" \\ \n \r \t and \xHH escapes), so a file written
// by a tool through QSettings reads the same as one written by hand. Returns false when `raw` is not
// one quoted value, and the caller keeps it as it stands.
bool unquoteIniValue(const QString& raw, QString& out) {
    if (raw.size() < 2 || raw.front() != u'"' || raw.back() != u'"')
        return false;
    QString value;
    for (qsizetype i = 1; i < raw.size() - 1; ++i) {
        QChar c = raw[i];
        if (c == u'"')
            return false; // several quoted pieces: not something this file uses
        if (c != u'\\') {
            value += c;
            continue;
        }
        if (++i >= raw.size() - 1)
            return false;
        switch (raw[i].unicode()) {
        case u'n':
            value += u'\n';
            break;
        case u'r':
            value += u'\r';
            break;
        case u't':
            value += u'\t';
            break;
        case u'x': {
            qsizetype j = i + 1;
            while (j < raw.size() - 1 && isHexDigit(raw[j]) && j - i <= 4)
                ++j;
            bool ok = false;
            const uint code = QStringView(raw).mid(i + 1, j - i - 1).toUInt(&ok, 16);
            if (!ok)
                return false;
            value += QChar(char16_t(code));
            i = j - 1;
            break;
        }
        default:
            value += raw[i];
        }
    }
    out = value;
    return true;
}

} // namespace

QString hostDirectory() {
    QString dir = qEnvironmentVariable("CADCONS_HOST_DIR");
    if (dir.isEmpty()) {
        const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
        dir = exe.isEmpty() ? QDir::currentPath() : QFileInfo(exe).absolutePath();
    }
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir;
}

QString hostConfigPath() {
    return hostDirectory() + QStringLiteral("cadcons.ini");
}

// Read line by line rather than through QSettings: QSettings takes ";" for the start of a comment and
// "," for a list separator, and a connection string is full of both.
QString hostConfigValue(const QString& key) {
    const qsizetype slash = key.lastIndexOf(u'/');
    const QString group = slash < 0 ? QString() : key.left(slash).trimmed();
    const QString name = key.mid(slash + 1).trimmed();
    if (name.isEmpty())
        return {};

    QFile file(hostConfigPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString content = QString::fromUtf8(file.readAll());

    QString section;
    QString result;
    for (QString line : content.split(u'\n')) {
        line = line.trimmed();
        if (line.startsWith(QChar(0xFEFF)))
            line = line.mid(1).trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.mid(1, line.size() - 2).trimmed();
            if (section.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
                section.clear();
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        if (section.compare(group, Qt::CaseInsensitive) != 0 ||
            line.left(eq).trimmed().compare(name, Qt::CaseInsensitive) != 0)
            continue;
        // The last occurrence wins, as a later line usually is the correction.
        result = line.mid(eq + 1).trimmed();
        QString unquoted;
        if (unquoteIniValue(result, unquoted))
            result = unquoted;
    }
    return result;
}

} // namespace cadcons
