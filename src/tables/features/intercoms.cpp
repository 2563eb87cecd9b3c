#include "tables/features/intercoms.h"

#include <algorithm>

#include "engine/main_class.h"
#include "files/file_image.h"
#include "link/codecs.h"

namespace stanset {

namespace {

// The intercom block.
constexpr int kFlagsAt = 0;
constexpr int kDayTableAt = 1;
constexpr int kNightTableAt = 2;
constexpr int kPortAt = 3;
constexpr int kCodeAt = 4;
constexpr int kCodeBytes = 3;
constexpr std::size_t kMaxCodeDigits = 2 * kCodeBytes;

struct TSwitchBit {
    std::uint8_t TDf::*field;
    int bit;
};
// Bits 3-7 of the flags byte are the exchange's own and go back as they came.
constexpr TSwitchBit kSwitches[] = {
    {&TDf::AllALOpening, 0},
    {&TDf::ResetInCall, 1},
    {&TDf::DTMFOpening, 2},
};

bool AllDigits(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A missing byte of a short block reads as 0.
std::uint8_t ByteAt(std::span<const std::uint8_t> block, std::size_t at) { return at < block.size() ? block[at] : 0; }

std::string NumberOrEmpty(std::uint8_t b) { return b == 0 ? std::string() : std::to_string(b); }

// A direction-table number as its byte; false for a text that is no number of a byte.
bool TableNumberToByte(std::string_view text, std::uint8_t& b) {
    if (text.empty()) {
        b = 0;
        return true;
    }
    try {
        const int n = StrToInt(text);
        if (n < 0 || n > 255) return false;
        b = static_cast<std::uint8_t>(n);
        return true;
    } catch (const EConvertError&) {
        return false;
    }
}

int Slots(const TMainClass& e, int count) { return std::clamp(count, 0, e.Intercoms.BlockCount()); }

}  // namespace

std::string LinkPortOfByte(std::string_view model, std::uint8_t b) {
    if (b == 0) return {};
    const int number = LineIndexToNumber(model, b - 1);
    return number < 0 ? std::string() : std::to_string(number);
}

bool LinkPortToByte(std::string_view model, std::string_view linkPort, std::uint8_t& b) {
    if (linkPort.empty()) {
        b = 0;
        return true;
    }
    try {
        const int n = NumberToLineIndex(linkPort, model);
        if (n < 0 || n > 255) return false;
        b = static_cast<std::uint8_t>(n);
        return true;
    } catch (const EConvertError&) {
        return false;
    }
}

void MarkAttachedPort(TDataStream& d, std::string_view number, std::uint16_t kind, const char* kindText) {
    if (number.empty()) return;
    try {
        if (TPortPtr* port = FindPort(d, StrToInt(number)); port && *port) {
            (*port)->Kind = kind;
            (*port)->KindText = kindText;
        }
    } catch (const EConvertError&) {
    }
}

std::size_t PackOpenCode(std::string_view code, std::span<std::uint8_t> out) {
    if (!AllDigits(code)) return 0;
    return TextToBcd(code, out, false);
}

std::string UnpackOpenCode(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (std::uint8_t b : bytes) text += WordToHex(b, 0).substr(2);
    if (!text.empty() && text.back() == '0') text.pop_back();
    std::replace(text.begin(), text.end(), 'A', '0');
    return text;
}

int ReadIntercoms(TMainClass& e) {
    const int m = Slots(e, e.Identity.IntercomBlocks);
    const int r = e.Link.ReadTable(rows::Intercoms, e.Intercoms, m, [&] {
        for (int i = 0; i < m; ++i) {
            auto block = e.Intercoms.Block(i);
            std::fill(block.begin(), block.end(), 0);
            e.Intercoms.Counts[i] = 0;
        }
    });
    if (r == kNoLink) return r;
    // After a time-out the slots are zero but still held: they decode to empty intercoms.
    e.Intercoms.BlocksRead = m;
    return r < 0 ? r : 0;
}

int WriteIntercoms(TMainClass& e) {
    const int m = Slots(e, e.Identity.IntercomBlocks);
    if (m == 0) return kNoLink;
    const int r = e.Link.WriteTable(rows::Intercoms, e.Intercoms, m);
    if (r == kNoLink) return kNoBlocks;
    return r < 0 ? r : 0;
}

void DecodeIntercoms(TMainClass& e, TDataStream& d) {
    d.Intercoms.fill(TDf{});
    d.IntercomCount = static_cast<std::uint16_t>(Slots(e, e.Identity.IntercomBlocks));
    const std::string& model = e.Identity.Model;
    const int held = Slots(e, e.Intercoms.BlocksRead);
    for (int i = 0; i < held; ++i) {
        const auto block = e.Intercoms.Payload(i);
        TDf& df = d.Intercoms[i];
        for (const TSwitchBit& s : kSwitches) df.*s.field = static_cast<std::uint8_t>(TestBit(ByteAt(block, kFlagsAt), s.bit));
        df.DayTable = NumberOrEmpty(ByteAt(block, kDayTableAt));
        df.NightTable = NumberOrEmpty(ByteAt(block, kNightTableAt));
        df.LinkPort = LinkPortOfByte(model, ByteAt(block, kPortAt));
        if (block.size() > kCodeAt) df.OpenCode = UnpackOpenCode(block.subspan(kCodeAt));
        MarkAttachedPort(d, df.LinkPort, kPortIntercom, "Дф");
    }
}

int EncodeIntercoms(TMainClass& e, TDataStream& d) {
    int result = 0;
    const std::string& model = e.Identity.Model;
    const int held = Slots(e, d.IntercomCount);
    e.Intercoms.BlocksRead = held;
    for (int i = 0; i < held; ++i) {
        const TDf& df = d.Intercoms[i];
        auto block = e.Intercoms.Block(i);
        std::uint16_t& length = e.Intercoms.Counts[i];

        for (const TSwitchBit& s : kSwitches) {
            if (df.*s.field) SetBit(block[kFlagsAt], s.bit);
            else ClearBit(block[kFlagsAt], s.bit);
        }
        if (!TableNumberToByte(df.DayTable, block[kDayTableAt])) result = -1;
        if (!TableNumberToByte(df.NightTable, block[kNightTableAt])) result = -1;
        if (!LinkPortToByte(model, df.LinkPort, block[kPortAt])) result = -1;

        if (df.OpenCode.size() > kMaxCodeDigits || !AllDigits(df.OpenCode)) {
            result = -1;
            length = std::max<std::uint16_t>(length, kCodeAt);
            continue;
        }
        std::fill(block.begin() + kCodeAt, block.end(), 0);
        length = static_cast<std::uint16_t>(kCodeAt + PackOpenCode(df.OpenCode, block.subspan(kCodeAt, kCodeBytes)));
    }
    e.Changed[kTabIntercoms] = true;
    return result;
}

void ClearIntercoms(TMainClass& e) { e.Intercoms.Clear(); }

int StoreIntercom(TDataStream& d, int index, bool allALOpening, bool resetInCall, bool dtmfOpening,
                  const std::string& dayTable, const std::string& nightTable, const std::string& linkPort,
                  const std::string& openCode) {
    if (index < 0 || index >= static_cast<int>(d.Intercoms.size())) return -3;
    TDf& df = d.Intercoms[index];
    df.AllALOpening = allALOpening;
    df.ResetInCall = resetInCall;
    df.DTMFOpening = dtmfOpening;
    df.DayTable = dayTable;
    df.NightTable = nightTable;
    df.LinkPort = linkPort;

    std::string code = openCode;
    if (!code.empty() && code.front() == ' ') code.clear();
    while (!code.empty() && code.back() == ' ') code.pop_back();
    if (code.size() > kMaxCodeDigits) return -2;
    df.OpenCode = code;
    return AllDigits(code) ? 1 : -1;
}

namespace intercoms {

void CopyToFileImage(const TMainClass& e, TFileImage& image) {
    PutRecordList(image, e.Intercoms, e.Intercoms.BlocksRead);
}

bool CopyFromFileImage(TMainClass& e, const TFileImage& image) {
    return TakeRecordList(image, e.Intercoms, Slots(e, e.Identity.IntercomBlocks));
}

}  // namespace intercoms

}  // namespace stanset
