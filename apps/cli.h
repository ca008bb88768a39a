#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <stdexcept>

// What the command-line programs share: the --connection option and the way they fail.
namespace cadcons::cli {

// A mistake on the command line: the text says what, and the program points to --help.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Takes "--connection STR" / "--connection=STR" out of `args` and puts it in CADCONS_CONNECTION, where
// the data service looks first. Throws UsageError when the value is missing.
void takeConnectionOption(QStringList& args);
void takeConnectionOption(QList<QByteArray>& args);

// Writes to standard output / standard error as UTF-8.
void out(const QString& text);
void err(const QString& text);

} // namespace cadcons::cli
