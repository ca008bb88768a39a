#include "platform/packet_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace cadcons;

namespace {

QByteArray readBytes(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

QByteArray doc(const QByteArray& fields, const QByteArray& rows, const QByteArray& head = "<?xml version=\"1.0\"?>") {
    return head + "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>" + fields + "</FIELDS><PARAMS/></METADATA><ROWDATA>" +
           rows + "</ROWDATA></DATAPACKET>";
}

DataPacket everyType() {
    DataPacket p;
    for (int t = int(FieldType::String); t <= int(FieldType::Memo); ++t)
        p.fields.append({QStringLiteral("F%1").arg(t), FieldType(t)});
    p.fields[0].width = 40;
    p.fields[11].decimals = 2;
    p.fields[11].width = 15;
    p.fields[4].required = true;
    p.rows.append({QStringLiteral("a&b<c>d\"e'f\tg\nh\ri"), QStringLiteral("Olho d'\u00c1gua \u20ac \U0001F600"),
                   qint64(-128), qint64(32767), qint64(-2147483648LL), qint64(9223372036854775807LL), qint64(255),
                   qint64(65535), qint64(4294967295LL), 0.1, 1234.56, -1e-7, true, QDate(2024, 1, 31),
                   QTime(14, 5, 9, 7), QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59, 999)),
                   QStringLiteral("line 1\r\nline 2")});
    p.rows.append(QVariantList(p.fields.size())); // all null
    p.rows.append({"", "", qint64(0), qint64(0), qint64(0), qint64(0), qint64(0), qint64(0), qint64(0), 0.0, 0.0, 0.0,
                   false, QDate(1, 1, 1), QTime(0, 0), QDateTime(QDate(2024, 2, 29), QTime(0, 0)), ""});
    return p;
}

void expectFileError(const std::function<void()>& call, const QString& source, const QString& keyword) {
    try {
        call();
        ADD_FAILURE() << "no error; expected one about " << keyword.toStdString();
    } catch (const PacketFileError& e) {
        const QString text = QString::fromUtf8(e.what());
        EXPECT_TRUE(text.contains(source) && text.contains(keyword, Qt::CaseInsensitive))
            << e.what() << "  /  expected: " << keyword.toStdString();
    }
}

} // namespace

TEST(PacketFile, ReadsTheSamplesAndWritesThemBackByteForByte) {
    for (const char* name : {"PARAMETROSKIV.CDS", "Cad_Cliente.cds"}) {
        const QString path = QStringLiteral(CADCONS_TEST_DATA_DIR "/") + name;
        EXPECT_EQ(writePacketXml(readPacketFile(path)), readBytes(path)) << name;
    }
    const DataPacket params = readPacketFile(QStringLiteral(CADCONS_TEST_DATA_DIR "/PARAMETROSKIV.CDS"));
    ASSERT_EQ(params.fields.size(), 13);
    ASSERT_EQ(params.rows.size(), 1);
    EXPECT_EQ(params.fields[params.fieldIndex("utilizaimpfis")].type, FieldType::Boolean);
    EXPECT_EQ(params.rows[0][params.fieldIndex("UTILIZAIMPFIS")], QVariant(false));
    EXPECT_EQ(params.rows[0][params.fieldIndex("CDCLIENTE")], QVariant("000000000000000000001"));
    const DataPacket clients = readPacketFile(QStringLiteral(CADCONS_TEST_DATA_DIR "/Cad_Cliente.cds"));
    ASSERT_EQ(clients.rows.size(), 3);
    EXPECT_EQ(clients.rows[1][4], QVariant(QStringLiteral("Metal\u00fargica S\u00e3o Jo\u00e3o")));
}

TEST(PacketFile, EveryTypeSurvivesWriteAndRead) {
    const DataPacket p = everyType();
    EXPECT_EQ(readPacketXml(writePacketXml(p), "mem"), p);
    QTemporaryDir dir;
    writePacketFile(p, dir.filePath("all.cds"));
    EXPECT_EQ(readPacketFile(dir.filePath("all.cds")), p);
}

TEST(PacketFile, ReadsValuesLeniently) {
    const QDateTime dt(QDate(2024, 1, 31), QTime(14, 5, 9));
    const std::tuple<QByteArray, QByteArray, QVariant> cases[] = {
        {"dateTime", R"(D="20240131T14:05:09000")", dt},
        {"dateTime", R"(D="20240131T14:05:09")", dt},
        {"dateTime", R"(D="20240131T14:05:09250")", dt.addMSecs(250)},
        {"time", R"(D="14:05:09.5")", QTime(14, 5, 9, 500)},
        {"boolean", R"(RowState="4" D="true")", true},
        {"i4", R"(D="")", QVariant()},
        {"i4", "", QVariant()},
        {"string", R"(D="")", QString("")},
        {"string", R"(d="S&#227;o &#x20AC;&amp;")", QStringLiteral("S\u00e3o \u20ac&")},
        {"r8\" SUBTYPE=\"Money", R"(D="12.5")", 12.5},
    };
    for (const auto& [type, attrs, expected] : cases) {
        const DataPacket p = readPacketXml(
            doc("<FIELD attrname=\"D\" fieldtype=\"" + type + "\" WIDTH=\"5\"/>", "<ROW " + attrs + "/>"), "x");
        ASSERT_EQ(p.rows.size(), 1);
        EXPECT_EQ(p.rows[0][0], expected) << type.constData() << " " << attrs.constData();
    }
    const QByteArray pretty = "<?xml version=\"1.0\"?>\n<!-- saved -->\n<DATAPACKET Version=\"2.0\">\n <METADATA>\n"
                              "  <FIELDS>\n   <FIELD attrname=\"A\" fieldtype=\"string\" WIDTH=\"3\"/>\n  </FIELDS>\n"
                              "  <PARAMS CHANGE_LOG=\"1 0 4\"/>\n </METADATA>\n <ROWDATA>\n  <ROW A=\"x\"/>\n"
                              " </ROWDATA>\n</DATAPACKET>\n";
    EXPECT_EQ(readPacketXml(pretty, "pretty.xml").rows, QList<QVariantList>({{QString("x")}}));
}

TEST(PacketFile, DecodesTheDeclaredEncoding) {
    const std::tuple<QByteArray, QByteArray, QString> cases[] = {
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", "S\xe3o \x80", QStringLiteral("S\u00e3o \u0080")},
        {"<?xml version=\"1.0\" encoding=\"windows-1252\"?>", "S\xe3o \x80\x93\x81",
         QStringLiteral("S\u00e3o \u20ac\u201c\u0081")},
        {"<?xml version='1.0' encoding='utf-8'?>", "S\xc3\xa3o", QStringLiteral("S\u00e3o")},
        {"\xEF\xBB\xBF<?xml version=\"1.0\"?>", "S\xc3\xa3o", QStringLiteral("S\u00e3o")},
        {"<?xml version=\"1.0\" encoding=\"US-ASCII\"?>", "S&#227;o", QStringLiteral("S\u00e3o")},
    };
    for (const auto& [head, value, expected] : cases) {
        const DataPacket p =
            readPacketXml(doc(R"(<FIELD attrname="S" fieldtype="string"/>)", "<ROW S=\"" + value + "\"/>", head), "e");
        ASSERT_EQ(p.rows.size(), 1);
        EXPECT_EQ(p.rows[0][0].toString(), expected) << head.constData();
    }
}

// In Windows-1252 what the code page holds goes as its byte, the rest as a reference: nothing is lost.
TEST(PacketFile, WritesInWindows1252WithoutLosingACharacter) {
    const std::pair<QString, QByteArray> cases[] = {
        {QStringLiteral("Jos\u00e9 \u20ac"), "S=\"Jos\xe9 \x80\""},
        {QStringLiteral("\u65e5 \u0081 \U0001F600"), "S=\"&#26085; &#129; &#128512;\""},
    };
    for (const auto& [text, bytes] : cases) {
        const DataPacket p{{{QStringLiteral("S"), FieldType::String, 20}}, {{text}}};
        const QByteArray xml = writePacketXml(p, CodePage::Windows1252);
        EXPECT_TRUE(xml.startsWith("<?xml version=\"1.0\" encoding=\"windows-1252\"")) << xml.constData();
        EXPECT_TRUE(xml.contains(bytes)) << xml.constData();
        EXPECT_EQ(readPacketXml(xml, "w").rows, p.rows);
    }
}

TEST(PacketFile, RefusesMalformedAndHostileInput) {
    const QByteArray s = R"(<FIELD attrname="S" fieldtype="string"/>)";
    auto typed = [](const char* type, const char* value) {
        return doc(QByteArray("<FIELD attrname=\"V\" fieldtype=\"") + type + "\"/>",
                   QByteArray("<ROW V=\"") + value + "\"/>");
    };
    QByteArray deep = "<PARAMS>";
    for (int i = 0; i < 40; ++i)
        deep += "<P>";
    const QByteArray sample = readBytes(QStringLiteral(CADCONS_TEST_DATA_DIR "/Cad_Cliente.cds"));
    const std::pair<QByteArray, const char*> cases[] = {
        {"", "well-formed"},
        {sample.left(sample.size() / 2), "well-formed"},
        {sample + "<DATAPACKET/>", "well-formed"},
        {doc(s, "<ROW S=\"&b;\"/>",
             "<?xml version=\"1.0\"?><!DOCTYPE DATAPACKET [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;\">]>"),
         "document type"},
        {doc(s, "", "<!DOCTYPE DATAPACKET SYSTEM \"file:///etc/passwd\">"), "document type"},
        {doc(s, "<ROW S=\"&undefined;\"/>"), "well-formed"},
        {doc(s, "<ROW S=\"&#1;\"/>"), "well-formed"},
        {doc(s, "<ROW S=\"" + QByteArray(kMaxPacketAttributeChars + 1, 'x') + "\"/>"), "longer than"},
        {"<?xml version=\"1.0\" encoding=\"EBCDIC-XY\"?><DATAPACKET/>", "EBCDIC-XY"},
        {doc(s, "<ROW S=\"\xe3\"/>", "<?xml version=\"1.0\" encoding=\"US-ASCII\"?>"), "US-ASCII"},
        {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><DATAPACKET/>", "byte-order mark"},
        {doc(s, "<ROW S=\"S\xe3o\"/>"), "well-formed"}, // Latin-1 bytes in a UTF-8 document
        {doc(s, "").replace("<PARAMS/>", deep), "nested deeper"},
        {"<DATAPACKETS/>", "root element"},
        {"<DATAPACKET Version=\"2.0\"><ROWDATA/></DATAPACKET>", "unexpected element <ROWDATA>"},
        {"<DATAPACKET Version=\"2.0\"></DATAPACKET>", "no METADATA"},
        {doc(s, "junk<ROW S=\"a\"/>"), "unexpected text"},
        {doc(s, "<ROW S=\"a\"><X/></ROW>"), "row 1 holds an element <X>"},
        {doc(s, "<ROW S=\"a\" T=\"b\"/>"), "attribute T that names no field"},
        {doc(s + s, ""), "field S is defined twice"},
        {doc(R"(<FIELD fieldtype="string"/>)", ""), "no attrname"},
        {doc(R"(<FIELD attrname="S" fieldtype="string" WIDTH="-1"/>)", ""), "WIDTH=\"-1\""},
        {doc(R"(<FIELD attrname="K" fieldtype="nested"/>)", ""), "field K has the unsupported type \"nested\""},
        {doc(R"(<FIELD attrname="K" fieldtype="bin.hex"/>)", ""), "field K has the unsupported type"},
        {typed("i1", "128"), "\"128\" is not a valid i1"},
        {typed("ui4", "4294967296"), "not a valid ui4"},
        {typed("i4", "12abc"), "not a valid i4"},
        {typed("r8", "nan"), "not a valid r8"},
        {typed("boolean", "yes"), "not a valid boolean"},
        {typed("date", "20240230"), "not a valid date"},
        {typed("time", "14:05:0912"), "not a valid time"},
        {typed("dateTime", "20240131 14:05:09"), "not a valid dateTime"},
    };
    for (const auto& c : cases)
        expectFileError([&] { readPacketXml(c.first, "hostile.cds"); }, "hostile.cds", c.second);
}

TEST(PacketFile, BoundsTheMemoryThatEmptyRowsCanClaim) {
    // An empty ROW costs six bytes of file but a value per field in memory.
    const int fields = 2048;
    QByteArray defs;
    for (int i = 0; i < fields; ++i)
        defs += "<FIELD attrname=\"F" + QByteArray::number(i) + "\" fieldtype=\"i4\"/>";
    QByteArray rows = QByteArray("<ROW/>").repeated(kMaxPacketCells / fields + 1);
    expectFileError([&] { readPacketXml(doc(defs, rows), "wide.cds"); }, "wide.cds", "more than");
    rows.chop(6);
    EXPECT_EQ(readPacketXml(doc(defs, rows), "wide.cds").rows.size(), kMaxPacketCells / fields);
}

TEST(PacketFile, ReportsFileProblemsByPathAndKeepsTheOldFileOnAFailedWrite) {
    QTemporaryDir dir;
    const QString missing = dir.filePath("missing.cds");
    expectFileError([&] { readPacketFile(missing); }, missing, "no such file");
    expectFileError([&] { readPacketFile(dir.path()); }, dir.path(), "not a regular file");
    const QString big = dir.filePath("big.cds");
    QFile f(big);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(kMaxPacketFileBytes + 1)); // sparse
    f.close();
    expectFileError([&] { readPacketFile(big); }, big, "larger than");
    const QString nowhere = dir.filePath("no/such/dir/x.cds");
    expectFileError([&] { writePacketFile(everyType(), nowhere); }, nowhere, "cannot be written");

    const QString target = dir.filePath("Cad_Cliente.cds");
    ASSERT_TRUE(QFile::copy(QStringLiteral(CADCONS_TEST_DATA_DIR "/Cad_Cliente.cds"), target));
    const QByteArray before = readBytes(target);
    // A packet XML cannot carry fails before the file is touched.
    expectFileError(
        [&] {
            writePacketFile(DataPacket{{{"S", FieldType::String}}, {{"a\x01"}}}, target);
        },
        target, "character that XML cannot carry");
    EXPECT_EQ(readBytes(target), before);

    // A write the system cuts short (here: a file size limit) leaves the old file too.
    DataPacket large{{{"S", FieldType::String, 100}}, {}};
    for (int i = 0; i < 2000; ++i)
        large.rows.append({QString(100, u'x')});
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = rlim_t(64) * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool failed = false;
    try {
        writePacketFile(large, target);
    } catch (const PacketFileError&) {
        failed = true;
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_TRUE(failed);
    EXPECT_EQ(readBytes(target), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // no temporary left
    writePacketFile(large, target);
    EXPECT_EQ(readPacketFile(target), large);
}

TEST(PacketFile, RefusesToWritePacketsItCouldNotReadBack) {
    const std::tuple<FieldDef, QVariant, const char*> cases[] = {
        {{"N", FieldType::Int8}, qint64(128), "does not fit type i1"},
        {{"N", FieldType::UInt32}, qint64(-1), "does not fit type ui4"},
        {{"F", FieldType::Float}, qInf(), "not a finite number"},
        {{"D", FieldType::Date}, QDate(10000, 1, 1), "not a date"},
        {{"S", FieldType::String}, QString(QChar(0xDC00)), "cannot carry"},
        {{"bad name", FieldType::String}, "x", "cannot name a ROW attribute"},
    };
    for (const auto& c : cases) {
        const DataPacket p{{std::get<0>(c)}, {{std::get<1>(c)}}};
        expectFileError([&] { writePacketXml(p); }, "", std::get<2>(c));
    }
    expectFileError(
        [&] {
            writePacketXml(DataPacket{{{"A"}, {"B"}}, {{"a"}}});
        },
        "", "row 1 has 1 values for 2 fields");
}
