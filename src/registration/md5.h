#pragma once

#include <QString>

namespace cadcons {

// The MD5 digest of a text's code-page-1252 bytes, as 32 lower-case hexadecimal digits. The stored
// password digests are compared by other programs of the point of sale, so the bytes must be those of
// the 8-bit text they hash.
QString MD5(const QString& text);

// The fixed salt around a password before it is digested.
inline constexpr char kSaltPrefix[] = "kulap";
inline constexpr char kSaltSuffix[] = "8264";

} // namespace cadcons
