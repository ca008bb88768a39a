// The link of bench/link_proxy between a client and an echo server on loopback: its counts, its delay
// and bit rate (lower bounds only: the link guarantees them, a loaded machine can only add), its cuts.
#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Only against a hang: a test that waits this long has failed whatever it measures.
constexpr int kHangMs = 60000;

int listenLoopback() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 16) != 0)
        throw std::runtime_error("listen");
    return fd;
}

int portOf(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

int connectTo(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("connect");
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

bool readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, kHangMs) == 1;
}

// Reads until `want` bytes came or the connection ended; returns what came.
std::string receive(int fd, size_t want) {
    std::string got;
    char buffer[65536];
    while (got.size() < want && readable(fd)) {
        const ssize_t n = recv(fd, buffer, std::min(sizeof buffer, want - got.size()), 0);
        if (n <= 0)
            break;
        got.append(buffer, size_t(n));
    }
    return got;
}

// Whether the connection ends (an orderly end or a reset) without any further byte.
bool endsWithoutMore(int fd) {
    char byte = 0;
    return readable(fd) && recv(fd, &byte, 1, 0) <= 0;
}

// Echoes every connection back and keeps, per connection, the bytes it received and whether it ended.
class EchoServer {
public:
    EchoServer()
        : listener_(listenLoopback())
        , acceptor_([this] { acceptAll(); }) {}
    ~EchoServer() {
        shutdown(listener_, SHUT_RDWR);
        acceptor_.join();
        for (std::thread& t : workers_)
            t.join();
        close(listener_);
    }
    int port() const { return portOf(listener_); }

    // The bytes connection `index` (in order of arrival) received once it ended.
    long long receivedWhenEnded(int index) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, milliseconds(kHangMs), [&] { return ended_.count(index) > 0; });
        return ended_.count(index) ? ended_[index] : -1;
    }

private:
    void acceptAll() {
        for (int index = 0;; ++index) {
            const int fd = accept(listener_, nullptr, nullptr);
            if (fd < 0)
                return;
            workers_.emplace_back([this, fd, index] { echo(fd, index); });
        }
    }
    void echo(int fd, int index) {
        long long received = 0;
        char buffer[65536];
        for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) {
            received += n;
            if (send(fd, buffer, size_t(n), MSG_NOSIGNAL) != n)
                break;
        }
        // The rest up to the end, if sending back failed.
        for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
            received += n;
        close(fd);
        std::lock_guard lock(mutex_);
        ended_[index] = received;
        changed_.notify_all();
    }

    int listener_;
    std::vector<std::thread> workers_;
    std::thread acceptor_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<int, long long> ended_;
};

struct Counts {
    long long connections = -1, cuts = -1, clientBytes = -1, serverBytes = -1, roundTrips = -1;
};

// The proxy program, run with the given options towards `serverPort`.
class Proxy {
public:
    Proxy(int serverPort, const std::vector<std::string>& options) {
        int out[2], in[2];
        if (pipe(out) != 0 || pipe(in) != 0)
            throw std::runtime_error("pipe");
        std::vector<std::string> args = {LINK_PROXY_PATH, "--to", "127.0.0.1:" + std::to_string(serverPort)};
        args.insert(args.end(), options.begin(), options.end());
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(in[0], STDIN_FILENO);
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        close(in[0]);
        commands_ = in[1];
        output_ = fdopen(out[0], "r");
        const std::string first = line();
        if (std::sscanf(first.c_str(), "{\"listening\":%d}", &port_) != 1)
            throw std::runtime_error("the proxy did not say where it listens: " + first);
    }
    ~Proxy() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        close(commands_);
        fclose(output_);
    }
    int port() const { return port_; }
    void signal(int number) { kill(pid_, number); }
    // A line for --commands.
    void command(const std::string& text) {
        const std::string line = text + "\n";
        ASSERT_EQ(write(commands_, line.data(), line.size()), ssize_t(line.size()));
    }

    Counts counts() {
        signal(SIGUSR1);
        Counts c;
        const std::string text = line();
        std::sscanf(text.c_str(),
                    "{\"connections\":%lld,\"open\":%*d,\"cuts\":%lld,\"client_bytes\":%lld,"
                    "\"server_bytes\":%lld,\"round_trips\":%lld}",
                    &c.connections, &c.cuts, &c.clientBytes, &c.serverBytes, &c.roundTrips);
        return c;
    }

private:
    std::string line() {
        char buffer[512] = {};
        if (!readable(fileno(output_)) || !std::fgets(buffer, sizeof buffer, output_))
            return {};
        return buffer;
    }

    pid_t pid_ = -1;
    int commands_ = -1;
    FILE* output_ = nullptr;
    int port_ = 0;
};

std::string pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    return bytes;
}

void sendAll(int fd, const std::string& bytes) {
    ASSERT_EQ(send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
}

// An echo server behind the proxy, and a client connected through it.
struct Echoed {
    explicit Echoed(const std::vector<std::string>& options)
        : proxy(server.port(), options)
        , fd(connectTo(proxy.port())) {}
    ~Echoed() { close(fd); }
    EchoServer server;
    Proxy proxy;
    int fd;
};

} // namespace

TEST(LinkProxy, CountsEveryByteAndConnection) {
    EchoServer server;
    Proxy proxy(server.port(), {});
    long long total = 0;
    for (const size_t size : {size_t(1), size_t(70000), size_t(300000)}) {
        const int fd = connectTo(proxy.port());
        const std::string bytes = pattern(size);
        std::thread sender([&] { sendAll(fd, bytes); });
        EXPECT_EQ(receive(fd, size), bytes) << size << " bytes there and back";
        sender.join();
        close(fd);
        total += static_cast<long long>(size);
    }
    for (int i = 0; i < 3; ++i)
        server.receivedWhenEnded(i);
    const Counts counts = proxy.counts();
    EXPECT_EQ(counts.connections, 3);
    EXPECT_EQ(counts.clientBytes, total);
    EXPECT_EQ(counts.serverBytes, total);
    EXPECT_EQ(counts.cuts, 0);
}

// A round trip is a question and its answer: however the bytes are split, however long the link.
TEST(LinkProxy, CountsEachQuestionAndAnswerAsOneRoundTrip) {
    Echoed link({"--delay-ms", "1"});
    for (const size_t size : {size_t(1), size_t(5), size_t(900), size_t(40)}) {
        const std::string bytes = pattern(size);
        for (const char& byte : bytes.substr(0, 3))
            sendAll(link.fd, std::string(1, byte)); // a question in pieces
        sendAll(link.fd, bytes.size() > 3 ? bytes.substr(3) : std::string());
        ASSERT_EQ(receive(link.fd, size), bytes);
    }
    EXPECT_EQ(link.proxy.counts().roundTrips, 4);
}

struct LinkCase {
    const char* name;
    std::vector<std::string> options;
    size_t bytes;         // sent and echoed in one exchange
    milliseconds minimum; // what the link guarantees the exchange takes at least
};

void PrintTo(const LinkCase& c, std::ostream* os) {
    *os << c.name;
}

class LinkTiming : public ::testing::TestWithParam<LinkCase> {};

TEST_P(LinkTiming, ExchangeTakesAtLeastTheLinksTime) {
    const LinkCase& c = GetParam();
    Echoed link(c.options);
    const int fd = link.fd;
    const std::string bytes = pattern(c.bytes);
    for (int round = 0; round < 3; ++round) {
        const Clock::time_point start = Clock::now();
        std::thread sender([&] { sendAll(fd, bytes); });
        const std::string back = receive(fd, bytes.size());
        const Clock::duration took = Clock::now() - start;
        sender.join();
        ASSERT_EQ(back, bytes);
        EXPECT_GE(took, c.minimum) << "round " << round;
    }
}

// A delay D each way adds 2D to a round trip; R bits per second hold B bytes for 8B/R at least.
INSTANTIATE_TEST_SUITE_P(
    Links, LinkTiming,
    ::testing::Values(LinkCase{"delay", {"--delay-ms", "25"}, 1, milliseconds(50)},
                      LinkCase{"fractionalDelay", {"--delay-ms", "2.5"}, 1, milliseconds(5)},
                      LinkCase{"rate", {"--rate-mbit", "4"}, 100000, milliseconds(200)},
                      LinkCase{"delayAndRate", {"--delay-ms", "5", "--rate-mbit", "8"}, 100000, milliseconds(110)}),
    [](const auto& info) { return std::string(info.param.name); });

struct CutCase {
    const char* name;
    std::vector<std::string> options;
    std::string command; // given once the connection is made, when not empty
    size_t sent;
    size_t toClient;    // bytes the client gets back before the end
    long long toServer; // bytes the server gets before the end; -1: not determined
};

void PrintTo(const CutCase& c, std::ostream* os) {
    *os << c.name;
}

class LinkCut : public ::testing::TestWithParam<CutCase> {};

TEST_P(LinkCut, ClosesBothSidesHavingPassedExactlyTheBytes) {
    const CutCase& c = GetParam();
    Echoed link(c.options);
    const std::string bytes = pattern(c.sent);
    if (!c.command.empty()) {
        // Some bytes first, so the connection is there and the cut counts from them on.
        sendAll(link.fd, bytes.substr(0, 100));
        ASSERT_EQ(receive(link.fd, 100), bytes.substr(0, 100));
        link.proxy.command(c.command);
        link.proxy.counts(); // the proxy took the command before this answer
        if (c.command != "cut")
            sendAll(link.fd, bytes.substr(100));
    } else {
        sendAll(link.fd, bytes);
    }
    const size_t already = c.command.empty() ? 0 : 100;
    EXPECT_EQ(receive(link.fd, c.toClient - already), bytes.substr(already, c.toClient - already));
    EXPECT_TRUE(endsWithoutMore(link.fd)) << "the client's side is closed";
    const long long toServer = link.server.receivedWhenEnded(0);
    EXPECT_GE(toServer, 0) << "the server's side is closed";
    if (c.toServer >= 0) {
        EXPECT_EQ(toServer, c.toServer);
    }
    const Counts counts = link.proxy.counts();
    EXPECT_EQ(counts.cuts, 1);
    EXPECT_EQ(counts.serverBytes, static_cast<long long>(c.toClient));
    if (c.toServer >= 0) {
        EXPECT_EQ(counts.clientBytes, c.toServer);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, LinkCut,
    ::testing::Values(
        CutCase{"fromClient", {"--cut-client-bytes", "1000"}, {}, 5000, 0, 1000},
        CutCase{"fromClientOnALink", {"--cut-client-bytes", "3000", "--rate-mbit", "10"}, {}, 20000, 0, 3000},
        CutCase{"fromServer", {"--cut-server-bytes", "1000"}, {}, 5000, 1000, -1},
        CutCase{"fromServerDelayed", {"--cut-server-bytes", "4321", "--delay-ms", "3"}, {}, 9000, 4321, -1},
        CutCase{"fromClientByCommand", {"--commands"}, "cut client 700", 5000, 100, 800},
        CutCase{"fromServerByCommand", {"--commands", "--delay-ms", "2"}, "cut server 1234", 5000, 1334, -1},
        CutCase{"nowByCommand", {"--commands"}, "cut", 5000, 100, 100}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LinkProxy, SignalCutsOpenConnections) {
    Echoed link({"--delay-ms", "1"});
    sendAll(link.fd, "hello");
    ASSERT_EQ(receive(link.fd, 5), "hello");
    link.proxy.signal(SIGUSR2);
    EXPECT_TRUE(endsWithoutMore(link.fd)) << "the client's side is closed";
    EXPECT_EQ(link.server.receivedWhenEnded(0), 5) << "the server's side is closed";
    const Counts counts = link.proxy.counts();
    EXPECT_EQ(counts.cuts, 1);
    EXPECT_EQ(counts.clientBytes, 5);
    EXPECT_EQ(counts.serverBytes, 5);
}
