#pragma once

#include <QDate>
#include <QString>
#include <stdexcept>

// The in-house utility routines that the service and the form rely on.
namespace cadcons {

// True for an empty text or one made only of blanks.
bool EmptyString(const QString& text);

// Trims blanks, then pads on the left with "0" up to `width`. A longer text comes back trimmed and
// uncut. Idempotent.
QString Ajusta(const QString& text, int width);

// A date as the date fields write it, day/month/year: the year in four digits, or in two within the
// century window that puts it at most 50 years before and 49 after this one. Throws
// std::invalid_argument, in the screen's language, for a text that is no such date.
QDate StrToDate(const QString& text);

// `count` copies of `text`; "" for a count of 0 or less.
QString Replicate(const QString& text, int count);

// True only for exactly eleven digits whose two check digits are right.
bool CPFOk(const QString& digits);

// Person kinds of a customer (IDTPIJURCLIE).
inline constexpr char kPessoaFisica = 'F';   // natural person: CPF
inline constexpr char kPessoaJuridica = 'J'; // company: CNPJ

// Edit mask of a customer's document number: "999.999.999-99" for a natural person, "99.999.999/9999-99"
// for a company (also for any other or empty kind, as most customers are companies).
QString PictPess(const QString& personKind);

// Every accented Latin letter of code page 1252 to its plain letter, both cases; "ç"/"Ç" to "c"/"C".
QString RemoveAcentos(const QString& text);

class CryptoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Column width of the till password, the narrowest column CriptoPlus writes to.
inline constexpr int kSenhaConsWidth = 40;

// Deterministic keyed encryption (AES-SIV) of a password, as printable text that fits `columnWidth`.
// The key comes from the host configuration. Throws CryptoError when there is no usable key or
// when the result would not fit the column: a password is never cut.
QString CriptoPlus(const QString& plain, int columnWidth = kSenhaConsWidth);
// The inverse, for tools and tests. Throws CryptoError on a text that was not made with this key.
QString DecriptoPlus(const QString& stored);
// Longest password (in UTF-8 bytes) whose encrypted form fits `columnWidth`.
int maxCriptoPlusInput(int columnWidth);

} // namespace cadcons
