#include "link/identification.h"

#include <algorithm>

#include "link/bytes.h"
#include "link/text_encoding.h"

namespace stanset {

std::string ModelForDeviceCode(int code) {
    static constexpr const char* kModels[] = {"B", "C", "KVT250", "RD900", "KVT700-1", "RD16", "RD32", "Pebbo"};
    return code >= 2 && code <= 9 ? kModels[code - 2] : "";
}

namespace {

// Bytes past the received length are not part of the reply; they read as 0.
void ExtractNameAndCounts(TIdentReply& reply) {
    auto& buf = reply.Buffer;
    const int n = reply.Length;
    std::fill(buf.begin() + std::min<int>(n, static_cast<int>(buf.size())), buf.end(), 0);
    int len = 0;
    while (16 + len < n && buf[16 + len] != 0) ++len;
    reply.NameLength = static_cast<std::uint16_t>(std::min(len, TIdentReply::kMaxName));
    std::copy_n(buf.begin() + 16, reply.NameLength, reply.NameChars.begin());

    std::array<std::uint8_t, TIdentReply::kCountBytes> counts{};
    for (int k = 0; k < TIdentReply::kCountBytes; ++k) {
        const int from = 17 + len + k;
        if (from < static_cast<int>(buf.size())) counts[k] = buf[from];
    }
    std::copy(counts.begin(), counts.end(), buf.begin() + TIdentReply::kCountsOffset);
    reply.FixedLength = static_cast<std::uint8_t>(std::max(n - len - 1, 0));
}

}  // namespace

bool DecodeIdentification(TIdentReply& reply, TStatusAndOptions& identity, bool live) {
    auto& b = reply.Buffer;
    if (live) {
        const std::uint8_t key = b[11];
        for (std::size_t i = 0; i < b.size(); ++i)
            if (i != 11) b[i] ^= key;
    }
    const std::string model = ModelForDeviceCode(b[5]);
    if (model.empty()) return false;
    if (live) {
        identity.LinkKey = b[11];
        ExtractNameAndCounts(reply);
        identity.ExchangeName = Cp1251ToUtf8(std::span<const std::uint8_t>(reply.NameChars.data(), reply.NameLength));
    }
    identity.Model = model;
    for (int bit = 0; bit < 3; ++bit) reply.UnitFlags[bit] = TestBit(b[4], bit);
    identity.UnitCount = static_cast<std::uint16_t>(1 + TestBit(b[4], 1) + TestBit(b[4], 2));
    identity.TrunkCount = b[8];
    identity.LineCount = b[9];
    identity.Version = std::to_string(b[7]) + std::to_string(b[6] >> 4) + "," + std::to_string(b[6] & 0x0F);
    identity.TimeUnit = b[13] ? b[13] : 6;
    identity.Serial = std::to_string(MakeWord(b[14], b[15]));
    identity.IntercomBlocks = b[16];
    identity.DirectionCount = b[17] ? b[17] : 48;
    identity.GGSBlocks = b[18];
    identity.STACount = b[19];
    return true;
}

}  // namespace stanset
