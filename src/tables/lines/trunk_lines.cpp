#include "tables/lines/trunk_lines.h"

#include <algorithm>
#include <cctype>
#include <span>

#include "engine/main_class.h"
#include "files/file_image.h"
#include "link/codecs.h"

namespace stanset {

namespace {

// The trunk block.
constexpr int kFlags0 = 0;
constexpr int kFlags1 = 1;
constexpr int kDayTable = 2;
constexpr int kNightTable = 3;
constexpr int kMGDigit = 4;
constexpr int kType = 5;
constexpr int kAutoDial = 6;
constexpr int kAutoDialBytes = 4;
constexpr int kFlags10 = 10;
constexpr int kBlockedWith = 11;
constexpr int kBlockLength = 12;

constexpr std::uint8_t kDigitZero = 10;    // byte 4 for the long-distance digit 0
constexpr std::uint8_t kResetBlock[] = {0, 0, 0, 0, 8};
// Larger texts cannot be directory numbers, and would overflow the numbering arithmetic.
constexpr int kMaxNumber = 99999;

enum class TGate : std::uint8_t { Always, B };

struct TTrunkFlag {
    std::uint8_t TSL::*field;
    int byte;
    int bit;
    TGate gate;
};

// Bit 5 of byte 0 and bits 3-7 of byte 10 belong to the exchange and are kept.
constexpr TTrunkFlag kTrunkFlags[] = {
    {&TSL::Dir01, kFlags0, 0, TGate::Always},
    {&TSL::Dir02, kFlags0, 1, TGate::Always},
    {&TSL::Dir03, kFlags0, 2, TGate::Always},
    {&TSL::Dir04, kFlags0, 3, TGate::Always},
    {&TSL::Dir05, kFlags0, 4, TGate::Always},
    {&TSL::OutgoingCall, kFlags0, 6, TGate::Always},
    {&TSL::Dir9, kFlags0, 7, TGate::Always},
    {&TSL::AutoOFFSL, kFlags1, 0, TGate::Always},
    {&TSL::FAX, kFlags1, 1, TGate::Always},
    {&TSL::TarINCall, kFlags1, 2, TGate::Always},
    {&TSL::ToneDial, kFlags1, 3, TGate::Always},
    {&TSL::ReplacementSignal, kFlags1, 4, TGate::Always},
    {&TSL::RetreatInCall, kFlags1, 5, TGate::Always},
    {&TSL::DISA, kFlags1, 6, TGate::Always},
    {&TSL::NotInterCityTar, kFlags1, 7, TGate::Always},
    {&TSL::OFFDISAForRetreatSignal, kFlags10, 0, TGate::Always},
    {&TSL::SignalToSLForDISA, kFlags10, 1, TGate::Always},
    {&TSL::ActivePauseAfter8, kFlags10, 2, TGate::B},
};

// Auto-dial characters beyond the digits, and the hex digit of their nibble.
struct TDialChar {
    char shown;
    char hex;
};
constexpr TDialChar kDialAlphabet[] = {{'*', 'B'}, {'#', 'C'}, {'P', 'D'}, {'A', 'E'}, {'T', 'F'}};

bool GateOpen(TGate gate, const TTableVerRWFlags& flags) { return gate == TGate::Always || flags.From24_4; }

int TrunkSlots(const TMainClass& e) { return std::min<int>(e.Identity.TrunkCount, e.Trunks.BlockCount()); }

// A block's bytes; those past its count are not part of it and read as 0.
class TBlockView {
public:
    TBlockView(const TRawImage& image, int i)
        : bytes_(image.Block(i).first(std::min<std::size_t>(image.Counts[i], image.Block(i).size()))) {}
    std::uint8_t operator[](int k) const { return k < static_cast<int>(bytes_.size()) ? bytes_[k] : 0; }

private:
    std::span<const std::uint8_t> bytes_;
};

void ZeroPastCount(TRawImage& image, int i) {
    auto block = image.Block(i);
    std::fill(block.begin() + std::min<std::size_t>(image.Counts[i], block.size()), block.end(), 0);
}

std::string DecodeAutoDial(const TBlockView& b) {
    std::uint8_t packed[kAutoDialBytes];
    int n = 0;
    while (n < kAutoDialBytes && (b[kAutoDial + n] >> 4) != 0) {
        packed[n] = b[kAutoDial + n];
        ++n;
    }
    std::string text = BcdToText(std::span<const std::uint8_t>(packed, n), 0);
    for (char& c : text)
        for (const TDialChar& d : kDialAlphabet)
            if (c == d.hex) c = d.shown;
    return text;
}

void EncodeAutoDial(const std::string& dial, std::span<std::uint8_t> block) {
    std::string hex = dial;
    for (char& c : hex) {
        const char up = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (const TDialChar& d : kDialAlphabet)
            if (up == d.shown) c = d.hex;
    }
    std::uint8_t packed[kAutoDialBytes] = {};
    TextToBcd(hex, packed, false);
    std::copy(std::begin(packed), std::end(packed), block.begin() + kAutoDial);
}

std::uint8_t TableByte(std::int32_t table) {
    // Only 1-255 fit the byte; anything else would wrap onto another table.
    return table >= 1 && table <= 255 ? static_cast<std::uint8_t>(table) : 0;
}

std::uint8_t BlockedWithByte(std::int32_t number, const std::string& model) {
    if (number <= 0 || number > kMaxNumber) return 0;
    const int t = NumberToTrunkIndex(std::to_string(number), model);
    return t >= 0 && t < 255 ? static_cast<std::uint8_t>(t + 1) : 0;
}

}  // namespace

int ReadTrunkLines(TMainClass& e) {
    const int m = TrunkSlots(e);
    if (m == 0) return e.Link.CheckLink() < 0 ? kNoLink : kNoBlocks;
    const int r = e.Link.ReadTable(rows::Trunks, e.Trunks, m);
    if (r < 0) return r;
    // A short block decodes its missing bytes from zeros, never from an older block.
    for (int t = 0; t < m; ++t) ZeroPastCount(e.Trunks, t);
    return 1;
}

int WriteTrunkLines(TMainClass& e) {
    const int m = TrunkSlots(e);
    // No trunks means nothing to write, which is no failure to report.
    if (m == 0) return e.Link.CheckLink() < 0 ? kNoLink : 1;
    const int r = e.Link.WriteTable(rows::Trunks, e.Trunks, m);
    return r < 0 ? r : 1;
}

void DecodeTrunkLines(TMainClass& e, TDataStream& d) {
    const TTableVerRWFlags flags = MakeTableVerRWFlags(e.Identity.Model, e.Identity.Version);
    const std::string& model = e.Identity.Model;
    for (int t = 0; t < TrunkSlots(e); ++t) {
        const TBlockView b(e.Trunks, t);
        TSL& sl = d.Trunks[t];
        for (const TTrunkFlag& f : kTrunkFlags)
            if (GateOpen(f.gate, flags)) sl.*f.field = static_cast<std::uint8_t>(TestBit(b[f.byte], f.bit));
        sl.DayTable = b[kDayTable] ? b[kDayTable] : -1;
        sl.NightTable = b[kNightTable] ? b[kNightTable] : -1;
        const std::uint8_t digit = b[kMGDigit];
        sl.MGDigit = digit == 0 ? 8 : digit > 9 ? 0 : digit;
        sl.SLType = b[kType] + 1;
        sl.AutoDial = DecodeAutoDial(b);
        sl.BlockedWith = b[kBlockedWith] ? TrunkIndexToNumber(model, b[kBlockedWith] - 1) : -1;
    }
}

void EncodeTrunkLines(TMainClass& e, const TDataStream& d) {
    const TTableVerRWFlags flags = MakeTableVerRWFlags(e.Identity.Model, e.Identity.Version);
    const std::string& model = e.Identity.Model;
    for (int t = 0; t < TrunkSlots(e); ++t) {
        ZeroPastCount(e.Trunks, t);
        const auto block = e.Trunks.Block(t);
        const TSL& sl = d.Trunks[t];
        for (const TTrunkFlag& f : kTrunkFlags) {
            if (!GateOpen(f.gate, flags)) continue;
            if (sl.*f.field) SetBit(block[f.byte], f.bit);
            else ClearBit(block[f.byte], f.bit);
        }
        block[kDayTable] = TableByte(sl.DayTable);
        block[kNightTable] = TableByte(sl.NightTable);
        // Every value but 1-9 would read back as 0 or 8; write the digit 0 for all of them.
        block[kMGDigit] = sl.MGDigit >= 1 && sl.MGDigit <= 9 ? static_cast<std::uint8_t>(sl.MGDigit) : kDigitZero;
        block[kType] = static_cast<std::uint8_t>(sl.SLType - 1);
        EncodeAutoDial(sl.AutoDial, block);
        block[kBlockedWith] = BlockedWithByte(sl.BlockedWith, model);
        e.Trunks.Counts[t] = kBlockLength;
    }
    e.Changed[kTabTrunks] = true;
}

void ResetTrunkLines(TMainClass& e) {
    e.Trunks.Clear();
    for (int t = 0; t < e.Trunks.BlockCount(); ++t) {
        std::copy(std::begin(kResetBlock), std::end(kResetBlock), e.Trunks.Block(t).begin());
        e.Trunks.Counts[t] = std::size(kResetBlock);
    }
}

namespace trunks {

void CopyToFileImage(const TMainClass& e, TFileImage& image) { PutRecordList(image, e.Trunks, TrunkSlots(e)); }

bool CopyFromFileImage(TMainClass& e, const TFileImage& image) { return TakeRecordList(image, e.Trunks, TrunkSlots(e)); }

}  // namespace trunks

}  // namespace stanset
