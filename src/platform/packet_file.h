#pragma once

#include "platform/data_packet.h"
#include "platform/text.h"

#include <QByteArray>
#include <QString>
#include <stdexcept>

namespace cadcons {

// A packet file that cannot be read: the text names the file and what is wrong with it.
class PacketFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Limits that keep a hostile file from taking unbounded memory.
inline constexpr qint64 kMaxPacketFileBytes = 256LL * 1024 * 1024;
inline constexpr int kMaxPacketDepth = 16;
inline constexpr int kMaxPacketAttributeChars = 1024 * 1024;
// Rows times fields: an empty ROW costs a few bytes of file but a QVariant per field in memory.
inline constexpr qint64 kMaxPacketCells = 4LL * 1024 * 1024;

// Reads an XML data packet. `source` names the file in error texts.
DataPacket readPacketXml(const QByteArray& xml, const QString& source);
DataPacket readPacketFile(const QString& path);

// Writes an XML data packet declared in `page` (files are always UTF-8). Characters the code page
// lacks go as character references, so nothing is lost.
QByteArray writePacketXml(const DataPacket& packet, CodePage page = CodePage::Utf8);
void writePacketFile(const DataPacket& packet, const QString& path);

// A packet in a compact binary form for a program's own files, not for exchange: every value keeps its
// exact type, so what is read back equals what was written. Reading checks every length against what is
// there and throws PacketFileError naming `source` for bytes that are not such a packet; it does not
// tell a damaged value of the right shape (keep a digest beside it for that).
QByteArray writePacketBinary(const DataPacket& packet);
DataPacket readPacketBinary(const QByteArray& bytes, const QString& source);

} // namespace cadcons
