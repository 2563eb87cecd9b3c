// Who the exchange says it is: the identification reply and the identity decoded from it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace stanset {

struct TStatusAndOptions {
    std::string Model;
    std::uint16_t UnitCount = 0;
    std::string Version;
    std::uint16_t TrunkCount = 0;
    std::uint16_t LineCount = 0;
    std::uint8_t LinkKey = 0;
    std::uint8_t TimeUnit = 0;
    std::string Serial;
    std::string ExchangeName;  // UTF-8
    std::uint16_t IntercomBlocks = 0;
    std::uint16_t DirectionCount = 0;
    std::uint16_t GGSBlocks = 0;
    std::uint16_t STACount = 0;
    std::string PortName;
    std::string WorkDir;
};

// The last identification reply as the engine keeps it.
struct TIdentReply {
    static constexpr int kMaxName = 101;
    static constexpr int kCountsOffset = 16;  // where the four counts sit once relocated
    static constexpr int kCountBytes = 20;

    std::array<std::uint8_t, kMaxName> NameChars{};
    std::uint16_t NameLength = 0;
    std::array<bool, 3> UnitFlags{};
    std::array<std::uint8_t, 256> Buffer{};
    std::uint8_t FixedLength = 0;
    std::uint16_t Length = 0;
};

// Model name of a device code, or empty for a code outside 2-9.
std::string ModelForDeviceCode(int code);

// Live: the reply was just received (undo the XOR, take the name out, move the counts to
// bytes 16-35). Otherwise it came from a file or the constructor and is used as it stands.
// False, with nothing changed in identity, when the device code is unknown.
bool DecodeIdentification(TIdentReply& reply, TStatusAndOptions& identity, bool live);

}  // namespace stanset
