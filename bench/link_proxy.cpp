// A network link to measure against: a TCP proxy between a client (cadcons-host, a benchmark) and a
// database server, with the delay and bit rate of a store's network, byte counts, and cuts.
//
//   link_proxy --to HOST:PORT [--listen [HOST:]PORT] [--delay-ms D] [--rate-mbit R]
//              [--cut-client-bytes N] [--cut-server-bytes N] [--commands]
//
// --delay-ms D     one-way delay (fractions allowed): a round trip through the link takes 2D longer
// --rate-mbit R    bit rate held in each direction (megabits per second); 0 or absent: no limit
// --cut-client-bytes N, --cut-server-bytes N
//                  cut each connection (close both sides) once N bytes from that side have passed
// --listen         where to listen, 127.0.0.1 and a free port by default
// --commands       read commands from stdin, one a line:
//                    counts            print the counts
//                    cut               cut every open connection now
//                    cut client N      cut every open connection once N more bytes from the client have
//                    cut server N      passed (from the server); a connection made later is not cut
//                    each client N     cut each connection made from now on once N bytes from the
//                    each server N     client (the server) have passed; N = -1: no more
//                    down              cut every open connection, and close each new one at once (the
//                                      link is down: a client fails to connect without waiting)
//                    up                connections pass again
//
// Writes one line of JSON to stdout when listening ({"listening":PORT}), on SIGUSR1, on "counts" and on exit
// (SIGTERM, SIGINT, end of the commands) the counts:
// {"connections":N,"open":N,"cuts":N,"client_bytes":N,"server_bytes":N,"round_trips":N}, bytes being those
// passed on; a round trip is each time the server speaks after the client did (what a client waits on).
// SIGUSR2 cuts every open connection.
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <list>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// What the link holds per direction before it stops reading: the sender then waits, as on a full link.
constexpr size_t kHeld = 256 * 1024;
// The size of what a rate-limited link sends at once, a TCP segment on Ethernet.
constexpr size_t kSegment = 1448;

struct Options {
    std::string listenHost = "127.0.0.1";
    std::string listenPort = "0";
    std::string toHost;
    std::string toPort;
    Clock::duration delay{};
    double bitsPerSecond = 0;
    long long cutClientBytes = -1;
    long long cutServerBytes = -1;
    bool commands = false;
};

struct Counts {
    long long connections = 0;
    long long cuts = 0;
    long long clientBytes = 0;
    long long serverBytes = 0;
    long long roundTrips = 0;
};

struct Segment {
    Clock::time_point due;
    std::string bytes;
    size_t sent = 0;
};

// One direction of a connection: what was read from `from` waits in `queue` until its time, then goes to
// `to`.
struct Direction {
    int from = -1;
    int to = -1;
    std::deque<Segment> queue;
    size_t held = 0;
    Clock::time_point busyUntil{}; // when the link has sent all it holds
    long long taken = 0;           // bytes read from `from`
    long long limit = -1;          // cut once this many have passed; -1: never
    long long* total = nullptr;    // the counts' bytes of this direction
    bool ended = false;            // `from` has closed its side
    bool shut = false;             // and that end was passed on to `to`
};

struct Connection {
    int client = -1;
    int server = -1;
    bool connecting = true;
    bool done = false;
    bool clientSpoke = false; // since the server last did: the client waits for an answer
    Direction up;             // client to server
    Direction down;           // server to client
};

int signalPipe[2] = {-1, -1};

void onSignal(int number) {
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t n = write(signalPipe[1], &byte, 1);
}

[[noreturn]] void die(const std::string& text) {
    std::fprintf(stderr, "link_proxy: %s\n", text.c_str());
    std::exit(2);
}

void setNonBlocking(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

void setNoDelay(int fd) {
    // The protocols carried are many small messages: Nagle's wait would add to the delay set.
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

// HOST:PORT, or PORT alone when `hostOptional`.
void splitAddress(const std::string& text, std::string& host, std::string& port, bool hostOptional) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos) {
        if (!hostOptional)
            die("expected HOST:PORT, got " + text);
        port = text;
        return;
    }
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
}

double number(const char* option, const char* text) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (!text[0] || *end || value < 0)
        die(std::string(option) + " takes a number of at least 0, got " + text);
    return value;
}

Options parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--commands") {
            o.commands = true;
            continue;
        }
        if (i + 1 >= argc)
            die("usage: link_proxy --to HOST:PORT [--listen [HOST:]PORT] [--delay-ms D] [--rate-mbit R] "
                "[--cut-client-bytes N] [--cut-server-bytes N] [--commands]");
        const char* value = argv[++i];
        if (option == "--to")
            splitAddress(value, o.toHost, o.toPort, false);
        else if (option == "--listen")
            splitAddress(value, o.listenHost, o.listenPort, true);
        else if (option == "--delay-ms")
            o.delay = std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double, std::milli>(number(argv[i - 1], value)));
        else if (option == "--rate-mbit")
            o.bitsPerSecond = number(argv[i - 1], value) * 1e6;
        else if (option == "--cut-client-bytes")
            o.cutClientBytes = static_cast<long long>(number(argv[i - 1], value));
        else if (option == "--cut-server-bytes")
            o.cutServerBytes = static_cast<long long>(number(argv[i - 1], value));
        else
            die("unknown option " + option);
    }
    if (o.toHost.empty())
        die("--to HOST:PORT is required");
    return o;
}

addrinfo* resolve(const std::string& host, const std::string& port, bool passive) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = passive ? AI_PASSIVE : 0;
    addrinfo* found = nullptr;
    if (const int status = getaddrinfo(host.c_str(), port.c_str(), &hints, &found))
        die(host + ":" + port + ": " + gai_strerror(status));
    return found;
}

int listenOn(const Options& o) {
    addrinfo* address = resolve(o.listenHost, o.listenPort, true);
    const int fd = socket(address->ai_family, SOCK_STREAM, 0);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (fd < 0 || bind(fd, address->ai_addr, address->ai_addrlen) != 0 || listen(fd, 64) != 0)
        die("cannot listen on " + o.listenHost + ":" + o.listenPort + ": " + std::strerror(errno));
    freeaddrinfo(address);
    setNonBlocking(fd);
    return fd;
}

int localPort(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                                               : reinterpret_cast<sockaddr_in&>(address).sin_port);
}

class Link {
public:
    explicit Link(const Options& options)
        : options_(options)
        , listener_(listenOn(options))
        , upstream_(resolve(options.toHost, options.toPort, false)) {}

    int port() const { return localPort(listener_); }
    void run();
    void printCounts() const;

private:
    void accept();
    void read(Connection& c, Direction& d);
    void write(Connection& c, Direction& d);
    void settle(Connection& c, Direction& d);
    void close(Connection& c, bool cut);
    void finishConnecting(Connection& c);
    bool handleSignals();
    bool handleCommands();
    void cutAfter(bool client, long long bytes);
    void step(Connection& c, short clientEvents, short serverEvents);

    Options options_;
    int listener_;
    bool down_ = false;
    addrinfo* upstream_;
    Counts counts_;
    std::list<Connection> connections_;
    std::string commandText_; // a command line not yet whole
};

void Link::printCounts() const {
    size_t open = 0;
    for (const Connection& c : connections_)
        open += !c.done;
    std::printf("{\"connections\":%lld,\"open\":%zu,\"cuts\":%lld,\"client_bytes\":%lld,\"server_bytes\":%lld,"
                "\"round_trips\":%lld}\n",
                counts_.connections, open, counts_.cuts, counts_.clientBytes, counts_.serverBytes, counts_.roundTrips);
    std::fflush(stdout);
}

void Link::accept() {
    const int client = ::accept(listener_, nullptr, nullptr);
    if (client < 0)
        return;
    if (down_) {
        ::close(client);
        return;
    }
    const int server = socket(upstream_->ai_family, SOCK_STREAM, 0);
    if (server < 0) {
        ::close(client);
        return;
    }
    setNonBlocking(client);
    setNonBlocking(server);
    setNoDelay(client);
    setNoDelay(server);
    Connection& c = connections_.emplace_back();
    c.client = client;
    c.server = server;
    c.up.from = c.down.to = client;
    c.up.to = c.down.from = server;
    c.up.limit = options_.cutClientBytes;
    c.down.limit = options_.cutServerBytes;
    c.up.total = &counts_.clientBytes;
    c.down.total = &counts_.serverBytes;
    ++counts_.connections;
    if (connect(server, upstream_->ai_addr, upstream_->ai_addrlen) == 0)
        c.connecting = false;
    else if (errno != EINPROGRESS)
        close(c, false);
}

void Link::finishConnecting(Connection& c) {
    int error = 0;
    socklen_t length = sizeof error;
    getsockopt(c.server, SOL_SOCKET, SO_ERROR, &error, &length);
    if (error) {
        std::fprintf(stderr, "link_proxy: cannot reach %s:%s: %s\n", options_.toHost.c_str(), options_.toPort.c_str(),
                     std::strerror(error));
        close(c, false);
        return;
    }
    c.connecting = false;
}

// Takes what `from` sent onto the link: each segment leaves once the link has sent the ones before it
// at the bit rate, and arrives the one-way delay later.
void Link::read(Connection& c, Direction& d) {
    char buffer[64 * 1024];
    size_t want = std::min(sizeof buffer, kHeld - d.held);
    if (d.limit >= 0)
        want = std::min<size_t>(want, static_cast<size_t>(d.limit - d.taken));
    const ssize_t n = recv(d.from, buffer, want, 0);
    if (n == 0) {
        d.ended = true;
        return;
    }
    if (n < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            close(c, false);
        return;
    }
    const Clock::time_point now = Clock::now();
    const size_t step = options_.bitsPerSecond > 0 ? kSegment : size_t(n);
    for (size_t at = 0; at < size_t(n); at += step) {
        const size_t size = std::min(step, size_t(n) - at);
        Clock::time_point sent = now;
        if (options_.bitsPerSecond > 0) {
            d.busyUntil =
                std::max(now, d.busyUntil) + std::chrono::duration_cast<Clock::duration>(
                                                 std::chrono::duration<double>(size * 8 / options_.bitsPerSecond));
            sent = d.busyUntil;
        }
        d.queue.push_back(Segment{sent + options_.delay, std::string(buffer + at, size)});
    }
    d.held += size_t(n);
    d.taken += n;
    if (&d == &c.up) {
        c.clientSpoke = true;
    } else if (c.clientSpoke) {
        c.clientSpoke = false;
        ++counts_.roundTrips;
    }
}

// Passes on every segment whose time has come.
void Link::write(Connection& c, Direction& d) {
    const Clock::time_point now = Clock::now();
    while (!d.queue.empty() && d.queue.front().due <= now) {
        Segment& s = d.queue.front();
        const ssize_t n = send(d.to, s.bytes.data() + s.sent, s.bytes.size() - s.sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                close(c, false);
            return;
        }
        s.sent += size_t(n);
        d.held -= size_t(n);
        *d.total += n;
        if (s.sent < s.bytes.size())
            return;
        d.queue.pop_front();
    }
}

// Once a direction's link is empty: a cut when its limit has passed, else the sender's end passed on.
void Link::settle(Connection& c, Direction& d) {
    if (c.done || !d.queue.empty())
        return;
    if (d.limit >= 0 && d.taken >= d.limit) {
        close(c, true);
        return;
    }
    if (d.ended && !d.shut) {
        shutdown(d.to, SHUT_WR);
        d.shut = true;
    }
    if (c.up.shut && c.down.shut)
        close(c, false);
}

void Link::close(Connection& c, bool cut) {
    if (c.done)
        return;
    // What is left unread is read first, so that closing sends an orderly end rather than a reset that
    // could overtake the bytes already passed on.
    char sink[4096];
    for (const int fd : {c.client, c.server}) {
        for (int i = 0; i < 64 && recv(fd, sink, sizeof sink, 0) > 0; ++i) {
        }
        ::close(fd);
    }
    c.done = true;
    if (cut)
        ++counts_.cuts;
}

bool Link::handleSignals() {
    unsigned char number = 0;
    while (::read(signalPipe[0], &number, 1) == 1) {
        if (number == SIGUSR1) {
            printCounts();
        } else if (number == SIGUSR2) {
            for (Connection& c : connections_)
                close(c, true);
        } else {
            return false;
        }
    }
    return true;
}

void Link::cutAfter(bool client, long long bytes) {
    for (Connection& c : connections_) {
        Direction& d = client ? c.up : c.down;
        d.limit = d.taken + bytes;
        settle(c, d);
    }
}

// Runs the whole lines that stdin has given; false at its end.
bool Link::handleCommands() {
    char buffer[1024];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
        return false;
    if (n > 0)
        commandText_.append(buffer, size_t(n));
    size_t end;
    while ((end = commandText_.find('\n')) != std::string::npos) {
        const std::string line = commandText_.substr(0, end);
        commandText_.erase(0, end + 1);
        char side[16] = {};
        long long bytes = 0;
        if (line == "counts") {
            printCounts();
        } else if (line == "cut" || line == "down") {
            down_ = down_ || line == "down";
            for (Connection& c : connections_)
                close(c, true);
        } else if (line == "up") {
            down_ = false;
        } else if (std::sscanf(line.c_str(), "cut %15s %lld", side, &bytes) == 2 && bytes >= 0 &&
                   (std::strcmp(side, "client") == 0 || std::strcmp(side, "server") == 0)) {
            cutAfter(std::strcmp(side, "client") == 0, bytes);
        } else if (std::sscanf(line.c_str(), "each %15s %lld", side, &bytes) == 2 &&
                   (std::strcmp(side, "client") == 0 || std::strcmp(side, "server") == 0)) {
            (std::strcmp(side, "client") == 0 ? options_.cutClientBytes : options_.cutServerBytes) = bytes;
        } else {
            std::fprintf(stderr, "link_proxy: unknown command: %s\n", line.c_str());
        }
    }
    return true;
}

bool reading(const Direction& d) {
    return !d.ended && d.held < kHeld && (d.limit < 0 || d.taken < d.limit);
}

// The events to wait for on one direction, and when its next segment is due.
void watch(const Direction& d, bool connecting, short& fromEvents, short& toEvents, Clock::time_point& wake) {
    if (reading(d))
        fromEvents |= POLLIN;
    if (d.queue.empty() || connecting)
        return;
    if (d.queue.front().due <= Clock::now())
        toEvents |= POLLOUT;
    else
        wake = std::min(wake, d.queue.front().due);
}

void Link::step(Connection& c, short clientEvents, short serverEvents) {
    constexpr short kReady = POLLIN | POLLHUP | POLLERR;
    if (c.done)
        return;
    if (c.connecting && (serverEvents & (POLLOUT | POLLHUP | POLLERR)))
        finishConnecting(c);
    if (!c.done && (clientEvents & kReady) && reading(c.up))
        read(c, c.up);
    if (c.done || c.connecting)
        return;
    if ((serverEvents & kReady) && reading(c.down))
        read(c, c.down);
    for (Direction* d : {&c.up, &c.down}) {
        if (!c.done)
            write(c, *d);
        settle(c, *d);
    }
}

timespec timeUntil(Clock::time_point wake) {
    // Rounded up, so that nothing is passed on before its time.
    const auto wait =
        std::chrono::ceil<std::chrono::microseconds>(std::max(wake - Clock::now(), Clock::duration{})).count();
    return timespec{static_cast<time_t>(wait / 1000000), static_cast<long>(wait % 1000000 * 1000)};
}

void Link::run() {
    for (;;) {
        connections_.remove_if([](const Connection& c) { return c.done; });
        std::vector<pollfd> fds = {
            {listener_, POLLIN, 0}, {signalPipe[0], POLLIN, 0}, {options_.commands ? STDIN_FILENO : -1, POLLIN, 0}};
        Clock::time_point wake = Clock::time_point::max();
        for (Connection& c : connections_) {
            short client = 0;
            short server = c.connecting ? POLLOUT : 0;
            watch(c.up, c.connecting, client, server, wake);
            if (!c.connecting)
                watch(c.down, false, server, client, wake);
            // A socket with nothing to wait for is left out, or its hang-up would wake the loop forever.
            fds.push_back({client ? c.client : -1, client, 0});
            fds.push_back({server ? c.server : -1, server, 0});
        }
        const timespec timeout = timeUntil(wake);
        const bool forever = wake == Clock::time_point::max();
        if (ppoll(fds.data(), fds.size(), forever ? nullptr : &timeout, nullptr) < 0 && errno != EINTR)
            die(std::string("poll: ") + std::strerror(errno));
        if (fds[1].revents && !handleSignals())
            return;
        if (fds[2].revents && !handleCommands())
            return;
        size_t i = 3;
        for (Connection& c : connections_) {
            step(c, fds[i].revents, fds[i + 1].revents);
            i += 2;
        }
        if (fds[0].revents)
            accept();
    }
}

} // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    if (pipe2(signalPipe, O_NONBLOCK | O_CLOEXEC) != 0)
        die("pipe");
    for (const int number : {SIGUSR1, SIGUSR2, SIGTERM, SIGINT}) {
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigaction(number, &action, nullptr);
    }
    Link link(options);
    std::printf("{\"listening\":%d}\n", link.port());
    std::fflush(stdout);
    link.run();
    link.printCounts();
    return 0;
}
