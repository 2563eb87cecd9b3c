// Built-in sample exchanges: a furnished office exchange of each model, generated from a
// few tables of records so that every table decodes into a sensible configuration.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bytes.h"
#include "exchange_state.h"

namespace sim {
namespace {

using stanset::SetBit;
using stanset::SplitWord;

// ---------------------------------------------------------------------------------------
// Firmware

struct Firmware {
    int major = 0;
    int minor = 0;
    std::uint8_t leading = 0;   // identification byte 7
    std::uint8_t nibbles = 0;   // identification byte 6
    bool AtLeast(int ma, int mi) const { return major * 100 + minor >= ma * 100 + mi; }
};

int ParseDecimal(std::string_view s) {
    if (s.empty() || s.size() > 4) return -1;
    int v = 0;
    for (char ch : s) {
        if (ch < '0' || ch > '9') return -1;
        v = v * 10 + (ch - '0');
    }
    return v;
}

// "24,7": byte 7 holds all but the last digit of the major number, byte 6 that digit and
// the minor number as two nibbles, so the minor number must fit a nibble.
Firmware ParseFirmware(const std::string& text) {
    const auto sep = text.find_first_of(",.");
    const std::string_view t(text);
    const int major = sep == std::string::npos ? -1 : ParseDecimal(t.substr(0, sep));
    const std::string_view minorText = sep == std::string::npos ? "" : t.substr(sep + 1);
    const int minor = minorText.size() > 2 ? -1 : ParseDecimal(minorText);
    if (major < 10 || major / 10 > 255 || minor < 0 || minor > 15)
        throw std::invalid_argument("firmware version not of the form NN,n: " + text);
    Firmware fw;
    fw.major = major;
    fw.minor = minor;
    fw.leading = static_cast<std::uint8_t>(major / 10);
    fw.nibbles = static_cast<std::uint8_t>((major % 10) << 4 | minor);
    return fw;
}

// ---------------------------------------------------------------------------------------
// Numbering plans and packed digits

enum class Family { Kvt, Rd };

int LineNumber(Family f, int i) { return f == Family::Kvt ? 200 + i : 200 + 10 * (i / 8) + i % 8; }
int TrunkNumber(Family f, int t) { return f == Family::Kvt ? 200 + 2 * t : 200 + 10 * (t / 2) + 2 * (t % 2); }
int PhoneNumber(Family f, int k) {
    return f == Family::Kvt ? 204 + 10 * (k / 3) + 2 * (k % 3) : 200 + 10 * (k / 4) + 2 * (k % 4);
}

// The 1-based line number the tables store for a directory number.
std::uint8_t LineNo(Family f, int n) {
    const int d = n - 200;
    return static_cast<std::uint8_t>(f == Family::Kvt ? d + 1 : 8 * (d / 10) + d % 10 + 1);
}

std::uint8_t PhoneIndex(Family f, int n) {
    const int d = n - 200;
    return static_cast<std::uint8_t>(f == Family::Kvt ? (d - 4 * (d / 10) - 4) / 2 : (d % 10) / 2 + 4 * (d / 10));
}

std::uint8_t Nibble(char ch) {
    switch (ch) {
    case '0': return 0xA;
    case '*': return 0xB;
    case '#': return 0xC;
    case 'P': return 0xD;
    case 'A': return 0xE;
    case 'T': return 0xF;
    default:
        if (ch >= '1' && ch <= '9') return static_cast<std::uint8_t>(ch - '0');
        throw std::logic_error(std::string("not a dialling character: ") + ch);
    }
}

// Two characters a byte, first in the high nibble; an odd length ends in a filler nibble.
Bytes Pack(std::string_view text) {
    Bytes out;
    for (std::size_t k = 0; k < text.size(); k += 2) {
        const std::uint8_t lo = k + 1 < text.size() ? Nibble(text[k + 1]) : 0;
        out.push_back(static_cast<std::uint8_t>(Nibble(text[k]) << 4 | lo));
    }
    return out;
}

// A phone-book entry: its packed bytes, closed by a 0 byte unless it fills its room.
void AppendBookEntry(Bytes& block, std::string_view number, std::size_t room) {
    const Bytes packed = Pack(number);
    block.insert(block.end(), packed.begin(), packed.end());
    if (packed.size() < room) block.push_back(0);
}

void PutWord(Bytes& b, std::size_t at, std::uint16_t w) { SplitWord(w, b[at], b[at + 1]); }

void SetBitAt(Bytes& b, std::size_t byte, int bit) { SetBit(b.at(byte), bit); }

constexpr std::uint32_t Triggers(std::initializer_list<int> ts) {
    std::uint32_t m = 0;
    for (int t : ts) m |= 1u << t;
    return m;
}

bool Has(std::uint32_t mask, int t) { return (mask >> t) & 1u; }

int DaysSince1980(int y, int m, int d) {
    static constexpr int kMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int days = 0;
    for (int yy = 1980; yy < y; ++yy) days += yy % 4 == 0 ? 366 : 365;
    for (int mm = 1; mm < m; ++mm) days += kMonth[mm - 1] + (mm == 2 && y % 4 == 0 ? 1 : 0);
    return days + d - 1;
}

// ---------------------------------------------------------------------------------------
// Boards and ports

enum class Port { None, Line, Trunk, Phone, Door };

// Port layouts by position: L line, T trunk, S system phone, D intercom port, - empty.
// nullptr: the code names no board on this model.
const char* BoardLayout(Family f, bool kvt250, std::size_t slot, std::uint8_t code) {
    if (f == Family::Kvt) {
        switch (code) {
        case 1: return "TLTLTLTLTL";    // LB71
        case 2: return "LLLLLLLLLL";    // TT14
        case 3: return "TLTLTLLLLL";    // LB43
        case 4: case 10: return "LLLLLLSDSD";   // TQ86
        case 11: return "TLTLSDSDSD";   // LBQ619
        case 7: return kvt250 ? "" : nullptr;   // second unit: an entry without ports
        case 255: return kvt250 && (slot == 6 || slot == 7 || slot == 14) ? nullptr : "----------";
        default: return nullptr;
        }
    }
    switch (code) {
    case 1: case 9: return "TLTLLLLL";      // LB28
    case 2: case 10: return "TLLLLLLL";     // LB19
    case 3: case 11: return "LLLLLLLL";     // TT09
    case 7: case 15: return "SDSDSDSD";     // TQ05
    case 255: return "--------";
    default: return nullptr;
    }
}

struct BoardFirmware {
    std::uint8_t code, major, minor;
    int year, month, day;
};

constexpr BoardFirmware kBoardFirmware[] = {
    {1, 3, 12, 2021, 3, 15}, {2, 2, 4, 2019, 11, 2}, {3, 3, 5, 2020, 6, 24},
    {4, 1, 9, 2018, 9, 10},  {7, 2, 7, 2021, 8, 30},
    {9, 3, 12, 2021, 3, 15}, {10, 1, 11, 2020, 2, 5}, {11, 4, 2, 2022, 10, 12},
    {15, 2, 7, 2021, 8, 30},
};

// ---------------------------------------------------------------------------------------
// The samples

struct Billing {
    std::uint16_t capacity, head, tail;   // records held = head - tail (mod 65536)
};

struct Model {
    std::string_view name;
    std::uint8_t deviceCode;
    Family family;
    std::uint8_t lines, trunks, intercoms, directions, loudspeakers, phones;
    std::uint8_t timeUnitByte;
    std::uint16_t serial;
    std::string_view exchangeName;                  // Windows-1251
    std::vector<std::uint8_t> boardList;
    Billing billing;
    std::uint8_t systemFlags;
    int dayStart, nightStart;                       // seconds after midnight
    std::vector<int> intercomPorts;                 // line each intercom is attached to
    std::vector<int> loudspeakerPorts;              // line each channel is attached to
    std::vector<std::pair<int, int>> redirects;     // line -> line it is redirected to
    std::vector<std::pair<int, int>> consoles;      // console key table -> phone it serves
    std::uint8_t conferences, conferenceMembers;    // 0 on RD: no quick conferences
};

const std::vector<Model>& Models() {
    static const std::vector<Model> kModels = {
        {"KVT700-1", 6, Family::Kvt, 150, 75, 4, 50, 6, 45, 6, 1742,
         "\xCE\xF4\xE8\xF1 \xC2\xE5\xEB\xE5\xF2\xEE\xED",     // Офис Велетон
         {1, 1, 3, 11, 2, 2, 10, 4, 2, 3, 10, 2, 11, 2, 255},
         {10000, 5412, 5075}, 0x26, 8 * 3600, 20 * 3600,
         {248, 249, 318, 319}, {257, 258, 259, 337, 338, 339},
         {{203, 201}, {241, 240}, {251, 201}, {263, 262}, {311, 234}},
         {{236, 234}, {326, 324}}, 10, 60},
        // Slots 6, 7 and 14 of a KVT250 are not board slots; 16 is the control board.
        {"KVT250", 4, Family::Kvt, 120, 60, 4, 50, 6, 36, 6, 873,
         "\xD1\xEA\xEB\xE0\xE4 \xB9" "2",                      // Склад №2
         {1, 3, 11, 2, 10, 2, 255, 255, 4, 1, 2, 11, 2, 2, 255, 255, 6},
         {5000, 128, 0}, 0x07, 7 * 3600 + 30 * 60, 19 * 3600,
         {238, 239, 308, 309}, {257, 258, 259, 317, 318, 319},
         {{203, 201}, {231, 230}, {251, 201}, {283, 282}},
         {{226, 224}}, 10, 30},
        {"RD32", 8, Family::Rd, 80, 20, 2, 50, 2, 40, 6, 3310,
         "\xCC\xE0\xE3\xE0\xE7\xE8\xED",                       // Магазин
         {1, 9, 2, 10, 3, 3, 7, 15, 3, 255},
         {2000, 1090, 1026}, 0x85, 9 * 3600, 21 * 3600,
         {256, 257}, {286, 287},
         {{203, 201}, {241, 240}, {285, 262}},
         {{262, 260}}, 0, 0},
        // Time unit byte 0: the exchange means 6 seconds.
        {"RD16", 7, Family::Rd, 48, 12, 2, 20, 2, 24, 0, 215,
         "\xC4\xE0\xF7\xE0",                                   // Дача
         {1, 2, 3, 7, 11, 255},
         {1000, 40, 65500}, 0x04, 8 * 3600, 23 * 3600,
         {246, 247}, {226, 227},
         {{203, 201}, {241, 240}},
         {{232, 230}}, 0, 0},
    };
    return kModels;
}

struct Sample {
    Sample(const Model& model, Firmware firmware)
        : m(model), fw(firmware), kvt(model.family == Family::Kvt),
          linesFrom24_3(firmware.AtLeast(24, 3)), from24_4(firmware.AtLeast(24, 4)) {}

    const Model& m;
    Firmware fw;
    bool kvt;
    bool linesFrom24_3;             // also the wider trunk auto-dial alphabet
    bool from24_4;                  // longer line, group and time blocks; black and white books
    std::map<int, Port> ports;      // by directory number
    std::vector<int> linePorts, trunkPorts;     // ascending directory numbers
    std::vector<std::uint8_t> groupOfLine;   // by line index; 0xFF none
    std::size_t entries = 0;

    Port KindAt(int n) const {
        const auto it = ports.find(n);
        return it == ports.end() ? Port::None : it->second;
    }
    std::uint8_t No(int n) const { return LineNo(m.family, n); }
    int TimeUnit() const { return m.timeUnitByte ? m.timeUnitByte : 6; }

    // Fixed data names ports by number; a wrong one is a mistake in the tables above.
    int Require(int n, std::initializer_list<Port> kinds) const {
        for (Port k : kinds)
            if (KindAt(n) == k) return n;
        throw std::logic_error("sample refers to a port of the wrong kind: " + std::to_string(n));
    }
};

void BuildPorts(Sample& s) {
    const bool kvt250 = s.m.name == "KVT250";
    for (std::size_t slot = 0; slot < s.m.boardList.size(); ++slot) {
        const char* layout = BoardLayout(s.m.family, kvt250, slot, s.m.boardList[slot]);
        if (!layout) continue;
        const int base = 200 + 10 * static_cast<int>(s.entries++);
        for (int p = 0; layout[p]; ++p) {
            const int n = base + p;
            switch (layout[p]) {
            case 'L': s.ports[n] = Port::Line; s.linePorts.push_back(n); break;
            case 'T': s.ports[n] = Port::Trunk; s.trunkPorts.push_back(n); break;
            case 'S': s.ports[n] = Port::Phone; break;
            case 'D': s.ports[n] = Port::Door; break;
            default: break;
            }
        }
    }
}

// ---------------------------------------------------------------------------------------
// Identification, billing, composition

Bytes MakeIdent(const Sample& s) {
    const Model& m = s.m;
    Bytes b(16, 0);
    PutWord(b, 0, static_cast<std::uint16_t>(DaysSince1980(2024, 5, 14)));
    PutWord(b, 2, static_cast<std::uint16_t>((10 * 3600 + 15 * 60) / s.TimeUnit()));
    b[4] = 0;   // one unit
    b[5] = m.deviceCode;
    b[6] = s.fw.nibbles;
    b[7] = s.fw.leading;
    b[8] = m.trunks;
    b[9] = m.lines;
    b[13] = m.timeUnitByte;
    PutWord(b, 14, m.serial);
    for (char ch : m.exchangeName) b.push_back(static_cast<std::uint8_t>(ch));
    b.push_back(0);
    const std::uint8_t counts[20] = {m.intercoms, m.directions, m.loudspeakers, m.phones};
    for (std::uint8_t c : counts) b.push_back(c);
    return b;
}

Bytes MakeBilling(const Model& m) {
    Bytes b(6);
    PutWord(b, 0, m.billing.capacity);
    PutWord(b, 2, m.billing.head);
    PutWord(b, 4, m.billing.tail);
    return b;
}

// Boards answer with code, version, firmware date and factory number; an empty slot or one
// that names no board answers with its code alone, so no details land on another entry.
std::vector<Bytes> MakeBoards(const Sample& s) {
    const bool kvt250 = s.m.name == "KVT250";
    std::vector<Bytes> records;
    for (std::size_t slot = 0; slot < s.m.boardList.size(); ++slot) {
        const std::uint8_t code = s.m.boardList[slot];
        const char* layout = BoardLayout(s.m.family, kvt250, slot, code);
        const BoardFirmware* bf = nullptr;
        for (const auto& f : kBoardFirmware)
            if (f.code == code) bf = &f;
        if (code == 255 || !layout || !bf) {
            records.push_back({code});
            continue;
        }
        Bytes r(7, 0);
        r[0] = code;
        r[1] = bf->minor;
        r[2] = bf->major;
        PutWord(r, 3, static_cast<std::uint16_t>(DaysSince1980(bf->year, bf->month, bf->day)));
        PutWord(r, 5, static_cast<std::uint16_t>(s.m.serial * 3 + 101 * slot + code));
        records.push_back(r);
    }
    return records;
}

// ---------------------------------------------------------------------------------------
// Time settings and system-wide settings

// Per parameter T10..T35: step in quarter seconds (bits 0-11), default in steps (12-15).
constexpr std::uint16_t kTimeDefaults[26] = {
    0x4014, 0x1014, 0x2028, 0x5004, 0x2028, 0x6028, 0x5004, 0x2028, 0x4001, 0x8001,
    0x4028, 0x3028, 0x3028, 0x3028, 0x2014, 0x5030, 0x3050, 0xA4B0, 0x1014, 0x44B0,
    0x3008, 0x4004, 0x10F0, 0x4001, 0x3028, 0x6002};

// Current values in eighths of a second: the defaults, with the tuning an office gets.
std::uint16_t TimeValue(int k) {
    const std::uint16_t w = kTimeDefaults[k];
    const int quarterSteps = w & 0x0FFF;
    int steps = w >> 12;
    switch (k + 10) {
    case 12: steps = 3; break;    // 30 s for the first digit
    case 14: steps = 3; break;
    case 24: steps = 3; break;    // direction rows switch every 15 s
    case 27: steps = 6; break;    // trunk calls cut after 30 min
    case 28: steps = 2; break;
    case 31: steps = 6; break;    // door lock held 6 s
    default: break;
    }
    return static_cast<std::uint16_t>(steps * quarterSteps * 2);
}

std::size_t TimeBlockLength(const Sample& s) { return s.from24_4 ? 52 : s.kvt ? 50 : 48; }

Bytes MakeTimeDefaults(const Sample& s) {
    Bytes b(TimeBlockLength(s));
    for (std::size_t k = 0; 2 * k < b.size(); ++k) PutWord(b, 2 * k, kTimeDefaults[k]);
    return b;
}

Bytes MakeTimeSettings(const Sample& s) {
    Bytes b(TimeBlockLength(s));
    for (std::size_t k = 0; 2 * k < b.size(); ++k) PutWord(b, 2 * k, TimeValue(static_cast<int>(k)));
    return b;
}

Bytes MakeSystemWide(const Sample& s) {
    Bytes b(5);
    b[0] = s.m.systemFlags;
    PutWord(b, 1, static_cast<std::uint16_t>(s.m.dayStart / s.TimeUnit()));
    PutWord(b, 3, static_cast<std::uint16_t>(s.m.nightStart / s.TimeUnit()));
    return b;
}

// ---------------------------------------------------------------------------------------
// Subscriber lines

// Trigger numbers of the line and group records.
enum Trigger {
    kNoSecondCall = 0, kDtmf = 1, kNoCallSignal = 2, kDoor1 = 3, kDoor2 = 4, kDoor3 = 5,
    kDoor4 = 6, kNoRedirect = 7, kDoNotDisturb = 8, kNoLoudspeaker = 9, kNoCallOrder = 10,
    kNoIntercept = 11, kAllLoudspeakers = 12, kNoTrunks = 13, kNoLongDistance = 14,
    kNoInternational = 15, kNoAutoRedial = 16, kFaxMode = 17, kRussianDisplay = 18,
    kWhite1 = 19, kWhite2 = 20, kWhite3 = 21, kWhite4 = 22, kWhite5 = 23, kBlackBook = 24,
};

struct LineProfile {
    std::uint32_t on;                 // triggers whose own value is 1
    std::uint32_t own;                // triggers the line sets itself instead of its group
    std::uint8_t priority;
    std::string_view directCall;
    std::array<int, 3> closedTrunks;  // trunk indexes, -1 unused
    bool inGroup;
};

constexpr LineProfile kFollowsGroup = {0, 0, 0, "", {-1, -1, -1}, true};
constexpr LineProfile kManager = {
    Triggers({kDtmf, kDoor1, kDoor2, kDoor3, kDoor4, kDoNotDisturb, kAllLoudspeakers, kRussianDisplay}),
    Triggers({kDtmf, kDoor1, kDoor2, kDoor3, kDoor4, kDoNotDisturb, kAllLoudspeakers, kNoTrunks,
              kNoLongDistance, kNoInternational, kRussianDisplay}),
    9, "", {-1, -1, -1}, true};
constexpr LineProfile kOffice = {
    Triggers({kDtmf, kNoInternational, kWhite1, kBlackBook}),
    Triggers({kDtmf, kNoLongDistance, kNoInternational, kWhite1, kBlackBook}),
    4, "", {0, 30, 70}, true};
constexpr LineProfile kSales = {
    Triggers({kDtmf, kDoNotDisturb, kNoInternational, kWhite2, kWhite3}),
    Triggers({kDtmf, kDoNotDisturb, kNoLongDistance, kNoInternational, kWhite2, kWhite3}),
    5, "1234", {1, 2, 40}, true};
constexpr LineProfile kWarehouse = {
    Triggers({kNoLongDistance, kNoInternational, kNoCallOrder, kWhite4}),
    Triggers({kNoLongDistance, kNoInternational, kNoCallOrder, kWhite4}),
    2, "00312", {-1, -1, -1}, true};
constexpr LineProfile kFax = {
    Triggers({kNoSecondCall, kNoCallSignal, kNoLoudspeaker, kFaxMode}),
    Triggers({kNoSecondCall, kNoCallSignal, kNoLoudspeaker, kFaxMode, kNoRedirect}),
    1, "", {-1, -1, -1}, true};
// A lobby phone: hot line to the reception, no way out.
constexpr LineProfile kLobby = {
    Triggers({kNoRedirect, kNoTrunks, kNoAutoRedial, kNoIntercept}),
    Triggers({kNoRedirect, kNoTrunks, kNoAutoRedial, kNoIntercept, kDtmf}),
    0, "201", {-1, -1, -1}, false};
// Reception desk with a hot line to an outside number.
constexpr LineProfile kReception = {
    Triggers({kDtmf, kDoor1, kDoor2, kAllLoudspeakers, kWhite5}),
    Triggers({kDtmf, kDoor1, kDoor2, kAllLoudspeakers, kWhite5}),
    7, "00245", {-1, -1, -1}, true};

constexpr const LineProfile* kLineRotation[] = {
    &kFollowsGroup, &kOffice, &kFollowsGroup, &kSales, &kOffice,
    &kFollowsGroup, &kWarehouse, &kReception, &kFax, &kLobby};

const LineProfile& ProfileOfLine(const Sample& s, int n) {
    if (s.KindAt(n) == Port::Phone) {
        const auto ord = static_cast<std::size_t>(PhoneIndex(s.m.family, n));
        return ord % 2 ? kOffice : kManager;
    }
    for (std::size_t o = 0; o < s.linePorts.size(); ++o)
        if (s.linePorts[o] == n) return o == 0 ? kManager : *kLineRotation[o % std::size(kLineRotation)];
    return kFollowsGroup;
}

// Line index -> group index; lines fill groups board by board.
void AssignGroups(Sample& s) {
    s.groupOfLine.assign(s.m.lines, 0xFF);
    for (int i = 0; i < s.m.lines; ++i) {
        const int n = LineNumber(s.m.family, i);
        const Port k = s.KindAt(n);
        if ((k == Port::Line || k == Port::Phone) && ProfileOfLine(s, n).inGroup)
            s.groupOfLine[i] = static_cast<std::uint8_t>(((n - 200) / 10) % 8);
    }
}

// Byte of the own value of a trigger; its own flag sits 11 bytes on (the white/black
// book triggers: the byte after).
int TriggerByte(const Sample& s, int t) {
    if (t <= 6 || t == kRussianDisplay) return 0;
    if (t <= 12) return 1;
    if (t <= 17) return 2;
    return s.kvt ? 31 : 17;
}
int TriggerBit(int t) {
    if (t <= 6) return t;
    if (t <= 12) return t - 7;
    if (t <= 17) return t - 13;
    if (t == kRussianDisplay) return 7;
    return t - 19;
}

// Closed-trunk bit of trunk t in a line block: {value byte, flag byte, bit}, or -1 when
// the block cannot carry that trunk.
struct TrunkBit { int value, flag, bit; };
TrunkBit LineTrunkBit(const Sample& s, int t) {
    if (t < 24) return {3 + t / 8, 14 + t / 8, t % 8};
    if (s.kvt && t < 64) return {17 + (t - 24) / 8, 22 + (t - 24) / 8, (t - 24) % 8};
    if (s.m.name == "KVT700-1" && t < 75) return {27 + (t - 64) / 8, 29 + (t - 64) / 8, (t - 64) % 8};
    return {-1, -1, 0};
}

void PutDirectCall(Bytes& b, std::string_view number) {
    if (number.size() == 5) {
        b[9] = number[2] == '2' ? 0xAB : 0xAC;
        b[8] = Pack(number.substr(3))[0];
    } else if (!number.empty()) {
        const Bytes p = Pack(number);
        b[9] = p[0];
        b[8] = p.size() > 1 ? p[1] : 0;
    }
}

Bytes MakeLine(const Sample& s, int i) {
    const std::size_t length = s.kvt ? (s.from24_4 ? 33 : 31) : (s.from24_4 ? 19 : 17);
    Bytes b(length, 0);
    const int n = LineNumber(s.m.family, i);
    b[10] = s.groupOfLine[i];
    const Port kind = s.KindAt(n);
    if (kind != Port::Line && kind != Port::Phone) return b;   // no telephone on this position

    const LineProfile& p = ProfileOfLine(s, n);
    const int lastTrigger = s.from24_4 ? kBlackBook : kRussianDisplay;
    for (int t = 0; t <= lastTrigger; ++t) {
        const int at = TriggerByte(s, t);
        if (Has(p.on, t)) SetBitAt(b, at, TriggerBit(t));
        if (Has(p.own, t)) SetBitAt(b, t >= kWhite1 ? at + 1 : at + 11, TriggerBit(t));
    }
    for (int t : p.closedTrunks) {
        if (t < 0 || t >= s.m.trunks) continue;
        const TrunkBit tb = LineTrunkBit(s, t);
        if (tb.value < 0) continue;
        SetBitAt(b, tb.value, tb.bit);
        SetBitAt(b, tb.flag, tb.bit);
    }
    b[6] = p.priority;
    b[7] = s.m.loudspeakers ? static_cast<std::uint8_t>(i % s.m.loudspeakers) : 0;
    PutDirectCall(b, p.directCall);
    return b;
}

// ---------------------------------------------------------------------------------------
// Groups

struct GroupProfile {
    std::uint32_t on;
    std::uint8_t priority;
    std::string_view directCall;
    std::uint8_t dayTable, nightTable;
    std::array<int, 2> intercept;     // group numbers, 0 unused
    std::array<int, 3> closedTrunks;  // trunk indexes, -1 unused
};

constexpr GroupProfile kGroupProfiles[8] = {
    {Triggers({kDtmf, kNoLongDistance, kNoInternational, kWhite1}), 3, "", 1, 2, {11, 0}, {0, -1, -1}},
    {Triggers({kDtmf, kDoNotDisturb, kNoInternational, kWhite2, kWhite3}), 5, "", 2, 2, {10, 12}, {-1, -1, -1}},
    {Triggers({kDtmf, kDoor1, kDoor2, kDoNotDisturb, kAllLoudspeakers, kRussianDisplay}), 8, "", 0, 0, {0, 0}, {-1, -1, -1}},
    {Triggers({kNoLongDistance, kNoInternational, kNoAutoRedial}), 1, "201", 4, 0, {12, 0}, {-1, -1, -1}},
    {Triggers({kNoSecondCall, kNoLoudspeaker, kBlackBook}), 2, "1234", 5, 6, {13, 0}, {1, 30, 66}},
    {Triggers({kDtmf, kDoor1, kDoor2, kDoor3, kDoor4}), 6, "", 3, 3, {0, 0}, {2, -1, -1}},
    {Triggers({kDtmf, kDoor1, kDoNotDisturb, kAllLoudspeakers}), 7, "", 1, 1, {10, 11}, {-1, -1, -1}},
    {Triggers({kNoTrunks, kNoAutoRedial}), 0, "205", 0, 0, {0, 0}, {-1, -1, -1}},
};

void PutGroupTrunk(Bytes& b, std::size_t base, int t, int first) {
    SetBitAt(b, base + (t - first) / 8, (t - first) % 8);
}

Bytes MakeGroup(const Sample& s, int g) {
    std::vector<std::uint8_t> members;
    for (int i = 0; i < s.m.lines; ++i)
        if (s.groupOfLine[i] == g) members.push_back(s.No(LineNumber(s.m.family, i)));

    Bytes b(10, 0);
    const GroupProfile* p = members.empty() ? nullptr : &kGroupProfiles[g % 8];
    std::vector<int> closed;
    if (p) {
        for (int t = 0; t <= kRussianDisplay; ++t)
            if (Has(p->on, t)) SetBitAt(b, TriggerByte(s, t), TriggerBit(t));
        for (int t : p->closedTrunks)
            if (t >= 0 && t < s.m.trunks) closed.push_back(t);
        for (int t : closed)
            if (t < 24) PutGroupTrunk(b, 3, t, 0);
        b[6] = p->priority;
        b[7] = s.m.loudspeakers ? static_cast<std::uint8_t>(g % s.m.loudspeakers) : 0;
        PutDirectCall(b, p->directCall);
    }
    // Group call: the first members, up to five; a shorter list ends with 0.
    const std::size_t calls = std::min<std::size_t>(members.size(), 5);
    b.insert(b.end(), members.begin(), members.begin() + calls);
    if (calls < 5) b.push_back(0);
    if (p)
        for (int other : p->intercept)
            if (other >= 10 && other != g + 10) b.push_back(static_cast<std::uint8_t>(other - 9));
    b.push_back(0);   // at most two intercepts, so the list always ends with 0
    if (s.kvt) {
        const std::size_t q = b.size();
        b.resize(q + 5, 0);
        for (int t : closed)
            if (t >= 24 && t < 64) PutGroupTrunk(b, q, t, 24);
    }
    b.push_back(p ? p->dayTable : 0);
    b.push_back(p ? p->nightTable : 0);
    if (s.kvt) {
        const std::size_t q = b.size();
        b.resize(q + 2, 0);
        for (int t : closed)
            if (t >= 64 && t < 80) PutGroupTrunk(b, q, t, 64);
    }
    if (s.from24_4) {
        std::uint8_t books = 0;
        if (p)
            for (int t = kWhite1; t <= kBlackBook; ++t)
                if (Has(p->on, t)) SetBit(books, t - kWhite1);
        b.push_back(books);
    }
    return b;
}

// ---------------------------------------------------------------------------------------
// Trunks

enum : std::uint8_t {   // byte 0
    kDir01 = 1 << 0, kDir02 = 1 << 1, kDir03 = 1 << 2, kDir04 = 1 << 3, kDir05 = 1 << 4,
    kOutgoingBarred = 1 << 6, kDir9 = 1 << 7,
};
enum : std::uint8_t {   // byte 1
    kAutoRelease = 1 << 0, kFaxLine = 1 << 1, kBillIncoming = 1 << 2, kToneDial = 1 << 3,
    kReplaceSignal = 1 << 4, kReleaseIncoming = 1 << 5, kDisa = 1 << 6, kNoLocalBilling = 1 << 7,
};
enum : std::uint8_t {   // byte 10
    kDisaStaysOnRelease = 1 << 0, kDisaSignal = 1 << 1, kNoPauseAfter8 = 1 << 2,
};

struct TrunkProfile {
    std::uint8_t flags0, flags1, flags10;
    std::uint8_t dayTable, nightTable;
    std::uint8_t longDistanceDigit;     // 0-9
    std::uint8_t type;                  // 1-4
    std::string_view autoDial;          // firmware 24,3 on: also * # P A T
    std::string_view autoDialDigits;    // older firmware: digits only
};

constexpr TrunkProfile kCityLine = {kDir01 | kDir9, kBillIncoming | kToneDial, 0, 1, 2, 8, 1, "", ""};
constexpr TrunkProfile kDisaLine = {kDir01, kToneDial | kDisa | kReleaseIncoming, kDisaSignal, 3, 3, 8, 1, "", ""};
constexpr TrunkProfile kLongDistance = {kDir02 | kDir9, kNoLocalBilling | kToneDial, kNoPauseAfter8 | kDisaStaysOnRelease,
                                        1, 2, 0, 2, "8P495", "8495"};
constexpr TrunkProfile kFaxTrunk = {kDir05, kFaxLine | kAutoRelease, 0, 0, 0, 8, 1, "", ""};
constexpr TrunkProfile kTieLine = {kDir03 | kDir04, kReplaceSignal | kToneDial, 0, 4, 4, 9, 3, "T*21#", "21"};
constexpr TrunkProfile kIncomingOnly = {kOutgoingBarred, kBillIncoming, 0, 5, 6, 8, 4, "", ""};

constexpr const TrunkProfile* kTrunkRotation[] = {
    &kCityLine, &kLongDistance, &kLongDistance, &kDisaLine, &kCityLine, &kFaxTrunk, &kTieLine, &kIncomingOnly};

Bytes MakeTrunk(const Sample& s, int t) {
    Bytes b(12, 0);
    b[4] = 8;
    const int n = TrunkNumber(s.m.family, t);
    std::size_t ord = 0;
    while (ord < s.trunkPorts.size() && s.trunkPorts[ord] != n) ++ord;
    if (ord == s.trunkPorts.size()) return b;   // no trunk wired to this position

    const TrunkProfile& p = *kTrunkRotation[ord % std::size(kTrunkRotation)];
    b[0] = p.flags0;
    b[1] = p.flags1;
    b[2] = p.dayTable;
    b[3] = p.nightTable;
    b[4] = p.longDistanceDigit ? p.longDistanceDigit : 10;
    b[5] = static_cast<std::uint8_t>(p.type - 1);
    const Bytes dial = Pack(s.linesFrom24_3 ? p.autoDial : p.autoDialDigits);
    std::copy(dial.begin(), dial.end(), b.begin() + 6);
    b[10] = s.from24_4 ? p.flags10 : static_cast<std::uint8_t>(p.flags10 & ~kNoPauseAfter8);
    // The second and third trunks work as a blocked pair.
    if (s.trunkPorts.size() > 2 && (ord == 1 || ord == 2)) {
        const int partner = s.trunkPorts[ord == 1 ? 2 : 1];
        for (int u = 0; u < s.m.trunks; ++u)
            if (TrunkNumber(s.m.family, u) == partner) b[11] = static_cast<std::uint8_t>(u + 1);
    }
    return b;
}

// ---------------------------------------------------------------------------------------
// Intercoms, loudspeaker channels, direction tables, redirects, program numbers

struct IntercomProfile {
    std::uint8_t flags;     // bit 0 every line opens, bit 1 release refused calls, bit 2 DTMF opens
    std::uint8_t dayTable, nightTable;
    std::string_view code;
};

constexpr IntercomProfile kIntercoms[] = {
    {0x05, 3, 4, "1203"}, {0x02, 3, 0, "10"}, {0x07, 5, 6, "123456"}, {0x00, 0, 0, ""}};

Bytes MakeIntercom(const Sample& s, std::size_t i) {
    const IntercomProfile& p = kIntercoms[i % std::size(kIntercoms)];
    Bytes b = {p.flags, p.dayTable, p.nightTable, s.No(s.Require(s.m.intercomPorts[i], {Port::Line}))};
    const Bytes code = Pack(p.code);
    b.insert(b.end(), code.begin(), code.end());
    return b;
}

Bytes MakeLoudspeaker(const Sample& s, std::size_t i) {
    return {s.No(s.Require(s.m.loudspeakerPorts[i], {Port::Line})), static_cast<std::uint8_t>(i % 3 == 2)};
}

// Rows of a direction table as ordinals into the sample's line ports (ascending, so rows
// come out sorted); -1 marks the end of a row.
using DirectionRows = std::array<std::array<int, 5>, 4>;
constexpr int X = -1;
constexpr DirectionRows kDirectionTables[] = {
    {{{0, 1, X, X, X}, {2, 3, 4, X, X}, {X, X, X, X, X}, {X, X, X, X, X}}},
    {{{0, X, X, X, X}, {1, X, X, X, X}, {5, 6, 7, 8, 9}, {X, X, X, X, X}}},
    {{{3, 4, 5, 6, 7}, {8, 9, 10, 11, 12}, {0, X, X, X, X}, {X, X, X, X, X}}},
    {{{10, X, X, X, X}, {X, X, X, X, X}, {X, X, X, X, X}, {X, X, X, X, X}}},
    {{{12, 13, X, X, X}, {14, X, X, X, X}, {15, X, X, X, X}, {0, 1, X, X, X}}},
    {{{20, 21, 22, X, X}, {23, X, X, X, X}, {X, X, X, X, X}, {X, X, X, X, X}}},
    {{{1, 3, X, X, X}, {X, X, X, X, X}, {X, X, X, X, X}, {X, X, X, X, X}}},
    {{{16, 17, 18, 19, X}, {24, 25, X, X, X}, {26, X, X, X, X}, {27, 28, X, X, X}}},
};

Bytes MakeDirectionTable(const Sample& s, std::size_t i) {
    Bytes b;
    if (i >= std::size(kDirectionTables)) return Bytes(4, 0);   // four empty rows
    for (const auto& row : kDirectionTables[i]) {
        std::size_t filled = 0;
        for (int ord : row) {
            if (ord < 0) break;
            b.push_back(s.No(s.linePorts.at(static_cast<std::size_t>(ord))));
            ++filled;
        }
        if (filled < 5) b.push_back(0);
    }
    return b;
}

Bytes MakeRedirects(const Sample& s) {
    Bytes b(s.m.lines);
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i);
    for (const auto& [from, to] : s.m.redirects) {
        const std::uint8_t target = s.No(s.Require(to, {Port::Line, Port::Phone}));
        b.at(s.No(s.Require(from, {Port::Line, Port::Phone})) - 1u) = static_cast<std::uint8_t>(target - 1);
    }
    return b;
}

// Program numbers begin with 1; a few short ones for the front office, the rest 15xx/16xx.
std::string ProgramNumberOf(const Sample& s, int n) {
    static constexpr std::string_view kShort[] = {"10", "11", "123", "1034", "15"};
    for (std::size_t o = 0; o < s.linePorts.size(); ++o) {
        if (s.linePorts[o] != n) continue;
        if (o < std::size(kShort)) return std::string(kShort[o]);
        return o % 3 == 1 ? "" : "1" + std::to_string(n - 200 + 500);
    }
    if (s.KindAt(n) == Port::Phone) return "1" + std::to_string(n - 200 + 500);
    return "";
}

void AppendProgramNumber(Bytes& b, const std::string& pn) {
    std::uint8_t b0 = 0, b1 = 0;
    const std::string_view rest = pn.empty() ? "" : std::string_view(pn).substr(1);
    if (rest.size() == 1) b0 = Nibble(rest[0]);
    if (rest.size() == 2) b0 = static_cast<std::uint8_t>(Nibble(rest[0]) << 4 | Nibble(rest[1]));
    if (rest.size() == 3) {
        b0 = static_cast<std::uint8_t>(Nibble(rest[1]) << 4 | Nibble(rest[2]));
        b1 = Nibble(rest[0]);
    }
    b.push_back(b0);
    b.push_back(b1);
}

Bytes MakeProgramNumbers(const Sample& s, int first, int count) {
    Bytes b;
    for (int i = first; i < first + count; ++i) AppendProgramNumber(b, ProgramNumberOf(s, LineNumber(s.m.family, i)));
    return b;
}

// Opaque to the configurator; a stable pattern is all it needs to carry.
Bytes MakeFlash(const Sample& s) {
    Bytes b(64);
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<std::uint8_t>(0x5A ^ (i * 37 + s.m.deviceCode));
    b[0] = s.m.deviceCode;
    b[1] = s.fw.leading;
    b[2] = s.fw.nibbles;
    return b;
}

// ---------------------------------------------------------------------------------------
// Phone books

constexpr std::string_view kCommonBook[30] = {
    "84951234567", "84957654321", "89161112233", "", "112",
    "8P4959998877", "*21#", "", "810442071234567", "8107495123456789",
    "4991002030", "", "88002000600", "T84956660011", "",
    "101", "102", "103", "104", "",
    "A5551234", "", "", "84991230000", "#31#",
    "", "89035550101", "", "", "8800"};

constexpr std::string_view kGroupBookNumbers[] = {
    "84950001111", "84950002222", "89260003333", "*70#",
    "8P4950004444", "5551234", "84957770000", "89998887766"};

Bytes MakeCommonBookBlock(std::size_t block) {
    Bytes b;
    for (std::size_t e = 10 * block; e < 10 * block + 10; ++e) AppendBookEntry(b, kCommonBook[e], 8);
    return b;
}

// Books of the first eight groups hold a few numbers each; the rest are empty.
std::string_view GroupBookEntry(int g, int e) {
    if (g >= 8) return "";
    if (e < g % 4 + 2) return kGroupBookNumbers[(g + e) % 8];
    if (g % 2 == 0 && e == 10 + g) return kGroupBookNumbers[g];
    return "";
}

Bytes MakeGroupBookBlock(int g, int half) {
    Bytes b;
    for (int e = 10 * half; e < 10 * half + 10; ++e) AppendBookEntry(b, GroupBookEntry(g, e), 8);
    return b;
}

// Five white sections and the black book, up to ten numbers each.
const std::vector<std::vector<std::string_view>>& BlackAndWhite() {
    static const std::vector<std::vector<std::string_view>> kSections = {
        {"112", "101", "102", "103", "104"},
        {"8800", "8804"},
        {"495", "499", "8495", "8499"},
        {"84951234", "84957654"},
        {},
        {"8809", "810", "8803", "*#06#"},
    };
    return kSections;
}

Bytes MakeBlackAndWhite() {
    Bytes b;
    for (const auto& section : BlackAndWhite())
        for (std::size_t j = 0; j < 10; ++j) AppendBookEntry(b, j < section.size() ? section[j] : "", 4);
    return b;
}

// ---------------------------------------------------------------------------------------
// System-phone keys

// Value and kind byte of a key as the phones code their texts.
std::pair<std::uint8_t, std::uint8_t> KeyCode(std::string_view t) {
    const auto d = [&](std::size_t k) { return t.at(k - 1) - '0'; };
    const auto nib = [&](std::size_t k) { return d(k) == 0 ? 0xA : d(k); };
    const auto pair = [&](int hi, int lo) { return static_cast<std::uint8_t>(hi * 16 + lo); };
    const std::size_t len = t.size();
    if (len == 5 && t.starts_with("Conf")) return {static_cast<std::uint8_t>(nib(5)), 0x8F};
    if (t.starts_with("SL")) {
        if (len == 4 && (t[3] == '0' || t[3] == '2')) return {pair(nib(3), nib(4)), 0xAA};
        if (len == 5 && t[2] == '2') return {pair(nib(4), nib(5)), 0xAB};
        if (len == 5 && t[2] == '3') return {pair(nib(4), nib(5)), 0xAC};
    }
    switch (len ? t[0] : ' ') {
    case '0':
        if (len == 2) return {static_cast<std::uint8_t>(0xA0 + d(2)), 0x00};
        if (len == 3) return {pair(nib(2), nib(3)), 0x0A};
        break;
    case '1':
        if (len == 2) return {static_cast<std::uint8_t>(0x10 + d(2)), 0x00};
        if (len == 3) return {pair(nib(2), nib(3)), 0x01};
        if (len == 4) return {pair(nib(3), nib(4)), static_cast<std::uint8_t>(0x10 + nib(2))};
        break;
    case '2': if (len == 3) return {pair(nib(2), nib(3)), 0x02}; break;
    case '3': if (len == 3) return {pair(nib(2), nib(3)), 0x03}; break;
    case '5':
        if (len == 2) return {0x55, 0x00};
        if (len == 3) return {pair(nib(2), nib(3)), 0x05};
        break;
    case '7': if (len == 3) return {pair(d(2), nib(3)), 0x07}; break;
    case '9': if (len == 1) return {9, 0x00}; break;
    default: break;
    }
    throw std::logic_error("no key code for " + std::string(t));
}

using KeyLayout = std::vector<std::string_view>;

const KeyLayout kKvtSecretary = {
    "201", "203", "205", "207", "209", "221", "241", "243", "SL200", "SL202", "SL204", "SL220",
    "Conf1", "Conf2", "55", "541", "710", "711", "01", "02", "9", "070", "071", "1034"};
const KeyLayout kKvtManager = {
    "201", "241", "SL200", "SL202", "Conf1", "55", "710", "01", "9", "070", "123", "315"};
const KeyLayout kRdSecretary = {
    "201", "203", "205", "211", "221", "SL00", "SL02", "SL10", "55", "541", "710", "01", "9", "070", "1034"};
const KeyLayout kRdManager = {"201", "241", "SL00", "55", "710", "01", "9", "123"};

Bytes MakeKeyTable(const Sample& s, int k) {
    Bytes b(96, 0);
    const int n = PhoneNumber(s.m.family, k);
    if (s.KindAt(n) != Port::Phone) return b;   // no phone here: every key empty

    std::vector<std::string> keys;
    int servedPhone = -1;
    for (const auto& [console, phone] : s.m.consoles)
        if (console == n) servedPhone = s.Require(phone, {Port::Phone});
    const KeyLayout& secretary = s.kvt ? kKvtSecretary : kRdSecretary;
    const KeyLayout& manager = s.kvt ? kKvtManager : kRdManager;
    if (servedPhone >= 0) {
        // A console: the secretary's keys, then a key for each line up to all 48.
        keys.assign(secretary.begin(), secretary.end());
        for (std::size_t o = 0; keys.size() < 48 && o < s.linePorts.size(); ++o)
            keys.push_back(std::to_string(s.linePorts[o]));
    } else {
        const KeyLayout& l = k % 2 ? manager : secretary;
        keys.assign(l.begin(), l.end());
    }
    for (std::size_t key = 0; key < keys.size() && key < 48; ++key) {
        const auto [value, kind] = KeyCode(keys[key]);
        b[2 * key] = value;
        b[2 * key + 1] = kind;
    }
    if (servedPhone >= 0) b.push_back(static_cast<std::uint8_t>(PhoneIndex(s.m.family, servedPhone) + 1));
    return b;
}

// ---------------------------------------------------------------------------------------
// Conferences

Bytes MakeConferenceParams(const Model& m) {
    return {m.conferences, m.conferenceMembers, 1, 200, 0};
}

std::vector<ConferenceSlot> MakeConferences(const Sample& s) {
    std::vector<ConferenceSlot> slots(60);
    const std::size_t present = s.m.name == "KVT700-1" ? s.m.conferences : s.m.conferences * 3u / 5;
    for (std::size_t r = 0; r < present && r < slots.size(); ++r) {
        ConferenceSlot& c = slots[r];
        const std::size_t members = 2 + (r * 3) % 7;
        for (std::size_t j = 0; j < members; ++j)
            c.payload.push_back(s.No(s.linePorts.at((r * 5 + j * 2) % s.linePorts.size())));
        c.entries = static_cast<std::uint8_t>(c.payload.size());
        c.present = static_cast<std::uint8_t>(c.entries + 1);
    }
    return slots;
}

}  // namespace

ExchangeState MakeSample(const SampleOptions& options) {
    const Model* model = nullptr;
    for (const Model& m : Models())
        if (m.name == options.model) model = &m;
    if (!model) throw std::invalid_argument("no sample exchange of model " + options.model);

    Sample s(*model, ParseFirmware(options.firmware));
    BuildPorts(s);
    AssignGroups(s);
    const Model& m = *model;

    ExchangeState st;
    st.ident = MakeIdent(s);
    st.boards = MakeBoards(s);
    auto& blocks = st.blocks;
    blocks[{0x40, 0x03}] = MakeBilling(m);
    blocks[{0x40, 0x09}] = Bytes(m.boardList.begin(), m.boardList.end());
    if (s.kvt) {
        blocks[{0x40, 0x12}] = MakeConferenceParams(m);
        st.conferences = MakeConferences(s);
    }
    blocks[{0x08, -1}] = MakeTimeDefaults(s);
    blocks[{0x09, -1}] = MakeTimeSettings(s);
    blocks[{0x0A, -1}] = MakeSystemWide(s);
    for (int b = 0; b < 3; ++b) blocks[{0x0C + b, -1}] = MakeCommonBookBlock(static_cast<std::size_t>(b));
    blocks[{0x40, 0x00}] = MakeRedirects(s);
    if (m.name == "KVT700-1") {
        blocks[{0x40, 0x01}] = MakeProgramNumbers(s, 0, 120);
        blocks[{0x40, 0x11}] = MakeProgramNumbers(s, 120, 30);
    } else {
        blocks[{0x40, 0x01}] = MakeProgramNumbers(s, 0, s.kvt ? 120 : m.lines);
    }
    blocks[{0x40, 0x02}] = MakeFlash(s);
    if (s.from24_4) blocks[{0x40, 0x13}] = MakeBlackAndWhite();
    for (int i = 0; i < m.directions; ++i) blocks[{0x44, i}] = MakeDirectionTable(s, static_cast<std::size_t>(i));
    for (int t = 0; t < m.trunks; ++t) blocks[{0x48, t}] = MakeTrunk(s, t);
    for (int i = 0; i < m.lines; ++i) blocks[{0x4C, i}] = MakeLine(s, i);
    for (int g = 0; g < 20; ++g) {
        blocks[{0x50, g}] = MakeGroup(s, g);
        blocks[{0x58, g}] = MakeGroupBookBlock(g, 0);
        blocks[{0x58, g | 0x20}] = MakeGroupBookBlock(g, 1);
    }
    for (std::size_t i = 0; i < m.intercoms; ++i) blocks[{0x54, static_cast<int>(i)}] = MakeIntercom(s, i);
    for (std::size_t i = 0; i < m.loudspeakers; ++i) blocks[{0x5C, static_cast<int>(i)}] = MakeLoudspeaker(s, i);
    for (int k = 0; k < m.phones; ++k) blocks[{0x60, k}] = MakeKeyTable(s, k);
    return st;
}

}  // namespace sim
