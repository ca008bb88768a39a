// Packet files: whatever the bytes, reading either yields a packet or a PacketFileError, as XML and in the
// binary form of the till's kept lists. A packet that was read is written and read back unchanged in both
// forms, and a dataset shows every one of its cells.
#include "platform/client_data_set.h"
#include "platform/data_packet.h"
#include "platform/packet_file.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_packet: %s\n", what);
        std::abort();
    }
}

// NaN is not equal to itself: compare what the writer is asked to keep, the cell's text.
bool sameCells(const cadcons::DataPacket& a, const cadcons::DataPacket& b) {
    if (a.fields != b.fields || a.rows.size() != b.rows.size())
        return false;
    for (qsizetype r = 0; r < a.rows.size(); ++r) {
        if (a.rows[r].size() != b.rows[r].size())
            return false;
        for (qsizetype c = 0; c < a.rows[r].size(); ++c) {
            const QVariant& x = a.rows[r][c];
            const QVariant& y = b.rows[r][c];
            if (x.isNull() != y.isNull())
                return false;
            if (x.typeId() == QMetaType::Double && y.typeId() == QMetaType::Double && std::isnan(x.toDouble()) &&
                std::isnan(y.toDouble()))
                continue;
            if (x != y)
                return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace cadcons;
    const QByteArray xml(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        readPacketBinary(xml, QStringLiteral("fuzz.bin"));
    } catch (const PacketFileError&) {
    }
    DataPacket packet;
    try {
        packet = readPacketXml(xml, QStringLiteral("fuzz.cds"));
    } catch (const PacketFileError&) {
        return 0;
    }
    for (const QVariantList& row : packet.rows)
        check(row.size() == packet.fields.size(), "row without one value per field");

    const QByteArray written = writePacketXml(packet);
    DataPacket again;
    try {
        again = readPacketXml(written, QStringLiteral("written.cds"));
    } catch (const PacketFileError& e) {
        std::fprintf(stderr, "fuzz_packet: a written packet does not read back: %s\n", e.what());
        std::abort();
    }
    check(sameCells(packet, again), "written packet reads back different");
    // A binary packet that does not read back throws, which the fuzzer reports as a crash.
    check(sameCells(packet, readPacketBinary(writePacketBinary(packet), QStringLiteral("written.bin"))),
          "binary packet reads back different");

    ClientDataSet ds(QStringLiteral("cdsFuzz"));
    ds.setData(packet);
    check(ds.recordCount() == packet.rows.size(), "dataset lost rows");
    for (ds.first(); !ds.eof(); ds.next())
        for (const FieldDef& field : packet.fields)
            (void)ds.displayText(field.name);
    return 0;
}
