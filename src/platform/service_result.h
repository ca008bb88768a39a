#pragma once

#include "platform/data_packet.h"

#include <QString>
#include <variant>

namespace cadcons {

// What a data service operation hands back: a packet, an error text, or true after a save.
using ServiceResult = std::variant<DataPacket, QString, bool>;

inline bool isPacket(const ServiceResult& r) {
    return std::holds_alternative<DataPacket>(r);
}
inline bool isError(const ServiceResult& r) {
    return std::holds_alternative<QString>(r);
}

} // namespace cadcons
