// The host's packet files live in a directory that other programs write. Whatever stands at their
// path, a device, a pipe, a link to either, a link loop, or a file swapped under the reader, reading
// it must end promptly with a text that names the file, and never block or read without bound.

#include "platform/packet_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace cadcons::test {
namespace {

const QString kSample = QStringLiteral(CADCONS_TEST_DATA_DIR "/PARAMETROSKIV.CDS");

QByteArray local(const QString& path) {
    return QFile::encodeName(path);
}

// The error text of reading `path`, or "" when it read.
QString readError(const QString& path) {
    try {
        readPacketFile(path);
        return {};
    } catch (const PacketFileError& e) {
        return QString::fromUtf8(e.what());
    }
}

TEST(HostilePacketFile, WhatStandsAtThePathIsReadOnlyWhenItIsAFileOfBoundedSize) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto at = [&](const char* name) { return dir.filePath(QLatin1String(name)); };

    ASSERT_EQ(::mkfifo(local(at("pipe")).constData(), 0600), 0);
    QFile big(at("big"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(kMaxPacketFileBytes + 1)); // sparse
    big.close();
    ASSERT_TRUE(QFile::copy(kSample, at("good")));
    const struct {
        const char* name;
        const char* target; // what the link points at; nullptr for the pipe itself
    } links[] = {
        {"to-zero", "/dev/zero"}, {"to-random", "/dev/urandom"}, {"to-pipe", "pipe"},  {"to-dir", "."},
        {"to-big", "big"},        {"loop-a", "loop-b"},          {"loop-b", "loop-a"}, {"dangling", "nothing-here"},
        {"to-good", "good"},
    };
    for (const auto& l : links)
        ASSERT_TRUE(QFile::link(QLatin1String(l.target), at(l.name))) << l.name;

    const struct {
        const char* name;
        const char* error; // part of the error text; nullptr when the file reads
    } cases[] = {
        {"pipe", "not a regular file"},    {"to-zero", "not a regular file"}, {"to-random", "not a regular file"},
        {"to-pipe", "not a regular file"}, {"to-dir", "not a regular file"},  {"to-big", "larger than"},
        {"loop-a", "no such file"},        {"dangling", "no such file"},      {"to-good", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString error = readError(at(c.name));
        if (!c.error) {
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
            continue;
        }
        EXPECT_TRUE(error.contains(QLatin1String(c.error))) << error.toStdString();
        EXPECT_TRUE(error.contains(at(c.name))) << error.toStdString();
    }
}

// The path is checked and then opened: a link that is swapped in between from a good file to a pipe
// must not leave the reader waiting on the pipe for a writer that never comes.
TEST(HostilePacketFile, ALinkSwappedToAPipeWhileReadingDoesNotBlockTheReader) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pipe = dir.filePath(QStringLiteral("pipe"));
    const QString good = dir.filePath(QStringLiteral("good"));
    const QString path = dir.filePath(QStringLiteral("PARAMETROSKIV.CDS"));
    ASSERT_EQ(::mkfifo(local(pipe).constData(), 0600), 0);
    ASSERT_TRUE(QFile::copy(kSample, good));
    ASSERT_TRUE(QFile::link(good, path));

    std::atomic<bool> stop{false};
    std::atomic<int> reads{0}, readOk{0}, refused{0};
    std::thread swapper([&] {
        const QByteArray next = local(dir.filePath(QStringLiteral("next")));
        for (int i = 0; !stop; ++i) {
            ::unlink(next.constData());
            if (::symlink(local(i % 2 ? pipe : good).constData(), next.constData()) == 0)
                ::rename(next.constData(), local(path).constData());
        }
    });
    std::thread reader([&] {
        for (int i = 0; i < 3000 && !stop; ++i) {
            const QString error = readError(path);
            error.isEmpty() ? ++readOk : ++refused;
            ++reads;
        }
    });

    // A reader stuck in open() makes no progress; a writer on the pipe sets it free again.
    bool blocked = false;
    int lastReads = -1;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        if (reads == 3000)
            break;
        if (reads == lastReads) {
            blocked = true;
            break;
        }
        lastReads = reads;
    }
    stop = true;
    swapper.join();
    if (blocked) {
        const int fd = ::open(local(pipe).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
    reader.join();
    EXPECT_FALSE(blocked) << "the reader waited on the pipe after " << reads << " reads";
    std::printf("[ figures  ] %d reads of a swapped link: %d read the file, %d refused it\n", reads.load(),
                readOk.load(), refused.load());
}

} // namespace
} // namespace cadcons::test
