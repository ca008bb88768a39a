#pragma once

#include <QString>

namespace cadcons {

// Formats `text` by an edit mask: "9" (also "0" and "#") takes the next character of the text,
// any other mask character is a literal put in place. Literals come only between placed characters,
// so a short text is not padded with trailing literals. Characters left over after the mask is used
// up are dropped. A mask may carry the usual ";1;_" tail, which is ignored.
QString formatMask(const QString& mask, const QString& text);

} // namespace cadcons
