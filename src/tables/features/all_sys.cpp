#include "tables/features/all_sys.h"

#include <algorithm>

#include "engine/main_class.h"
#include "tables/features/flash.h"

namespace stanset {

namespace {

constexpr int kFlagsOffset = 0;
constexpr int kDayStartOffset = 1;
constexpr int kNightStartOffset = 3;
constexpr int kBlockLength = 5;

struct TFlagBit {
    std::uint8_t TAllSys::*field;
    int bit;
};

constexpr TFlagBit kFlags[] = {
    {&TAllSys::UniformTrunkLoad, 0},       {&TAllSys::IncomingBilling, 1},    {&TAllSys::ToneDialling, 2},
    {&TAllSys::NoLocalOutgoingBilling, 3}, {&TAllSys::NoPhoneProgramming, 4}, {&TAllSys::AutoEraseBilling, 5},
    {&TAllSys::DisaTrunkSignal, 6},        {&TAllSys::ZeroTrunkPrefix, 7},
};

struct TTimeField {
    TTimeOfDay TAllSys::*field;
    int offset;
};

constexpr TTimeField kTimes[] = {
    {&TAllSys::DayModeStart, kDayStartOffset},
    {&TAllSys::NightModeStart, kNightStartOffset},
};

// An exchange that reports 0 means 6 seconds; an engine never identified has 0 as well.
unsigned TimeUnitOf(const TMainClass& e) { return e.Identity.TimeUnit ? e.Identity.TimeUnit : 6; }

std::uint8_t ByteAt(const TRawImage& raw, int i) {
    const int held = std::min<int>(raw.Counts[0], raw.Capacity);
    return i < held ? raw.Block(0)[static_cast<std::size_t>(i)] : 0;
}

}  // namespace

int ReadSystemSettings(TMainClass& e) { return e.Link.ReadTable(rows::AllSys, e.AllSys, 1); }

int WriteSystemSettings(TMainClass& e) {
    const int r = e.Link.WriteTable(rows::AllSys, e.AllSys, 1);
    return r == kNoLink ? 0 : r < 0 ? r : 1;
}

void DecodeSystemSettings(TMainClass& e, TDataStream& d) {
    const std::uint8_t flags = ByteAt(e.AllSys, kFlagsOffset);
    for (const TFlagBit& f : kFlags) d.AllSys.*f.field = static_cast<std::uint8_t>(TestBit(flags, f.bit));
    const unsigned unit = TimeUnitOf(e);
    for (const TTimeField& t : kTimes) {
        const std::uint16_t n = MakeWord(ByteAt(e.AllSys, t.offset), ByteAt(e.AllSys, t.offset + 1));
        d.AllSys.*t.field = SecondsToTime(std::uint64_t{n} * unit);
    }
}

void EncodeSystemSettings(TMainClass& e, const TDataStream& d) {
    auto block = e.AllSys.Block(0);
    std::uint8_t flags = 0;
    for (const TFlagBit& f : kFlags)
        if (d.AllSys.*f.field) SetBit(flags, f.bit);
    block[kFlagsOffset] = flags;
    const unsigned unit = TimeUnitOf(e);
    for (const TTimeField& t : kTimes) {
        const TTimeOfDay& time = d.AllSys.*t.field;
        // Truncated to whole time units; a count the 16 bits cannot hold is clamped.
        const std::int64_t n = TimeToSeconds(time.hour, time.minute, time.second) / std::int64_t{unit};
        const auto word = static_cast<std::uint16_t>(std::clamp<std::int64_t>(n, 0, 0xFFFF));
        SplitWord(word, block[static_cast<std::size_t>(t.offset)], block[static_cast<std::size_t>(t.offset) + 1]);
    }
    e.AllSys.Counts[0] = kBlockLength;
    e.Changed[kTabAllSys] = true;
}

void ClearSystemSettings(TMainClass& e) { e.AllSys.Clear(); }

namespace allsys {
void CopyToFileImage(const TMainClass& e, TFileImage& image) { singleblock::CopyToFileImage(e.AllSys, image); }
bool CopyFromFileImage(TMainClass& e, const TFileImage& image) {
    return singleblock::CopyFromFileImage(e.AllSys, image);
}
}  // namespace allsys

}  // namespace stanset
