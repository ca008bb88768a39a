#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <atomic>
#include <thread>

// libfprint's virtual readers, as Debian builds them: FP_VIRTUAL_DEVICE names the UNIX socket of the
// "virtual_device" driver, which takes one text command per connection ("SCAN <id>", "RETRY <code>",
// "ERROR <code>", "SLEEP <ms>", "SET_ENROLL_STAGES <n>", "SET_SCAN_TYPE <press|swipe>") and closes the
// connection once it has read it; FP_VIRTUAL_IMAGE names the socket of the "virtual_image" driver, which
// takes images (width and height as native ints, then the grey bytes) over one connection.
namespace fingerprint_test {

// The environment for one kind of reader, for the life of the object. Only the virtual drivers are
// allowed, so a reader plugged into the test machine does not interfere.
class VirtualReader {
public:
    enum Kind { None, Device, Image };
    explicit VirtualReader(Kind kind);
    ~VirtualReader();

    QString socketPath() const { return dir_.filePath(QStringLiteral("reader.sock")); }
    // Whether the reader is open, i.e. accepts connections.
    bool listening() const;

private:
    QTemporaryDir dir_;
};

// Sends commands to the virtual_device socket from a thread of its own, each once the device has read
// the one before (a new connection makes it drop one it has not read); waits for the device to open.
class CommandFeeder {
public:
    CommandFeeder(const QString& socketPath, const QStringList& commands);
    ~CommandFeeder();
    int sent() const { return sent_; }

private:
    bool send(const QByteArray& path, const QByteArray& command);

    std::atomic<bool> stop_{false};
    std::atomic<int> sent_{0};
    std::thread thread_;
};

// A virtual_image frame of a fingerprint-like image: ridges with `minutiae` phase spirals, each of which
// ends or splits one ridge, placed by `seed`; with 0 minutiae, an empty glass.
QByteArray fingerprintFrame(int minutiae, unsigned seed);

struct DecodedTemplate {
    QString error; // empty when libfprint read the template back
    QString driver, username, description;
    int finger = 0;
    QString scanId; // virtual_device: the id its SCAN commands carried
};
DecodedTemplate decodeTemplate(const QString& base64);

} // namespace fingerprint_test
