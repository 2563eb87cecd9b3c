#include "engine/ports.h"

#include <algorithm>
#include <cstddef>
#include <span>
#include <string_view>

#include "engine/data_stream.h"
#include "link/codecs.h"

namespace stanset {
namespace {

// ---- board codes ----------------------------------------------------------------------

struct TBoardCode {
    std::uint8_t Code;
    std::string_view Name;
};

constexpr TBoardCode kKvt700Codes[] = {
    {1, "LB71"}, {2, "TT14"}, {3, "LB43"}, {4, "TQ86"}, {10, "TQ86"}, {11, "LBQ619"}, {255, "Clear"},
};

constexpr TBoardCode kKvt250Codes[] = {
    {1, "LB71"}, {2, "TT14"}, {3, "LB43"}, {4, "TQ86"}, {7, "Double"},
    {10, "TQ86"}, {11, "LBQ619"}, {255, "Clear"},
};

constexpr TBoardCode kRdCodes[] = {
    {1, "LB28"}, {2, "LB19"}, {3, "TT09"}, {7, "TQ05"}, {9, "LB28"},
    {10, "LB19"}, {11, "TT09"}, {15, "TQ05"}, {255, "Clear"},
};

// The KVT250 reports an unfitted slot 6, 7 or 14 as code 255; it is no board there.
constexpr int kKvt250SilentSlots[] = {6, 7, 14};

struct TModelCodes {
    std::string_view Model;
    std::span<const TBoardCode> Codes;
    std::span<const int> SilentClearSlots;
    int StopAt;  // entries after which the list ends; 0 = read every slot
};

constexpr TModelCodes kModelCodes[] = {
    {"KVT700-1", kKvt700Codes, {}, 0},
    {"KVT250", kKvt250Codes, kKvt250SilentSlots, 0},
    {"RD16", kRdCodes, {}, 7},
    {"RD32", kRdCodes, {}, 11},
};

constexpr std::uint8_t kClearCode = 255;

const TModelCodes* CodesOf(std::string_view model) {
    for (const TModelCodes& m : kModelCodes)
        if (m.Model == model) return &m;
    return nullptr;
}

std::string_view NameOf(const TModelCodes& m, std::uint8_t code, int slot) {
    if (code == kClearCode && std::ranges::find(m.SilentClearSlots, slot) != m.SilentClearSlots.end())
        return {};
    for (const TBoardCode& c : m.Codes)
        if (c.Code == code) return c.Name;
    return {};
}

void FillDetails(TATSConfig& entry, const TBoardRecord& record) {
    const auto& d = record.Data;
    entry.FactoryNumber = std::to_string(MakeWord(d[5], d[6]));
    entry.SoftVersion = std::to_string(d[2]) + "." + std::to_string(d[1]);
    const TDateTime date = SecondsToDateTime(std::uint64_t{MakeWord(d[3], d[4])} * 86400u);
    entry.FirmwareDate =
        std::to_string(date.day) + "." + std::to_string(date.month) + "." + std::to_string(date.year);
}

// ---- port layouts ---------------------------------------------------------------------

// One character per position: T trunk, L subscriber line, P system phone, D intercom
// port of the board, - nothing fitted.
struct TPortKindCode {
    char Code;
    TPortKind Kind;
    std::string_view Text;
};

constexpr TPortKindCode kKindCodes[] = {
    {'T', kPortTrunk, "SL"},
    {'L', kPortLine, "AL"},
    {'P', kPortSTA, "STA"},
    {'D', kPortIntercomJack, "D"},
    {'-', kPortEmpty, ""},
};

struct TBoardLayout {
    std::string_view Name;
    std::string_view Positions;
};

constexpr TBoardLayout kKvtLayouts[] = {
    {"LB71", "TLTLTLTLTL"},
    {"LB43", "TLTLTLLLLL"},
    {"LBQ619", "TLTLPDPDPD"},
    {"TT14", "LLLLLLLLLL"},
    {"TQ86", "LLLLLLPDPD"},
    {"Clear", "----------"},
};

constexpr TBoardLayout kRdLayouts[] = {
    {"LB28", "TLTLLLLL"},
    {"LB19", "TLLLLLLL"},
    {"TT09", "LLLLLLLL"},
    {"TQ05", "PDPDPDPD"},
    {"Clear", "--------"},
};

const TPortKindCode& KindOf(char code) {
    for (const TPortKindCode& k : kKindCodes)
        if (k.Code == code) return k;
    return kKindCodes[std::size(kKindCodes) - 1];
}

std::string_view PositionsOf(std::span<const TBoardLayout> layouts, std::string_view name) {
    for (const TBoardLayout& l : layouts)
        if (l.Name == name) return l.Positions;
    return {};  // "Double" and unknown boards offer no ports
}

int SlotCount(const TCompositionImage& image) {
    const TRawImage& list = image.BoardList;
    if (list.Counts.empty() || list.Capacity <= 0) return 0;
    std::size_t n = list.Counts[0];
    n = std::min(n, static_cast<std::size_t>(list.Capacity));
    n = std::min(n, list.Bytes.size());
    n = std::min(n, image.Boards.size());
    return static_cast<int>(n);
}

}  // namespace

int DecodeComposition(const std::string& model, const TCompositionImage& image, TDataStream& data) {
    for (TATSConfig& entry : data.Composition) entry = TATSConfig{};
    data.CompositionCount = 0;
    data.CompositionTrimmed = false;

    const TModelCodes* codes = CodesOf(model);
    if (!codes) return 0;

    const int slots = SlotCount(image);
    const auto list = image.BoardList.Block(0);
    const int capacity = static_cast<int>(data.Composition.size());
    int n = 0;
    int mismatch = 0;
    for (int i = 0; i < slots; ++i) {
        const std::uint8_t code = list[static_cast<std::size_t>(i)];
        const std::string_view name = NameOf(*codes, code, i);
        if (!name.empty()) {
            if (n == capacity) break;  // the model holds no more entries
            data.Composition[static_cast<std::size_t>(n++)].BoardName = name;
        }
        const TBoardRecord& record = image.Boards[static_cast<std::size_t>(i)];
        if (record.Data[0] != code) {
            mismatch = 1;
            continue;
        }
        // A slot without a name of its own reports details of the board named before it.
        if (record.Count == 7 && n > 0) FillDetails(data.Composition[static_cast<std::size_t>(n - 1)], record);
        // ">=" and not "==": a mismatched slot may step past the mark, and the list must
        // still end there.
        if (codes->StopAt > 0 && n >= codes->StopAt) break;
    }
    data.CompositionCount = n;
    data.CompositionTrimmed = false;
    return mismatch;
}

int BuildPortList(const std::string& model, TDataStream& data) {
    data.Ports.clear();
    data.CurrentPort.reset();

    std::span<const TBoardLayout> layouts;
    if (model.find("KVT") != std::string::npos) {
        layouts = kKvtLayouts;
        // Stored back, so the composition window leaves those two entries out as well; once
        // per decoded composition, so that the editors' rebuilds do not eat more boards.
        if (model.find("KVT700") != std::string::npos && data.CompositionCount > 15 && !data.CompositionTrimmed) {
            data.CompositionCount -= 2;
            data.CompositionTrimmed = true;
        }
    } else if (model == "RD16" || model == "RD32") {
        layouts = kRdLayouts;
    } else {
        return 1;
    }

    const int entries =
        std::clamp(data.CompositionCount, 0, static_cast<std::int32_t>(data.Composition.size()));
    for (int k = 0; k < entries; ++k) {
        const std::string_view positions =
            PositionsOf(layouts, data.Composition[static_cast<std::size_t>(k)].BoardName);
        for (std::size_t p = 0; p < positions.size(); ++p) {
            const TPortKindCode& kind = KindOf(positions[p]);
            auto port = std::make_shared<TPort>();
            port->Number = 200 + 10 * k + static_cast<int>(p);
            port->KindText = kind.Text;
            port->Kind = kind.Kind;
            // No line of this plan: 0, as line numbers start at 1.
            const int line = NumberToLineIndex(std::to_string(port->Number), model);
            port->LineIndex = static_cast<std::uint16_t>(line > 0 ? line : 0);
            port->Board = static_cast<std::uint16_t>(k);
            data.Ports.push_back(std::move(port));
        }
    }
    return 1;
}

TPortPtr* FindPort(TDataStream& data, int number) {
    for (TPortPtr& port : data.Ports) {
        if (!port || port->Number != number) continue;
        if (port->Kind == kPortSTA || port->Kind == kPortLine || port->Kind == kPortTrunk) return &port;
    }
    return nullptr;
}

}  // namespace stanset
