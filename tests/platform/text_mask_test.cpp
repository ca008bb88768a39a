#include "platform/mask.h"
#include "platform/text.h"

#include <gtest/gtest.h>

using namespace cadcons;

TEST(Cp1252, MapsTheHighControlRangeAndSurvivesARoundTrip) {
    const std::pair<unsigned char, char16_t> cases[] = {{0x80, 0x20AC}, {0x81, 0x0081}, {0x8D, 0x008D}, {0x93, 0x201C},
                                                        {0x9D, 0x009D}, {0x9F, 0x0178}, {0xE3, 0x00E3}, {0x41, 0x0041}};
    for (const auto& [byte, expected] : cases)
        EXPECT_EQ(fromCp1252(QByteArray(1, static_cast<char>(byte))), QString(QChar(expected))) << int(byte);
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    EXPECT_EQ(toCp1252(fromCp1252(all)), all);
}

TEST(Cp1252, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    const std::pair<QString, QByteArray> cases[] = {
        {QStringLiteral("S\u00e3o \u20ac\u2122"), QByteArray("S\xe3o \x80\x99")},
        {QStringLiteral("a\u0100b\u0080"), QByteArray("a?b?")},       // U+0080 is not what 0x80 stands for
        {QString::fromUtf8("x\xF0\x9F\x98\x80y"), QByteArray("x?y")}, // one emoji is one "?"
        {QString(QChar(0xD800)), QByteArray("?")},                    // lone surrogate
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(toCp1252(text), expected) << text.toStdString();
}

TEST(Mask, FormatsDocumentNumbers) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"999.999.999-99", "52998224725", "529.982.247-25"},
        {"99.999.999/9999-99;0;_", "16727230000197", "16.727.230/0001-97"},
        {"999.999.999-99;1;_", "5299822", "529.982.2"}, // no trailing literal after a short text
        {"(99) 9999-9999", "1134567890", "(11) 3456-7890"},
        {"00000-000", "01310100999", "01310-100"}, // extra characters dropped
        {"999-99", "", ""},
    };
    for (const auto& [mask, text, expected] : cases)
        EXPECT_EQ(formatMask(mask, text), QString(expected)) << mask << " / " << text;
}

TEST(DateTimeText, ParsesIsoAndDisplayForms) {
    const QDate day(2024, 1, 31);
    const std::tuple<const char*, bool, QDateTime> cases[] = {
        // text, ISO form, what parseDateTimeText gives (invalid: refused)
        {"2024-01-31", true, QDateTime(day, QTime(0, 0))},
        {"2024-01-31T14:05:09", true, QDateTime(day, QTime(14, 5, 9))},
        {"2024-01-31 14:05:09.5", true, QDateTime(day, QTime(14, 5, 9, 500))},
        {"31/01/2024 14:05", false, QDateTime(day, QTime(14, 5))},
        {"2024-02-30", false, {}},
        {"2024-01-31 25:00:00", false, {}},
        {"2024-01-31\n", false, {}},
        {"", false, {}},
    };
    for (const auto& [text, iso, expected] : cases) {
        EXPECT_EQ(parseIsoDateTime(text).isValid(), iso) << text;
        EXPECT_EQ(parseDateTimeText(text), expected) << text;
    }
}
