#include "qt_printers.h"
#include "registration/md5.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace cadcons {
namespace {

// Digests worked out by another tool (md5sum) over "kulap", the password's bytes and "8264".
TEST(Md5Test, DigestOfTheSaltedPasswordIsLowerCaseHexOfItsCodePage1252Bytes) {
    const struct {
        QString password;
        const char* digest;
    } cases[] = {
        {QString(), "7e797f46be6e3f65e424f1e706254c82"},
        {QStringLiteral("1234"), "9f0548b8c7b1af5e22eb5be74efd3597"},
        {QStringLiteral("a"), "d732fe1ea2909dcb1b78c912d05e3a2f"},
        {QStringLiteral("Senha,Forte 1"), "f515dd1d313256c12a0331fcb669309b"},
        // One byte each, 0xE7 and 0xC7, as the till's 8-bit text holds them; not their UTF-8 pairs.
        {QStringLiteral("\u00e7\u00c7"), "f29ff808645168a1282a6b246d0b2a97"},
        // The first byte of this digest is below 16: its pair keeps the leading zero.
        {QStringLiteral("nova"), "00e69b3f6f150622bdcc2e51b13cce77"},
    };
    for (const auto& c : cases) {
        const QString digest = MD5(QLatin1String(kSaltPrefix) + c.password + QLatin1String(kSaltSuffix));
        EXPECT_EQ(digest, QLatin1String(c.digest)) << c.password.toStdString();
    }
}

TEST(Md5Test, EveryDigestIsThirtyTwoLowerCaseHexDigits) {
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{32}$"));
    for (const QString& text : {QString(), QStringLiteral("x"), QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"),
                                QString(1000, u'z'), QStringLiteral("\u00e9\u00e3\u00f5")})
        EXPECT_TRUE(hex.match(MD5(text)).hasMatch()) << MD5(text).toStdString();
    EXPECT_EQ(MD5(QString()), QLatin1String("d41d8cd98f00b204e9800998ecf8427e"));
    EXPECT_EQ(MD5(QStringLiteral("abc")), QLatin1String("900150983cd24fb0d6963f7d28e17f72"));
}

} // namespace
} // namespace cadcons
