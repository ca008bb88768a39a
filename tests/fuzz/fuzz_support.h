#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <memory>

// What the fuzz targets share: the Qt application, a reader over the fuzzer's bytes, and a host
// directory with a seeded SQLite database and the host's two files.
namespace cadcons::fuzz {

// Creates the QApplication once (offscreen unless the environment names a platform) and keeps Qt's
// warnings out of the fuzzer's output.
void ensureApplication();

// Reads the fuzzer's bytes front to back; past the end every read is 0 / empty.
class Bytes {
public:
    Bytes(const uint8_t* data, size_t size)
        : data_(data)
        , size_(size) {}
    bool empty() const { return pos_ >= size_; }
    uint8_t byte() { return empty() ? 0 : data_[pos_++]; }
    // A number in [0, bound), bound > 0.
    unsigned pick(unsigned bound) { return byte() % bound; }
    // The same from two bytes, low byte first.
    unsigned pick16(unsigned bound) { return (unsigned(byte()) | unsigned(byte()) << 8) % bound; }
    // Up to `max` bytes, the length taken from the input.
    QByteArray chunk(unsigned max);
    QByteArray rest();

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// A host directory as the tests build it: cadcons.db with the schema and the demonstration data,
// PARAMETROSKIV.CDS and Dados/Cadastros/Cad_Cliente.cds. The environment points the module at it;
// the web postal-code service is pointed at a closed loopback port, so no look-up leaves the machine.
class HostDirectory {
public:
    HostDirectory();
    QString path() const { return dir_.path() + u'/'; }
    QString database() const { return path() + QStringLiteral("cadcons.db"); }
    QString parameterFile() const { return path() + QStringLiteral("PARAMETROSKIV.CDS"); }
    // Closes the data service's connection and puts the pristine database back, so every input starts
    // from the same rows whatever the previous one saved.
    void restoreDatabase() const;

private:
    QTemporaryDir dir_;
};

// Scripts the dialogs and the sibling package's services with answers drawn from `bytes` (Pesquisa
// picks a row or none, Mensagem answers yes or no, fingerprint capture returns two templates or
// none); nothing ever waits for an operator. `bytes` must outlive the calls.
void scriptDialogs(Bytes* bytes);

} // namespace cadcons::fuzz
