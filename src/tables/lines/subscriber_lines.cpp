#include "tables/lines/subscriber_lines.h"

#include <algorithm>
#include <span>
#include <string_view>

#include "engine/main_class.h"
#include "files/file_image.h"
#include "link/codecs.h"

namespace stanset {

namespace {

// ---- the line block ------------------------------------------------------------------

constexpr int kPriority = 6;
constexpr int kGGSNumber = 7;
constexpr int kDirectCallLow = 8;   // the last two digits
constexpr int kDirectCallHigh = 9;  // the first two digits, or a marker
constexpr int kGroup = 10;
constexpr int kKvtBooks = 31;       // triggers 19-24: the values, their flags in the next byte
constexpr int kOtherBooks = 17;
constexpr int kKvtLength = 31;
constexpr int kOtherLength = 17;
constexpr int kBooksLength = 2;

constexpr std::uint8_t kMarker002 = 0xAB;  // "002" and two digits
constexpr std::uint8_t kMarker003 = 0xAC;  // "003" and two digits
constexpr int kGroupCount = 20;            // a group byte from 20 up is no group

// The firmware a row needs.
enum class TGate : std::uint8_t { None, From24_3, From24_4 };

// The models a row applies to, by the marks in the model name.
enum class TModels : std::uint8_t { Any, Kvt, Kvt700, Kvt700Or250, KvtOrRd };

// Triggers 19-24 sit in a byte pair whose place depends on the family.
enum class TArea : std::uint8_t { Fixed, Books };

struct TTriggerField {
    TArea area;
    std::uint8_t value;  // byte of the own value (within the book pair for Books)
    std::uint8_t own;    // byte of the own flag
    std::uint8_t bit;
    TGate decodeGate;
    TModels decodeModels;
    TGate encodeGate;  // trigger 18 is written whatever the firmware
};

using enum TArea;
using enum TGate;
using enum TModels;

// clang-format off
constexpr TTriggerField kTriggers[lines::kTriggerCount] = {
    {Fixed, 0, 11, 0, None, Any, None},               // SecondJoining_OFF
    {Fixed, 0, 11, 1, None, Any, None},               // DTMF_ON
    {Fixed, 0, 11, 2, None, Any, None},               // RequiresCallSignal_OFF
    {Fixed, 0, 11, 3, None, Any, None},               // Df01
    {Fixed, 0, 11, 4, None, Any, None},               // Df02
    {Fixed, 0, 11, 5, None, Any, None},               // Df03
    {Fixed, 0, 11, 6, None, Any, None},               // Df04
    {Fixed, 1, 12, 0, None, Any, None},               // Redirect_OFF
    {Fixed, 1, 12, 1, None, Any, None},               // NonWorry_ON
    {Fixed, 1, 12, 2, None, Any, None},               // GGSUse_OFF
    {Fixed, 1, 12, 3, None, Any, None},               // UsePipeOfOrder_OFF
    {Fixed, 1, 12, 4, None, Any, None},               // InterceptVoidCall_OFF
    {Fixed, 1, 12, 5, None, Any, None},               // AllGGSUse_ON
    {Fixed, 2, 13, 0, None, Any, None},               // SLOutput_OFF
    {Fixed, 2, 13, 1, None, Any, None},               // MGOutput_OFF
    {Fixed, 2, 13, 2, None, Any, None},               // MNOutput_OFF
    {Fixed, 2, 13, 3, None, Any, None},               // AutoDialer_OFF
    {Fixed, 2, 13, 4, None, Any, None},               // FAXRegime_ON
    {Fixed, 0, 11, 7, From24_3, Any, None},           // RusSTA_ON
    {Books, 0, 1, 0, From24_4, KvtOrRd, From24_4},    // w_extnum_1th
    {Books, 0, 1, 1, From24_4, KvtOrRd, From24_4},    // w_extnum_2th
    {Books, 0, 1, 2, From24_4, KvtOrRd, From24_4},    // w_extnum_3th
    {Books, 0, 1, 3, From24_4, KvtOrRd, From24_4},    // w_extnum_4th
    {Books, 0, 1, 4, From24_4, KvtOrRd, From24_4},    // w_extnum_5th
    {Books, 0, 1, 5, From24_4, KvtOrRd, From24_4},    // b_extnum
};
// clang-format on

// Closed trunks first .. first+count-1: bit k of byte value + k/8 (flags likewise from own).
struct TTrunkRange {
    std::uint8_t first;
    std::uint8_t count;
    std::uint8_t value;
    std::uint8_t own;
    TModels decodeModels;
    TModels encodeModels;
};

constexpr TTrunkRange kTrunkRanges[] = {
    {0, 24, 3, 14, Any, Any},
    {24, 40, 17, 22, Kvt700Or250, Kvt},
    {64, 11, 27, 29, Kvt, Kvt700},  // the KVT250 has no trunks this high
};

// What the connected exchange's model and firmware make of the block.
struct TLineFormat {
    explicit TLineFormat(const TMainClass& e) : model(e.Identity.Model) {
        const TTableVerRWFlags flags = MakeTableVerRWFlags(e.Identity.Model, e.Identity.Version);
        from24_3 = flags.LinesFrom24_3;
        from24_4 = flags.HasBWBooks;
    }

    bool Has(std::string_view mark) const { return model.find(mark) != std::string_view::npos; }
    bool Holds(TModels m) const {
        switch (m) {
            case Any: return true;
            case Kvt: return Has("KVT");
            case Kvt700: return Has("KVT700");
            case Kvt700Or250: return Has("KVT700") || Has("KVT250");
            case KvtOrRd: return Has("KVT") || Has("RD");
        }
        return false;
    }
    bool Holds(TGate g) const {
        switch (g) {
            case None: return true;
            case From24_3: return from24_3;
            case From24_4: return from24_4;
        }
        return false;
    }
    int Offset(const TTriggerField& f, int byte) const {
        return f.area == Books ? (Has("KVT") ? kKvtBooks : kOtherBooks) + byte : byte;
    }
    int Length() const { return (Has("KVT") ? kKvtLength : kOtherLength) + (from24_4 ? kBooksLength : 0); }

    std::string model;
    bool from24_3 = false;
    bool from24_4 = false;
};

// ---- direct-call number ----------------------------------------------------------------

std::string DecodeDirectCall(std::uint8_t low, std::uint8_t high) {
    if (high == kMarker002 || high == kMarker003)
        return (high == kMarker002 ? "002" : "003") + BcdToText(&low, 1, 1);
    const std::uint8_t bytes[2] = {low, high};
    return BcdToText(bytes, 2, 1);  // last to first: high, then low
}

// A number the block cannot carry is written incompletely; the line panel refuses those.
void EncodeDirectCall(std::string_view text, std::uint8_t& low, std::uint8_t& high) {
    low = high = 0;
    if (text.size() == 5) {
        if (text[2] == '2') high = kMarker002;
        else if (text[2] == '3') high = kMarker003;
        TextToBcd(text.substr(3), std::span(&low, 1), false);
    } else if (text.size() < 5) {
        std::uint8_t bytes[2] = {};
        TextToBcd(text, bytes, false);
        high = bytes[0];
        low = bytes[1];
    }
}

// ---- one line ------------------------------------------------------------------------------

int LineCount(const TMainClass& e) {
    return std::min({static_cast<int>(e.Identity.LineCount), static_cast<int>(rows::Lines.maxBlocks),
                     e.Lines.BlockCount()});
}

// The bytes a slot holds; its count never reaches past the slot.
std::span<const std::uint8_t> SlotPayload(const TRawImage& image, int i) {
    return image.Block(i).first(std::min<std::size_t>(image.Counts[i], image.Block(i).size()));
}

void ClearSlots(TRawImage& image, int count) {
    for (int i = 0; i < count; ++i) {
        auto block = image.Block(i);
        std::fill(block.begin(), block.end(), 0);
        image.Counts[i] = 0;
    }
}

void DecodeLine(const TLineFormat& f, std::span<const std::uint8_t> payload, int trunkCount, TAL& al) {
    // An exchange that sent fewer bytes than the layout has sent zeros for the rest.
    auto byte = [payload](int k) -> std::uint8_t {
        return static_cast<std::size_t>(k) < payload.size() ? payload[k] : 0;
    };
    for (int t = 0; t < lines::kTriggerCount; ++t) {
        const TTriggerField& row = kTriggers[t];
        if (!f.Holds(row.decodeGate) || !f.Holds(row.decodeModels)) continue;
        al.Trigger[t] = static_cast<std::uint8_t>(TestBit(byte(f.Offset(row, row.value)), row.bit));
        al.TriggerOwn[t] = static_cast<std::uint8_t>(TestBit(byte(f.Offset(row, row.own)), row.bit));
    }
    std::fill_n(al.SLOff.begin(), std::clamp(trunkCount, 0, lines::kTrunkSlots), 0);
    for (const TTrunkRange& r : kTrunkRanges) {
        if (!f.Holds(r.decodeModels)) continue;
        for (int k = 0; k < r.count; ++k) {
            al.SLOff[r.first + k] = static_cast<std::uint8_t>(TestBit(byte(r.value + k / 8), k % 8));
            al.SLOffOwn[r.first + k] = static_cast<std::uint8_t>(TestBit(byte(r.own + k / 8), k % 8));
        }
    }
    al.Priority = byte(kPriority);
    al.GGSNumber = byte(kGGSNumber);
    al.DirectCall = DecodeDirectCall(byte(kDirectCallLow), byte(kDirectCallHigh));
    al.GroupIndex = byte(kGroup) < kGroupCount ? byte(kGroup) : -1;
}

std::uint16_t EncodeLine(const TLineFormat& f, const TAL& al, std::span<std::uint8_t> block) {
    std::fill(block.begin(), block.end(), 0);
    for (int t = 0; t < lines::kTriggerCount; ++t) {
        const TTriggerField& row = kTriggers[t];
        if (!f.Holds(row.encodeGate)) continue;
        if (al.Trigger[t]) SetBit(block[f.Offset(row, row.value)], row.bit);
        if (al.TriggerOwn[t]) SetBit(block[f.Offset(row, row.own)], row.bit);
    }
    for (const TTrunkRange& r : kTrunkRanges) {
        if (!f.Holds(r.encodeModels)) continue;
        for (int k = 0; k < r.count; ++k) {
            if (al.SLOff[r.first + k]) SetBit(block[r.value + k / 8], k % 8);
            if (al.SLOffOwn[r.first + k]) SetBit(block[r.own + k / 8], k % 8);
        }
    }
    block[kPriority] = al.Priority;
    block[kGGSNumber] = al.GGSNumber;
    EncodeDirectCall(al.DirectCall, block[kDirectCallLow], block[kDirectCallHigh]);
    block[kGroup] = static_cast<std::uint8_t>(al.GroupIndex & 0xFF);
    return static_cast<std::uint16_t>(f.Length());
}

}  // namespace

// ---- transfers ----------------------------------------------------------------------------

int ReadSubscriberLines(TMainClass& e) {
    if (e.Link.CheckLink() < 0) return kNoLink;
    const int n = LineCount(e);
    if (n <= 0) return kNoBlocks;
    e.Link.Line().PurgeInput();
    ClearSlots(e.Lines, n);
    e.Lines.BlocksRead = 0;
    for (int i = 0; i < n; ++i) {
        const int got = e.Link.ReadBlock(rows::Lines, i, e.Lines.Block(i));
        if (got < 0) {
            // Never leave a half-read table behind to be decoded.
            ClearSlots(e.Lines, n);
            e.Lines.BlocksRead = 0;
            return kTimeOut;
        }
        e.Lines.Counts[i] = static_cast<std::uint16_t>(got);
        e.Lines.BlocksRead = i + 1;
    }
    return 1;
}

int WriteSubscriberLines(TMainClass& e) {
    if (e.Link.CheckLink() < 0) return kNoLink;
    const int n = LineCount(e);
    for (int i = 0; i < n; ++i)
        if (e.Link.WriteBlock(rows::Lines, i, SlotPayload(e.Lines, i)) < 0) return kTimeOut;
    return 1;
}

// ---- model ----------------------------------------------------------------------------------

void DecodeSubscriberLines(TMainClass& e, TDataStream& d) {
    const TLineFormat format(e);
    const int n = std::min(LineCount(e), static_cast<int>(d.Lines.size()));
    for (int i = 0; i < n; ++i) DecodeLine(format, SlotPayload(e.Lines, i), e.Identity.TrunkCount, d.Lines[i]);
}

void EncodeSubscriberLines(TMainClass& e, const TDataStream& d) {
    const TLineFormat format(e);
    const int n = std::min(LineCount(e), static_cast<int>(d.Lines.size()));
    for (int i = 0; i < n; ++i) e.Lines.Counts[i] = EncodeLine(format, d.Lines[i], e.Lines.Block(i));
    e.Changed[kTabLines] = true;
}

void ClearSubscriberLines(TMainClass& e) { e.Lines.Clear(); }

void CopyLineSettings(TAL& target, const TAL& source) {
    if (&target == &source) return;
    target.Trigger = source.Trigger;
    target.TriggerOwn = source.TriggerOwn;
    target.Priority = source.Priority;
    target.GGSNumber = source.GGSNumber;
    target.DirectCall = source.DirectCall;
    target.GroupIndex = source.GroupIndex;
}

// ---- file section ---------------------------------------------------------------------------

namespace lines {

void CopyToFileImage(const TMainClass& e, TFileImage& image) { PutRecordList(image, e.Lines, LineCount(e)); }

bool CopyFromFileImage(TMainClass& e, const TFileImage& image) {
    const int n = LineCount(e);
    if (RecordListEnd(image.Payload(), n, e.Lines.Capacity) < 0) return false;
    e.Lines.Clear();
    return TakeRecordList(image, e.Lines, n);
}

}  // namespace lines

}  // namespace stanset
