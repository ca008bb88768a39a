#include "config/host_config.h"

#include "config/connection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>
#include <algorithm>
#include <cctype>
#include <sys/stat.h>

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

namespace {

struct ConfigLine {
    int number = 0;
    QString section; // "" for lines before any section and for [General]
    QString name;    // "" for a line that is not name=value
    QString value;
    QString raw;
};

// Read line by line rather than through QSettings: QSettings takes ";" for the start of a comment and
// "," for a list separator, and a connection string is full of both. Comments and blank lines are left
// out; sections are kept on the lines that follow them.
QList<ConfigLine> configLines(bool* readable = nullptr) {
    QFile file(hostConfigPath());
    const bool opened = file.open(QIODevice::ReadOnly);
    if (readable)
        *readable = opened || !file.exists();
    if (!opened)
        return {};
    const QString content = QString::fromUtf8(file.read(qint64(1) << 20));

    QList<ConfigLine> lines;
    QString section;
    int number = 0;
    for (QString line : content.split(u'\n')) {
        ++number;
        line = line.trimmed();
        if (line.startsWith(QChar(0xFEFF)))
            line = line.mid(1).trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        ConfigLine entry;
        entry.number = number;
        entry.raw = line;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.mid(1, line.size() - 2).trimmed();
            if (section.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
                section.clear();
            continue;
        }
        entry.section = section;
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0) {
            entry.name = line.left(eq).trimmed();
            entry.value = line.mid(eq + 1).trimmed();
            QString unquoted;
            if (unquoteIniValue(entry.value, unquoted))
                entry.value = unquoted;
        }
        lines << entry;
    }
    return lines;
}

struct KnownSetting {
    const char* section;
    const char* name;
};
constexpr KnownSetting kSettings[] = {
    {"database", "connection"}, {"central", "connection"}, {"cep", "url"},
    {"crypto", "key_file"},     {"screen", "language"},    {"host", "encoding"},
    {"cache", "dir"},           {"cache", "enabled"},      {"offline", "enabled"},
};

QString settingName(const QString& section, const QString& name) {
    return QStringLiteral("[%1] %2").arg(section, name);
}

// Where a value came from: the environment variable when it is set, else the file's setting.
struct Sourced {
    QString value;
    QString setting;
};

// The last occurrence wins, as a later line usually is the correction.
QString valueIn(const QList<ConfigLine>& lines, const QString& section, const QString& name) {
    QString result;
    for (const ConfigLine& line : lines)
        if (line.section.compare(section, Qt::CaseInsensitive) == 0 &&
            line.name.compare(name, Qt::CaseInsensitive) == 0)
            result = line.value;
    return result;
}

Sourced sourced(const QList<ConfigLine>& lines, const char* variable, const char* section, const char* name) {
    const QString fromEnvironment = qEnvironmentVariable(variable).trimmed();
    if (!fromEnvironment.isEmpty())
        return {fromEnvironment, QString::fromLatin1(variable)};
    return {valueIn(lines, QLatin1String(section), QLatin1String(name)).trimmed(),
            QStringLiteral("%1 in %2").arg(settingName(QLatin1String(section), QLatin1String(name)), hostConfigPath())};
}

Sourced sourced(const char* variable, const char* section, const char* name) {
    return sourced(configLines(), variable, section, name);
}

// The key file a key_file setting (or its absence) names.
SettingPath keyFileOf(const Sourced& configured) {
    if (!configured.value.isEmpty())
        return {hostPath(configured.value), configured.setting};
    return {hostDirectory() + QStringLiteral("cadcons.key"),
            QStringLiteral("the key file cadcons.key of the host directory (%1 in %2)")
                .arg(settingName(QStringLiteral("crypto"), QStringLiteral("key_file")), hostConfigPath())};
}

QString modeText(uint mode) {
    return QStringLiteral("0%1").arg(mode & 0777, 3, 8, QLatin1Char('0'));
}

void checkConnection(const Sourced& connection, QStringList& problems) {
    if (connection.value.isEmpty())
        return;
    try {
        parseConnectionString(connection.value);
    } catch (const std::exception& e) {
        problems << QStringLiteral("%1: %2; expected Provider=QSQLITE;Data Source=PATH, "
                                   "Provider=QPSQL;Data Source=HOST[:PORT];Initial Catalog=DB;User ID=U;Password=P "
                                   "or Provider=QODBC;Extended Properties=\"ODBC CONNECTION STRING\"")
                        .arg(connection.setting, QString::fromUtf8(e.what()));
    }
}

} // namespace

QString hostConfigValue(const QString& key) {
    const qsizetype slash = key.lastIndexOf(u'/');
    const QString group = slash < 0 ? QString() : key.left(slash).trimmed();
    const QString name = key.mid(slash + 1).trimmed();
    if (name.isEmpty())
        return {};
    return valueIn(configLines(), group, name);
}

QString hostPath(const QString& path) {
    if (path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    return hostDirectory() + path;
}

SettingPath cryptoKeyFile() {
    return keyFileOf(sourced("CADCONS_CRYPTO_KEY_FILE", "crypto", "key_file"));
}

QByteArray readSecretFile(const QString& path, const QString& setting) {
    struct stat info {};
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &info) != 0)
        throw ConfigError(
            QStringLiteral("%1: %2 does not exist or cannot be reached; expected a file that only its owner can read")
                .arg(setting, path)
                .toStdString());
    if (!S_ISREG(info.st_mode))
        throw ConfigError(QStringLiteral("%1: %2 is not a file").arg(setting, path).toStdString());
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        throw ConfigError(QStringLiteral("%1: %2 may be read or changed by others (mode %3); expected a file that "
                                         "only its owner can read: chmod 600 %2")
                              .arg(setting, path, modeText(info.st_mode))
                              .toStdString());
    if (info.st_size > 4096)
        throw ConfigError(QStringLiteral("%1: %2 is %3 bytes long; expected a key of a few hundred bytes at most")
                              .arg(setting, path)
                              .arg(qint64(info.st_size))
                              .toStdString());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ConfigError(
            QStringLiteral("%1: %2 cannot be read (%3)").arg(setting, path, file.errorString()).toStdString());
    return file.read(4096);
}

namespace {

// The code page a value names; false when it names none of the two.
bool codePageOf(const QString& value, CodePage& page) {
    if (value.isEmpty() || value.compare(QLatin1String("utf-8"), Qt::CaseInsensitive) == 0)
        page = CodePage::Utf8;
    else if (value.compare(QLatin1String("windows-1252"), Qt::CaseInsensitive) == 0)
        page = CodePage::Windows1252;
    else
        return false;
    return true;
}

QString encodingProblem(const Sourced& encoding) {
    return QStringLiteral("%1: \"%2\" is not an encoding the host strings may use; expected utf-8 or windows-1252")
        .arg(encoding.setting, encoding.value);
}

} // namespace

CodePage hostCodePage() {
    const Sourced encoding = sourced("CADCONS_HOST_ENCODING", "host", "encoding");
    CodePage page = CodePage::Utf8;
    if (!codePageOf(encoding.value, page))
        throw ConfigError(encodingProblem(encoding).toStdString());
    return page;
}

namespace {

// "yes" or "no" in any letter case; false when it is neither.
bool switchOf(const QString& value, bool& on) {
    if (value.isEmpty() || value.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0)
        on = true;
    else if (value.compare(QLatin1String("no"), Qt::CaseInsensitive) == 0)
        on = false;
    else
        return false;
    return true;
}

QString cacheSwitchProblem(const QString& value) {
    return QStringLiteral("%1 in %2: \"%3\" is neither yes nor no")
        .arg(settingName(QStringLiteral("cache"), QStringLiteral("enabled")), hostConfigPath(), value);
}

// The offline switch, or why it is wrong.
QString offlineProblem(const QList<ConfigLine>& lines, bool& on) {
    const Sourced value = sourced(lines, "CADCONS_OFFLINE", "offline", "enabled");
    on = false;
    if (value.value.isEmpty() || switchOf(value.value, on)) // off unless asked for
        return {};
    return QStringLiteral("%1: \"%2\" is neither yes nor no").arg(value.setting, value.value);
}

} // namespace

bool offlineEnabled() {
    bool on = false;
    if (const QString problem = offlineProblem(configLines(), on); !problem.isEmpty())
        throw ConfigError(problem.toStdString());
    return on;
}

ListDirectory listDirectory() {
    const QList<ConfigLine> lines = configLines();
    const QString enabled = valueIn(lines, QStringLiteral("cache"), QStringLiteral("enabled")).trimmed();
    bool on = true;
    if (!switchOf(enabled, on))
        throw ConfigError(cacheSwitchProblem(enabled).toStdString());
    const Sourced dir = sourced(lines, "CADCONS_CACHE_DIR", "cache", "dir");
    if (!on)
        return {QString(), dir.setting};
    if (dir.value.isEmpty())
        return {hostDirectory(), QStringLiteral("the host directory")};
    QString path = hostPath(dir.value);
    if (!path.endsWith(u'/'))
        path += u'/';
    return {path, dir.setting};
}

QString hostLanguage() {
    return sourced("CADCONS_LANGUAGE", "screen", "language").value;
}

namespace {

// The host directory named by the environment, and cadcons.ini itself: its mode and whether it reads.
void checkHostFiles(const QString& path, bool readable, QStringList& problems) {
    if (const QString dir = qEnvironmentVariable("CADCONS_HOST_DIR"); !dir.isEmpty() && !QFileInfo(dir).isDir())
        problems << QStringLiteral("CADCONS_HOST_DIR: %1 is not a directory; expected the host directory, where "
                                   "cadcons.ini and the host's files are")
                        .arg(dir);
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) == 0 && (info.st_mode & S_IWOTH) != 0)
        problems << QStringLiteral("%1: anyone may change it (mode %2); expected a file that only its owner can "
                                   "change: chmod 644 %1 (chmod 600 when it holds a password)")
                        .arg(path, modeText(info.st_mode));
    if (!readable)
        problems << QStringLiteral("%1 cannot be read").arg(path);
}

// Every line of cadcons.ini is a known setting, a section, a comment or blank.
void checkLines(const QString& path, const QList<ConfigLine>& lines, QStringList& problems) {
    QStringList known;
    for (const KnownSetting& setting : kSettings)
        known << settingName(QLatin1String(setting.section), QLatin1String(setting.name));
    for (const ConfigLine& line : lines) {
        if (line.name.isEmpty()) {
            problems << QStringLiteral("%1 line %2: \"%3\" is not a setting; expected [section], name=value or a "
                                       "comment (; or #)")
                            .arg(path)
                            .arg(line.number)
                            .arg(line.raw.left(40));
            continue;
        }
        const bool isKnown = std::any_of(std::begin(kSettings), std::end(kSettings), [&](const KnownSetting& k) {
            return line.section.compare(QLatin1String(k.section), Qt::CaseInsensitive) == 0 &&
                   line.name.compare(QLatin1String(k.name), Qt::CaseInsensitive) == 0;
        });
        if (!isKnown)
            problems << QStringLiteral("%1 line %2: unknown setting %3; expected one of %4")
                            .arg(path)
                            .arg(line.number)
                            .arg(settingName(line.section.isEmpty() ? QStringLiteral("General") : line.section,
                                             line.name),
                                 known.join(QLatin1String(", ")));
    }
}

// The postal-code address, the language, the host's code page and the kept lists' settings, each when set.
void checkValues(const QList<ConfigLine>& lines, QStringList& problems) {
    if (const Sourced cep = sourced(lines, "CADCONS_CEP_URL", "cep", "url"); !cep.value.isEmpty()) {
        const QUrl url(cep.value, QUrl::StrictMode);
        const QString scheme = url.scheme().toLower();
        if (!url.isValid() || url.host().isEmpty() || url.hasQuery() || url.hasFragment() ||
            (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
            problems << QStringLiteral("%1: \"%2\" is not a web address; expected http://HOST[:PORT][/PATH] or "
                                       "https://HOST[:PORT][/PATH]")
                            .arg(cep.setting, cep.value);
    }
    if (const Sourced language = sourced(lines, "CADCONS_LANGUAGE", "screen", "language"); !language.value.isEmpty()) {
        static const QRegularExpression localeName(QStringLiteral("^[A-Za-z]{2,3}([_-][A-Za-z0-9]{2,4})?$"));
        if (!localeName.match(language.value).hasMatch())
            problems << QStringLiteral("%1: \"%2\" is not a language; expected a language code such as en, pt or "
                                       "pt_BR")
                            .arg(language.setting, language.value);
    }
    const Sourced encoding = sourced(lines, "CADCONS_HOST_ENCODING", "host", "encoding");
    if (CodePage page = CodePage::Utf8; !codePageOf(encoding.value, page))
        problems << encodingProblem(encoding);
    const QString enabled = valueIn(lines, QStringLiteral("cache"), QStringLiteral("enabled")).trimmed();
    if (bool on = true; !switchOf(enabled, on))
        problems << cacheSwitchProblem(enabled);
    if (bool on = false; !offlineProblem(lines, on).isEmpty())
        problems << offlineProblem(lines, on);
    if (const Sourced dir = sourced(lines, "CADCONS_CACHE_DIR", "cache", "dir");
        !dir.value.isEmpty() && !QFileInfo(hostPath(dir.value)).isDir())
        problems << QStringLiteral("%1: %2 is not a directory; expected the directory where the till keeps its "
                                   "lists")
                        .arg(dir.setting, hostPath(dir.value));
}

// The key is checked where it is: the variable holding it, or its file (when one was named, or the
// default one exists).
void checkKey(const QList<ConfigLine>& lines, QStringList& problems) {
    if (!qEnvironmentVariableIsEmpty("CADCONS_CRYPTO_KEY"))
        return;
    const Sourced configured = sourced(lines, "CADCONS_CRYPTO_KEY_FILE", "crypto", "key_file");
    const SettingPath key = keyFileOf(configured);
    if (configured.value.isEmpty() && !QFileInfo::exists(key.path))
        return;
    try {
        QByteArray content = readSecretFile(key.path, key.setting);
        QByteArray hex = content.trimmed();
        const bool shaped = hex.size() == 128 && std::all_of(hex.cbegin(), hex.cend(), [](char c) {
                                return std::isxdigit(static_cast<unsigned char>(c)) != 0;
                            });
        content.fill('\0');
        hex.fill('\0');
        if (!shaped)
            problems << QStringLiteral("%1: %2 does not hold a key; expected 128 hexadecimal digits (a "
                                       "64-byte key), e.g. from: od -An -tx1 -N64 /dev/urandom | tr -d ' \\n'")
                            .arg(key.setting, key.path);
    } catch (const ConfigError& e) {
        problems << QString::fromUtf8(e.what());
    }
}

} // namespace

QStringList hostConfigProblems() {
    QStringList problems;
    const QString path = hostConfigPath();
    bool readable = true;
    const QList<ConfigLine> lines = configLines(&readable);
    checkHostFiles(path, readable, problems);
    checkLines(path, lines, problems);
    checkConnection(sourced(lines, "CADCONS_CONNECTION", "database", "connection"), problems);
    checkConnection(sourced(lines, "CADCONS_CENTRAL_CONNECTION", "central", "connection"), problems);
    checkValues(lines, problems);
    checkKey(lines, problems);
    return problems;
}

} // namespace cadcons
