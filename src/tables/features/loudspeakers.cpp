#include "tables/features/loudspeakers.h"

#include <algorithm>

#include "engine/main_class.h"
#include "files/file_image.h"
#include "link/codecs.h"
#include "tables/features/intercoms.h"

namespace stanset {

namespace {

// The channel block.
constexpr int kPortAt = 0;
constexpr int kSwitchAt = 1;
constexpr int kAutoOffBit = 0;
constexpr std::uint16_t kBlockLength = 2;

int Channels(const TMainClass& e) { return std::min<int>(e.Identity.GGSBlocks, e.GGS.BlockCount()); }

bool HasNumberingPlan(const std::string& model) {
    return model.find("KVT") != std::string::npos || model == "RD16" || model == "RD32";
}

std::uint8_t ByteAt(std::span<const std::uint8_t> block, std::size_t at) { return at < block.size() ? block[at] : 0; }

}  // namespace

int ReadLoudspeakers(TMainClass& e) {
    const int r = e.Link.ReadTable(rows::GGS, e.GGS, Channels(e), [&] { ClearLoudspeakers(e); });
    return r < 0 ? r : 0;
}

int WriteLoudspeakers(TMainClass& e) {
    const int g = Channels(e);
    if (g == 0) return kNoLink;
    const int r = e.Link.WriteTable(rows::GGS, e.GGS, g);
    if (r == kNoLink) return kNoBlocks;
    return r < 0 ? r : 0;
}

void DecodeLoudspeakers(TMainClass& e, TDataStream& d) {
    const int g = Channels(e);
    d.GGSCount = static_cast<std::uint16_t>(g);
    const std::string& model = e.Identity.Model;
    if (!HasNumberingPlan(model)) return;
    for (int i = 0; i < g; ++i) {
        const auto block = e.GGS.Payload(i);
        TGGS& channel = d.GGS[i];
        channel.LinkPort = LinkPortOfByte(model, ByteAt(block, kPortAt));
        channel.AutoOff = static_cast<std::uint8_t>(TestBit(ByteAt(block, kSwitchAt), kAutoOffBit));
        MarkAttachedPort(d, channel.LinkPort, kPortGGS, "ГГС");
    }
}

int EncodeLoudspeakers(TMainClass& e, TDataStream& d) {
    int result = 0;
    const int g = Channels(e);
    for (int i = 0; i < g; ++i) {
        const TGGS& channel = d.GGS[i];
        std::uint8_t port = 0;
        if (!LinkPortToByte(e.Identity.Model, channel.LinkPort, port)) {
            result = -1;
            continue;
        }
        auto block = e.GGS.Block(i);
        std::fill(block.begin(), block.end(), 0);
        block[kPortAt] = port;
        block[kSwitchAt] = channel.AutoOff ? 1 : 0;
        e.GGS.Counts[i] = kBlockLength;
    }
    e.Changed[kTabGGS] = true;
    return result;
}

void StoreLoudspeaker(TDataStream& d, int index, bool autoOff, const std::string& linkPort) {
    if (index < 0 || index >= static_cast<int>(d.GGS.size())) return;
    d.GGS[index].AutoOff = autoOff;
    d.GGS[index].LinkPort = linkPort;
}

void ClearLoudspeakers(TMainClass& e) { e.GGS.Clear(); }

namespace ggs {

void CopyToFileImage(const TMainClass& e, TFileImage& image) { PutRecordList(image, e.GGS, Channels(e)); }

bool CopyFromFileImage(TMainClass& e, const TFileImage& image) {
    return TakeRecordList(image, e.GGS, Channels(e));
}

}  // namespace ggs

}  // namespace stanset
