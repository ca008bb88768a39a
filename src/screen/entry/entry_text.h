#pragma once

#include "registration/field_catalogue.h"

#include <QChar>
#include <QString>

// Character rules shared by the two keyboards of the registration form.
namespace cadcons::entry {

inline bool isPasswordField(int field) {
    return field == registration::SenhaCons || field == registration::SenhaSite;
}

// The screen's case rules touch only the 26 plain letters: "ç", accented letters and symbols keep their
// case whatever Shift and Caps Lock say.
inline QChar asciiUpper(QChar c) {
    return (c >= u'a' && c <= u'z') ? QChar(c.unicode() - (u'a' - u'A')) : c;
}
inline QChar asciiLower(QChar c) {
    return (c >= u'A' && c <= u'Z') ? QChar(c.unicode() + (u'a' - u'A')) : c;
}
inline QString asciiUpper(QString s) {
    for (QChar& c : s)
        c = asciiUpper(c);
    return s;
}
inline QString asciiLower(QString s) {
    for (QChar& c : s)
        c = asciiLower(c);
    return s;
}
inline bool isAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The 71 characters a password may hold: space , - . / 0-9 A-Z \ _ a-z Ç ç.
inline bool isPasswordChar(QChar c) {
    const char16_t u = c.unicode();
    return u == u' ' || u == u',' || u == u'-' || u == u'.' || u == u'/' || (u >= u'0' && u <= u'9') ||
           isAsciiLetter(c) || u == u'\\' || u == u'_' || u == 0xC7 || u == 0xE7;
}

} // namespace cadcons::entry
