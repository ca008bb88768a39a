#include "registration/md5.h"

#include "platform/text.h"

#include <QCryptographicHash>

namespace cadcons {

QString MD5(const QString& text) {
    QByteArray bytes = toCp1252(text);
    const QByteArray digest = QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
    // The bytes may be a salted password: they do not stay behind in freed memory.
    bytes.fill('\0');
    return QString::fromLatin1(digest.toHex());
}

} // namespace cadcons
