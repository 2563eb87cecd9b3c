#include "tables/lines/groups.h"

#include <algorithm>
#include <span>

#include "engine/main_class.h"
#include "files/file_image.h"
#include "link/codecs.h"

namespace stanset {

namespace {

// The fixed head of a group block; the two lists and the tail follow.
constexpr int kTriggers0 = 0;
constexpr int kTriggers1 = 1;
constexpr int kTriggers2 = 2;
constexpr int kClosedTrunks0 = 3;
constexpr int kPriority = 6;
constexpr int kGGSNumber = 7;
constexpr int kDirectCallLast = 8;   // the last two digits
constexpr int kDirectCallFirst = 9;  // the first two
constexpr int kCallString = 10;
constexpr int kListMax = 5;
constexpr int kInterceptBias = 9;    // a list byte is the group number - 9
// Larger texts cannot be directory numbers, and would overflow the numbering arithmetic.
constexpr int kMaxNumber = 99999;

enum class TGate : std::uint8_t { Always, A, B };

// A run of triggers on consecutive bits of one byte.
struct TTriggerRun {
    int first;
    int count;
    int byte;  // -1: the tail's byte
    int bit;
    TGate readGate;
    TGate writeGate;
};

// Bits 6-7 of bytes 1 and 2 and of the tail's trigger byte belong to the exchange and are kept.
constexpr TTriggerRun kHeadTriggers[] = {
    {0, 7, kTriggers0, 0, TGate::Always, TGate::Always},
    {18, 1, kTriggers0, 7, TGate::A, TGate::Always},
    {7, 6, kTriggers1, 0, TGate::Always, TGate::Always},
    {13, 5, kTriggers2, 0, TGate::Always, TGate::Always},
};
constexpr TTriggerRun kBookTriggers = {19, 6, -1, 0, TGate::B, TGate::B};
constexpr std::uint8_t kKeptTailBits = 0xC0;

// A run of closed trunks, whole bytes on writing; the reader may take fewer bits.
struct TTrunkRun {
    int first;
    int readCount;
    int bytes;
};
constexpr TTrunkRun kTrunks0 = {0, 24, 3};
constexpr TTrunkRun kTrunks24 = {24, 40, 5};  // KVT only
constexpr TTrunkRun kTrunks64 = {64, 11, 2};  // KVT only: written as 64-79, read as 64-74

// Where the fields behind the lists sit; -1 for a field the layout has not.
struct TTail {
    int trunks24 = -1;
    int day = -1;
    int night = -1;
    int trunks64 = -1;
    int books = -1;
    int end = 0;
};

TTail TailAt(int q, bool kvt, bool gateB) {
    TTail t;
    int p = q;
    if (kvt) t.trunks24 = p, p += kTrunks24.bytes;
    t.day = p++;
    t.night = p++;
    if (kvt) t.trunks64 = p, p += kTrunks64.bytes;
    if (gateB) t.books = p++;
    t.end = p;
    return t;
}

bool Contains(const std::string& model, const char* mark) { return model.find(mark) != std::string::npos; }

// The decoder knows the tails of these models only; the encoder writes the KVT tail for any
// "KVT" model and the short tail for every other.
enum class TReadTail : std::uint8_t { Kvt, Rd, None };
TReadTail ReadTailOf(const std::string& model) {
    if (Contains(model, "KVT700") || Contains(model, "KVT250")) return TReadTail::Kvt;
    if (Contains(model, "RD32") || Contains(model, "RD16")) return TReadTail::Rd;
    return TReadTail::None;
}

struct TGates {
    bool a;
    bool b;
    bool Open(TGate g) const { return g == TGate::Always || (g == TGate::A ? a : b); }
};

TGates GatesOf(const TMainClass& e) {
    const TTableVerRWFlags f = MakeTableVerRWFlags(e.Identity.Model, e.Identity.Version);
    return {f.GroupsFrom24_3, f.HasBWBooks};
}

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

// Offset behind the list at start: its 0 byte is consumed; a full list has none.
int ListEnd(const TBlockView& b, int start) {
    for (int k = 0; k < kListMax; ++k)
        if (b[start + k] == 0) return start + k + 1;
    return start + kListMax;
}

void ReadTriggers(const TTriggerRun& run, std::uint8_t byte, const TGates& gates, TGroup& g) {
    if (!gates.Open(run.readGate)) return;
    for (int k = 0; k < run.count; ++k) g.Trigger[run.first + k] = static_cast<std::uint8_t>(TestBit(byte, run.bit + k));
}

void WriteTriggers(const TTriggerRun& run, std::uint8_t& byte, const TGates& gates, const TGroup& g) {
    if (!gates.Open(run.writeGate)) return;
    for (int k = 0; k < run.count; ++k) {
        if (g.Trigger[run.first + k]) SetBit(byte, run.bit + k);
        else ClearBit(byte, run.bit + k);
    }
}

void ReadTrunks(const TTrunkRun& run, const TBlockView& b, int at, TGroup& g) {
    for (int k = 0; k < run.readCount; ++k)
        g.SLOff[run.first + k] = static_cast<std::uint8_t>(TestBit(b[at + k / 8], k % 8));
}

void WriteTrunks(const TTrunkRun& run, std::span<std::uint8_t> block, int at, const TGroup& g) {
    for (int k = 0; k < 8 * run.bytes; ++k) {
        if (g.SLOff[run.first + k]) SetBit(block[at + k / 8], k % 8);
        else ClearBit(block[at + k / 8], k % 8);
    }
}

// The list byte of a group-call entry; 0 for an empty place and for an entry whose byte
// would be 0, which the reader would take for the end of the list.
std::uint8_t CallStringByte(std::int32_t number, const std::string& model) {
    if (number <= 0 || number > kMaxNumber) return 0;
    return static_cast<std::uint8_t>(NumberToLineIndex(std::to_string(number), model));
}

std::uint8_t InterceptByte(std::uint16_t group) {
    return group == 0 ? 0 : static_cast<std::uint8_t>(group - kInterceptBias);
}

void DecodeGroup(const TBlockView& b, const std::string& model, const TGates& gates, TGroup& g) {
    for (const TTriggerRun& run : kHeadTriggers) ReadTriggers(run, b[run.byte], gates, g);
    g.Priority = b[kPriority];
    g.GGSNumber = b[kGGSNumber];
    const std::uint8_t call[2] = {b[kDirectCallLast], b[kDirectCallFirst]};
    g.DirectCall = BcdToText(call, 1);

    g.SLOff.fill(0);
    ReadTrunks(kTrunks0, b, kClosedTrunks0, g);

    g.CallString.fill(0);
    g.CallStringCount = 0;
    int p = kCallString;
    for (int k = 0; k < kListMax; ++k) {
        const std::uint8_t v = b[p++];
        if (v == 0) break;
        g.CallString[g.CallStringCount++] = LineIndexToNumber(model, v - 1);
    }
    g.Intercept.fill(0);
    g.InterceptCount = 0;
    for (int k = 0; k < kListMax; ++k) {
        const std::uint8_t v = b[p++];
        if (v == 0) break;
        g.Intercept[g.InterceptCount++] = static_cast<std::uint16_t>(v + kInterceptBias);
    }

    const TReadTail kind = ReadTailOf(model);
    if (kind == TReadTail::None) return;  // tables and books keep their values
    const TTail tail = TailAt(p, kind == TReadTail::Kvt, gates.b);
    if (tail.trunks24 >= 0) ReadTrunks(kTrunks24, b, tail.trunks24, g);
    g.DayTable = b[tail.day];
    g.NightTable = b[tail.night];
    if (tail.trunks64 >= 0) ReadTrunks(kTrunks64, b, tail.trunks64, g);
    if (tail.books >= 0) ReadTriggers(kBookTriggers, b[tail.books], gates, g);
}

void EncodeGroup(TRawImage& image, int slot, const std::string& model, const TGates& gates, const TGroup& g) {
    const bool kvt = Contains(model, "KVT");
    // The exchange's bits of the tail byte are where the old lists put it, not at the new place.
    std::uint8_t keptTail = 0;
    {
        const TBlockView old(image, slot);
        const TTail t = TailAt(ListEnd(old, ListEnd(old, kCallString)), kvt, gates.b);
        if (t.books >= 0) keptTail = old[t.books] & kKeptTailBits;
    }
    ZeroPastCount(image, slot);
    const auto block = image.Block(slot);

    for (const TTriggerRun& run : kHeadTriggers) WriteTriggers(run, block[run.byte], gates, g);
    WriteTrunks(kTrunks0, block, kClosedTrunks0, g);
    block[kPriority] = g.Priority;
    block[kGGSNumber] = g.GGSNumber;
    std::uint8_t call[2] = {};
    TextToBcd(g.DirectCall, call, false);
    block[kDirectCallLast] = call[1];
    block[kDirectCallFirst] = call[0];

    int p = kCallString;
    for (int k = 0; k < kListMax; ++k) {
        const std::uint8_t v = CallStringByte(g.CallString[k], model);
        block[p++] = v;
        if (v == 0) break;
    }
    for (int k = 0; k < kListMax; ++k) {
        const std::uint8_t v = InterceptByte(g.Intercept[k]);
        block[p++] = v;
        if (v == 0) break;
    }

    const TTail tail = TailAt(p, kvt, gates.b);
    if (tail.trunks24 >= 0) WriteTrunks(kTrunks24, block, tail.trunks24, g);
    block[tail.day] = g.DayTable;
    block[tail.night] = g.NightTable;
    if (tail.trunks64 >= 0) WriteTrunks(kTrunks64, block, tail.trunks64, g);
    if (tail.books >= 0) {
        block[tail.books] = keptTail;
        WriteTriggers(kBookTriggers, block[tail.books], gates, g);
    }
    image.Counts[slot] = static_cast<std::uint16_t>(tail.end);
}

}  // namespace

int ReadGroups(TMainClass& e) {
    const int r = e.Link.ReadTable(rows::Groups, e.Groups, groups::kSlots);
    if (r < 0) return r;
    // A short block decodes its missing bytes from zeros, never from an older block.
    for (int g = 0; g < groups::kSlots; ++g) ZeroPastCount(e.Groups, g);
    return 1;
}

int WriteGroups(TMainClass& e) {
    const int r = e.Link.WriteTable(rows::Groups, e.Groups, groups::kSlots);
    return r < 0 ? r : 1;
}

void DecodeGroups(TMainClass& e, TDataStream& d) {
    const TGates gates = GatesOf(e);
    for (int g = 0; g < groups::kSlots; ++g) DecodeGroup(TBlockView(e.Groups, g), e.Identity.Model, gates, d.Groups[g]);
}

void EncodeGroups(TMainClass& e, const TDataStream& d) {
    const TGates gates = GatesOf(e);
    for (int g = 0; g < groups::kSlots; ++g) EncodeGroup(e.Groups, g, e.Identity.Model, gates, d.Groups[g]);
    e.Changed[kTabGroups] = true;
}

void ClearGroups(TMainClass& e) { e.Groups.Clear(); }

namespace groups {

void CopyToFileImage(const TMainClass& e, TFileImage& image) { PutRecordList(image, e.Groups, kSlots); }

bool CopyFromFileImage(TMainClass& e, const TFileImage& image) { return TakeRecordList(image, e.Groups, kSlots); }

}  // namespace groups

}  // namespace stanset
