#include "virtual_reader.h"

#include <QtGlobal>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fprint.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace fingerprint_test {

namespace {

// -1 with errno when the connection fails.
int connectTo(const QByteArray& path, int flags = 0) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | flags, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.constData(), sizeof(address.sun_path) - 1);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0)
        return fd;
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
}

} // namespace

VirtualReader::VirtualReader(Kind kind) {
    const char* drivers[] = {"virtual_device:virtual_image", "virtual_device", "virtual_image"};
    qputenv("FP_DRIVERS_WHITELIST", drivers[kind]);
    qunsetenv("FP_VIRTUAL_DEVICE");
    qunsetenv("FP_VIRTUAL_IMAGE");
    if (kind != None)
        qputenv(kind == Device ? "FP_VIRTUAL_DEVICE" : "FP_VIRTUAL_IMAGE", socketPath().toLocal8Bit());
}

VirtualReader::~VirtualReader() {
    qunsetenv("FP_VIRTUAL_DEVICE");
    qunsetenv("FP_VIRTUAL_IMAGE");
    qunsetenv("FP_DRIVERS_WHITELIST");
}

bool VirtualReader::listening() const {
    // Not blocking: the reader accepts on this very thread, so a full backlog would never drain.
    const int fd = connectTo(socketPath().toLocal8Bit(), SOCK_NONBLOCK);
    if (fd < 0)
        return errno == EAGAIN;
    ::close(fd);
    return true;
}

CommandFeeder::CommandFeeder(const QString& socketPath, const QStringList& commands)
    : thread_([this, path = socketPath.toLocal8Bit(), commands] {
        for (const QString& command : commands) {
            if (!send(path, command.toUtf8()))
                return;
            ++sent_;
        }
    }) {}

CommandFeeder::~CommandFeeder() {
    stop_ = true;
    thread_.join();
}

bool CommandFeeder::send(const QByteArray& path, const QByteArray& command) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int fd = -1;
    while ((fd = connectTo(path)) < 0) {
        if (stop_ || std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    bool ok = ::write(fd, command.constData(), size_t(command.size())) == command.size();
    char buffer[256];
    for (pollfd p{fd, POLLIN, 0}; ok && !stop_;) {
        if (::poll(&p, 1, 50) > 0 && ::read(fd, buffer, sizeof(buffer)) <= 0)
            break; // closed: the device has the command
    }
    ::close(fd);
    return ok && !stop_;
}

QByteArray fingerprintFrame(int minutiae, unsigned seed) {
    constexpr int width = 256, height = 360;
    struct Spiral {
        double x, y;
        int turn;
    };
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<Spiral> spirals;
    // Apart and off the edges, so the extractor sees each one on its own.
    while (int(spirals.size()) < minutiae) {
        const Spiral s{width * (0.12 + 0.76 * unit(random)), height * (0.12 + 0.76 * unit(random)),
                       unit(random) < 0.5 ? 1 : -1};
        bool apart = true;
        for (const Spiral& o : spirals)
            apart = apart && std::hypot(s.x - o.x, s.y - o.y) >= 28;
        if (apart)
            spirals.push_back(s);
    }
    const int header[2] = {width, height};
    QByteArray frame(reinterpret_cast<const char*>(header), sizeof(header));
    frame.reserve(frame.size() + width * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Ridges 10 pixels apart, about a finger's at 500 dpi.
            double phase = 2 * M_PI / 10 * (y + 12 * std::sin(x / 40.0));
            for (const Spiral& s : spirals)
                phase += s.turn * std::atan2(y - s.y, x - s.x);
            frame.append(char(minutiae ? static_cast<unsigned char>(128 - 110 * std::cos(phase)) : 200));
        }
    }
    return frame;
}

DecodedTemplate decodeTemplate(const QString& base64) {
    DecodedTemplate out;
    const auto raw = QByteArray::fromBase64Encoding(base64.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    GError* error = nullptr;
    FpPrint* print = raw && !raw.decoded.isEmpty()
                         ? fp_print_deserialize(reinterpret_cast<const guchar*>(raw.decoded.constData()),
                                                gsize(raw.decoded.size()), &error)
                         : nullptr;
    if (!print) {
        out.error = error ? QString::fromUtf8(error->message) : QStringLiteral("not base64: ") + base64;
        g_clear_error(&error);
        return out;
    }
    out.driver = QString::fromUtf8(fp_print_get_driver(print));
    out.finger = fp_print_get_finger(print);
    out.username = QString::fromUtf8(fp_print_get_username(print));
    out.description = QString::fromUtf8(fp_print_get_description(print));
    GVariant* data = nullptr;
    g_object_get(print, "fpi-data", &data, nullptr);
    if (data && g_variant_is_of_type(data, G_VARIANT_TYPE_STRING))
        out.scanId = QString::fromUtf8(g_variant_get_string(data, nullptr));
    if (data)
        g_variant_unref(data);
    g_object_unref(print);
    return out;
}

} // namespace fingerprint_test
