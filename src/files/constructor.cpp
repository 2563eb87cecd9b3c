#include "files/constructor.h"

#include <algorithm>
#include <cctype>

#include "engine/main_class.h"
#include "engine/status.h"
#include "engine/tables.h"

namespace stanset {

namespace {

struct TModelDefaults {
    const char* model;
    int slots;
    std::uint8_t deviceCode, trunks, lines, intercoms, directions, ggs, sta;
};
constexpr TModelDefaults kModels[] = {
    {"KVT250", 12, 4, 60, 120, 4, 50, 6, 36},
    {"KVT700", 15, 6, 75, 150, 4, 50, 6, 45},
    {"RD16", 6, 7, 12, 48, 2, 50, 2, 24},
    {"RD32", 10, 8, 20, 80, 2, 50, 2, 40},
};

const TModelDefaults* DefaultsFor(const std::string& model) {
    for (const auto& m : kModels)
        if (model == m.model) return &m;
    return nullptr;
}

bool IsKvtFamily(const std::string& model) { return model.find("KVT") != std::string::npos; }

const std::vector<std::string> kKvtBoards = {"", "LB71", "LB43", "LBQ619", "TT14", "TQ86"};
const std::vector<std::string> kRdBoards = {"", "LB28", "LB19", "TT09", "TQ05"};
constexpr int kKvtCodes[] = {255, 1, 3, 11, 2, 10};
constexpr int kRdCodes[] = {255, 1, 2, 3, 7};

constexpr std::uint8_t kTimeDefaults[52] = {
    0x14, 0x40, 0x14, 0x10, 0x28, 0x20, 0x04, 0x50, 0x28, 0x20, 0x28, 0x60, 0x04, 0x50, 0x28, 0x20, 0x01, 0x40,
    0x01, 0x80, 0x28, 0x40, 0x28, 0x30, 0x28, 0x30, 0x28, 0x30, 0x14, 0x20, 0x30, 0x50, 0x50, 0x30, 0xB0, 0xA4,
    0x14, 0x10, 0xB0, 0x44, 0x08, 0x30, 0x04, 0x40, 0xF0, 0x10, 0x01, 0x40, 0x28, 0x30, 0x02, 0x60,
};

// "24.7" -> byte 7 = 0x02, byte 6 = 0x47; false for a text that does not give two bytes.
bool VersionBytes(std::string v, std::uint8_t& major, std::uint8_t& minor) {
    if (v.empty() || v.size() > 4) return false;
    if (auto p = v.find('.'); p != std::string::npos) v.erase(p, 1);
    if (auto p = v.find(','); p != std::string::npos) v.erase(p, 1);
    if (v.size() == 3) v = "0" + v;
    if (v.size() != 4 || !std::all_of(v.begin(), v.end(), [](unsigned char c) { return std::isxdigit(c); }))
        return false;
    major = static_cast<std::uint8_t>(std::stoi(v.substr(0, 2), nullptr, 16));
    minor = static_cast<std::uint8_t>(std::stoi(v.substr(2, 2), nullptr, 16));
    return true;
}

struct NoPerson : TUserInteraction {
    void Message(const std::string&, const std::string&) override {}
    bool Ask(const std::string&, const std::string&) override { return false; }
    void Progress(int, int) override {}
    void OpenClockWindow(TMainClass&) override {}
};

}  // namespace

int SlotCount(const std::string& model) {
    const TModelDefaults* m = DefaultsFor(model);
    return m ? m->slots : 0;
}

const std::vector<std::string>& BoardsFor(const std::string& model) {
    return IsKvtFamily(model) ? kKvtBoards : kRdBoards;
}

int BoardCode(const std::string& model, const std::string& board) {
    const auto& boards = BoardsFor(model);
    const auto it = std::find(boards.begin(), boards.end(), board);
    if (it == boards.end()) return -1;
    const auto i = static_cast<std::size_t>(it - boards.begin());
    return IsKvtFamily(model) ? kKvtCodes[i] : kRdCodes[i];
}

void BuildIdentification(TMainClass& e, const std::string& version, const std::string& model) {
    const TModelDefaults* m = DefaultsFor(model);
    if (!m) return;
    auto& b = e.Reply.Buffer;
    for (int i : {0, 1, 2, 3}) b[i] = 0;
    b[4] = 1;
    b[5] = m->deviceCode;
    b[8] = m->trunks;
    b[9] = m->lines;
    b[16] = m->intercoms;
    b[17] = m->directions;
    b[18] = m->ggs;
    b[19] = m->sta;
    std::uint8_t major, minor;
    if (!VersionBytes(version, major, minor)) return;
    b[7] = major;
    b[6] = minor;
    for (int i = 10; i <= 15; ++i) b[i] = 0;
    b[13] = 4;
    e.Reply.FixedLength = 20;
    e.Reply.Length = 22;
}

void BuildTimeDefaults(TMainClass& e) {
    e.TimeDefaults.Clear();
    std::copy(std::begin(kTimeDefaults), std::end(kTimeDefaults), e.TimeDefaults.Bytes.begin());
    e.TimeDefaults.Counts[0] = static_cast<std::uint16_t>(std::size(kTimeDefaults));
}

void BuildComposition(TMainClass& e, const std::vector<std::string>& slots, bool secondUnit) {
    const std::string& model = e.Identity.Model;
    auto code = [&](std::size_t s) {
        const int c = s < slots.size() ? BoardCode(model, slots[s]) : 255;
        return static_cast<std::uint8_t>(c < 0 ? 255 : c);
    };
    std::vector<std::uint8_t> list;
    int plain = 0;
    if (model.find("KVT700") != std::string::npos) plain = 15;
    else if (model.find("RD16") != std::string::npos) plain = 6;
    else if (model.find("RD32") != std::string::npos) plain = 10;
    if (plain > 0) {
        for (int s = 0; s < plain; ++s) list.push_back(code(static_cast<std::size_t>(s)));
    } else if (model.find("KVT250") != std::string::npos) {
        // Two places of the first unit's frame carry no board, then the second unit.
        for (std::size_t s = 0; s < 6; ++s) list.push_back(code(s));
        list.insert(list.end(), {255, 255});
        for (std::size_t s = 6; s < 12; ++s) list.push_back(code(s));
        list.push_back(255);
        list.push_back(secondUnit ? 7 : 255);
        list.push_back(6);
    }
    e.Composition.BoardList.Clear();
    std::copy(list.begin(), list.end(), e.Composition.BoardList.Bytes.begin());
    e.Composition.BoardList.Counts[0] = static_cast<std::uint16_t>(list.size());
}

void BuildConfParams(TMainClass& e, const std::string& model) {
    e.ConfParams = {10, static_cast<std::uint8_t>(model.find("KVT250") != std::string::npos ? 30 : 60), 1, 200, 0};
}

bool CreateConfiguration(TMainClass& e, TDataStream& d, const TConstructorChoice& choice) {
    const TModelDefaults* m = DefaultsFor(choice.model);
    std::uint8_t major, minor;
    if (!m || !VersionBytes(choice.version, major, minor) || static_cast<int>(choice.boards.size()) > m->slots) return false;
    for (const std::string& board : choice.boards)
        if (BoardCode(choice.model, board) < 0) return false;

    e.ResetState();
    BuildIdentification(e, choice.version, choice.model);
    e.Link.LinkKey = 0;
    e.Identity.LinkKey = 0;
    DecodeIdentification(e.Reply, e.Identity, false);
    e.Identity.ExchangeName.clear();
    // No exchange has given billing figures: the status shows what it has without asking.
    NoPerson quiet;
    DecodeStatus(e, d, true, false, quiet);
    e.VersionFlags = std::make_shared<TTableVerRWFlags>(MakeTableVerRWFlags(e.Identity.Model, e.Identity.Version));
    if (e.VersionFlags->HasQuickConf && IsKvtFamily(e.Identity.Model)) BuildConfParams(e, e.Identity.Model);
    else e.ConfParams.fill(0);
    BuildTimeDefaults(e);
    DecodeTimeDefaults(e, d);
    BuildComposition(e, choice.boards, choice.model == "KVT250" && choice.secondUnit);
    DecodeComposition(e.Identity.Model, e.Composition, d);
    BuildPortList(e.Identity.Model, d);

    ClearSystemSettings(e);
    DecodeSystemSettings(e, d);
    ClearProgramNumbers(e);
    DecodeProgramNumbers(e, d);
    ClearSubscriberLines(e);
    DecodeSubscriberLines(e, d);
    ResetTrunkLines(e);
    DecodeTrunkLines(e, d);
    ClearDirectionTables(e);
    DecodeDirectionTables(e, d);
    ClearGroups(e);
    DecodeGroups(e, d);
    ClearGroupBooks(e);
    DecodeGroupBooks(e, d);
    ClearLoudspeakers(e);
    DecodeLoudspeakers(e, d);
    ClearIntercoms(e);
    DecodeIntercoms(e, d);
    ClearKeyTables(e);
    DecodeKeyTables(e, d);
    ClearFlash(e);
    ClearCommonBook(e);
    DecodeCommonBook(e, d);
    ResetTimeSettings(e);
    DecodeTimeSettings(e, d);
    ClearConferences(e);
    DecodeConferences(e, d);
    ClearRedirects(e);
    DecodeRedirects(e, d);
    if (e.VersionFlags->HasBWBooks) {
        ClearBWBook(e);
        DecodeBWBook(e, d);
    }
    e.Ready = true;
    return true;
}

}  // namespace stanset
