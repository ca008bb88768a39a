#include "config/host_config.h"
#include "routines/utility.h"

#include <QByteArray>
#include <memory>
#include <openssl/crypto.h>
#include <openssl/evp.h>

// CriptoPlus: AES-256-SIV (RFC 5297) without a nonce, so the same password under the same key always
// gives the same text, which is what a stored password column compared by value needs; a changed or
// forged text fails the synthetic IV check. The stored text is base64url without padding of the
// 16-byte tag followed by the ciphertext (as long as the UTF-8 password): 4 characters per 3 bytes and
// only letters, digits, "-" and "_", so it needs no quoting in SQL, filter texts or files.
namespace cadcons {

namespace {

constexpr int kKeyBytes = 64;
constexpr qsizetype kKeyHexDigits = qsizetype{2} * kKeyBytes;
constexpr int kTagBytes = 16;
constexpr char kKeyVariable[] = "CADCONS_CRYPTO_KEY";
// Binds the texts to this use of the key.
constexpr unsigned char kAssociatedData[] = {'c', 'a', 'd', 'c', 'o', 'n', 's', '.', 'C', 'r', 'i',
                                             'p', 't', 'o', 'P', 'l', 'u', 's', '.', 'v', '1'};

constexpr auto kBase64 = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

void wipe(QByteArray& bytes) {
    if (!bytes.isEmpty())
        OPENSSL_cleanse(bytes.data(), size_t(bytes.size()));
}

void wipe(QString& text) {
    if (!text.isEmpty())
        OPENSSL_cleanse(text.data(), size_t(text.size()) * sizeof(QChar));
}

int hexValue(QChar c) {
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

// The key, wiped when it goes out of scope.
struct Key {
    unsigned char bytes[kKeyBytes];
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() { OPENSSL_cleanse(bytes, sizeof bytes); }
};

void loadKey(Key& key) {
    QString where;
    QString hex;
    if (!qEnvironmentVariableIsEmpty(kKeyVariable)) {
        QByteArray raw = qgetenv(kKeyVariable);
        hex = QString::fromLatin1(raw).trimmed();
        wipe(raw);
        where = QStringLiteral("the environment variable %1").arg(QLatin1String(kKeyVariable));
    } else {
        const SettingPath file = cryptoKeyFile();
        where = QStringLiteral("%1 (%2)").arg(file.path, file.setting);
        QByteArray raw;
        try {
            raw = readSecretFile(file.path, file.setting);
        } catch (const ConfigError& e) {
            throw CryptoError(QStringLiteral("CriptoPlus: no usable encryption key. %1, holding 128 hexadecimal "
                                             "digits (a 64-byte key); or the key itself in %2.")
                                  .arg(QString::fromUtf8(e.what()), QLatin1String(kKeyVariable))
                                  .toStdString());
        }
        hex = QString::fromLatin1(raw).trimmed();
        wipe(raw);
    }
    const QString howTo = QStringLiteral("put 128 hexadecimal digits (a 64-byte key) in %1, a file only its owner "
                                         "can read (or set key_file= in the [crypto] section of %2, or %3)")
                              .arg(cryptoKeyFile().path, hostConfigPath(), QLatin1String(kKeyVariable));
    if (hex.isEmpty())
        throw CryptoError(QStringLiteral("CriptoPlus: no encryption key is configured; %1.").arg(howTo).toStdString());
    if (hex.size() != kKeyHexDigits) {
        const auto length = hex.size();
        wipe(hex);
        throw CryptoError(QStringLiteral("CriptoPlus: the encryption key in %1 has %2 characters instead of 128; %3.")
                              .arg(where)
                              .arg(length)
                              .arg(howTo)
                              .toStdString());
    }
    for (qsizetype i = 0; i < kKeyBytes; ++i) {
        const int high = hexValue(hex[2 * i]);
        const int low = hexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) {
            wipe(hex);
            throw CryptoError(
                QStringLiteral("CriptoPlus: the encryption key in %1 holds a character that is not a hexadecimal "
                               "digit; %2.")
                    .arg(where, howTo)
                    .toStdString());
        }
        key.bytes[i] = static_cast<unsigned char>(high * 16 + low);
    }
    wipe(hex);
}

struct CipherDeleter {
    void operator()(EVP_CIPHER* c) const { EVP_CIPHER_free(c); }
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
using CipherPtr = std::unique_ptr<EVP_CIPHER, CipherDeleter>;
using ContextPtr = std::unique_ptr<EVP_CIPHER_CTX, CipherDeleter>;

CipherPtr fetchCipher() {
    CipherPtr cipher(EVP_CIPHER_fetch(nullptr, "AES-256-SIV", nullptr));
    if (!cipher)
        throw CryptoError("CriptoPlus: OpenSSL offers no AES-256-SIV cipher (its default provider is not loaded)");
    return cipher;
}

ContextPtr newContext() {
    ContextPtr ctx(EVP_CIPHER_CTX_new());
    if (!ctx)
        throw CryptoError("CriptoPlus: out of memory for the cipher context");
    return ctx;
}

// Tag followed by the ciphertext of `plain`.
QByteArray seal(const QByteArray& plain) {
    Key key;
    loadKey(key);
    const CipherPtr cipher = fetchCipher();
    const ContextPtr ctx = newContext();
    QByteArray sealed(kTagBytes + plain.size(), Qt::Uninitialized);
    auto* tag = reinterpret_cast<unsigned char*>(sealed.data());
    unsigned char* out = tag + kTagBytes;
    int length = 0;
    int finalLength = 0;
    const bool ok =
        EVP_EncryptInit_ex2(ctx.get(), cipher.get(), key.bytes, nullptr, nullptr) == 1 &&
        EVP_EncryptUpdate(ctx.get(), nullptr, &length, kAssociatedData, int(sizeof kAssociatedData)) == 1 &&
        EVP_EncryptUpdate(ctx.get(), out, &length, reinterpret_cast<const unsigned char*>(plain.constData()),
                          int(plain.size())) == 1 &&
        EVP_EncryptFinal_ex(ctx.get(), out + length, &finalLength) == 1 && length + finalLength == plain.size() &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_AEAD_GET_TAG, kTagBytes, tag) == 1;
    if (!ok)
        throw CryptoError("CriptoPlus: the cipher failed");
    return sealed;
}

// The plain bytes, or false when the tag does not match.
bool unseal(const QByteArray& sealed, QByteArray& plain) {
    Key key;
    loadKey(key);
    const CipherPtr cipher = fetchCipher();
    const ContextPtr ctx = newContext();
    const qsizetype plainSize = sealed.size() - kTagBytes;
    plain = QByteArray(plainSize, Qt::Uninitialized);
    auto* tag = reinterpret_cast<unsigned char*>(const_cast<char*>(sealed.constData()));
    int length = 0;
    int finalLength = 0;
    const bool ok =
        EVP_DecryptInit_ex2(ctx.get(), cipher.get(), key.bytes, nullptr, nullptr) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_AEAD_SET_TAG, kTagBytes, tag) == 1 &&
        EVP_DecryptUpdate(ctx.get(), nullptr, &length, kAssociatedData, int(sizeof kAssociatedData)) == 1 &&
        EVP_DecryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(plain.data()), &length, tag + kTagBytes,
                          int(plainSize)) == 1 &&
        EVP_DecryptFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(plain.data()) + length, &finalLength) == 1 &&
        length + finalLength == plainSize;
    if (!ok)
        wipe(plain);
    return ok;
}

} // namespace

int maxCriptoPlusInput(int columnWidth) {
    // n bytes take ceil(4n / 3) characters, so a column of w characters holds floor(3w / 4) bytes.
    if (columnWidth <= 0)
        return 0;
    const long long bytes = 3LL * columnWidth / 4 - kTagBytes;
    return bytes > 0 ? int(bytes) : 0;
}

// The empty password stays empty: there is nothing to protect, and an empty column keeps meaning
// "no password".
QString CriptoPlus(const QString& plain, int columnWidth) {
    if (plain.isEmpty())
        return {};
    QByteArray bytes = plain.toUtf8();
    const int limit = maxCriptoPlusInput(columnWidth);
    if (bytes.size() > limit) {
        wipe(bytes);
        throw CryptoError(QStringLiteral("CriptoPlus: the password is too long to be stored: a column of %1 "
                                         "characters holds the encrypted form of at most %2 bytes (UTF-8).")
                              .arg(columnWidth)
                              .arg(limit)
                              .toStdString());
    }
    QByteArray sealed;
    try {
        sealed = seal(bytes);
    } catch (...) {
        wipe(bytes);
        throw;
    }
    wipe(bytes);
    QString text = QString::fromLatin1(sealed.toBase64(kBase64));
    if (text.size() > columnWidth) // cannot happen given the limit above; never hand back a text to be cut
        throw CryptoError("CriptoPlus: the encrypted password does not fit its column");
    return text;
}

QString DecriptoPlus(const QString& stored) {
    if (stored.isEmpty())
        return {};
    const CryptoError notOurs("DecriptoPlus: the text was not made by CriptoPlus with this key, or it was altered");
    const QByteArray encoded = stored.toLatin1(); // anything outside base64url fails the decoding below
    auto decoded = QByteArray::fromBase64Encoding(encoded, kBase64 | QByteArray::AbortOnBase64DecodingErrors);
    // Only the one canonical spelling is accepted, so a text maps to exactly one stored value.
    if (!decoded || decoded.decoded.size() <= kTagBytes || decoded.decoded.toBase64(kBase64) != encoded)
        throw notOurs;
    QByteArray plain;
    if (!unseal(decoded.decoded, plain))
        throw notOurs;
    QString result = QString::fromUtf8(plain);
    wipe(plain);
    return result;
}

} // namespace cadcons
