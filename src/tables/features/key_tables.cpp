#include "tables/features/key_tables.h"

#include <algorithm>
#include <regex>
#include <vector>

#include "engine/main_class.h"
#include "files/file_image.h"
#include "link/codecs.h"

namespace stanset {

namespace {

// The key-table block: 48 keys of two bytes (value byte first), then, in a console's
// table only, the 1-based index of the phone it serves.
constexpr int kKeyBytes = 2;
constexpr std::uint16_t kPlainLength = kKeysPerTable * kKeyBytes;  // 96
constexpr std::uint16_t kConsoleLength = kPlainLength + 1;         // 97
constexpr int kConsoleAt = kPlainLength;
constexpr int kModelTables = static_cast<int>(std::tuple_size_v<decltype(TDataStream::STAButtons)>);

int Phones(const TMainClass& e) { return std::min<int>(e.Identity.STACount, e.STAKeys.BlockCount()); }
int ModelTables(const TMainClass& e) { return std::min(Phones(e), kModelTables); }

bool IsKvt(std::string_view model) { return model.find("KVT") != std::string_view::npos; }
bool IsRd(std::string_view model) {
    return model.find("RD16") != std::string_view::npos || model.find("RD32") != std::string_view::npos;
}
// A model without a numbering plan has no console to point at.
bool HasPhonePlan(std::string_view model) { return STAIndexToNumber(1, model) >= 0; }

std::uint16_t KeyAt(std::span<const std::uint8_t> block, int k) {
    return MakeWord(block[kKeyBytes * k], block[kKeyBytes * k + 1]);
}

// The texts the editor takes, as the window's examples group them.
struct TKeyShape {
    const char* pattern;
    bool kvt;
    bool rd;
};
constexpr TKeyShape kKeyShapes[] = {
    {"0[1-5]|9", true, true},                  // direction
    {"0[6-9][0-9]", true, true},               // phone-book entry
    {"2[0-9]{2}|1[0-9]{1,3}", true, true},     // subscriber
    {"3[0-9]{2}", true, false},
    {"55|557", true, true},                    // loudspeaker channel
    {"54[0-6]", true, false},
    {"54[0-2]", false, true},
    {"7[12][0-9]", true, true},                // group
    {"Conf[0-9]", true, false},                // conference
    {"SL[23][0-9]{2}", true, false},           // trunk
    {"SL[0-9][02]", false, true},
};

bool MatchesShape(std::string_view text, bool kvt) {
    static const std::vector<std::regex> compiled = [] {
        std::vector<std::regex> r;
        for (const TKeyShape& s : kKeyShapes) r.emplace_back(s.pattern);
        return r;
    }();
    for (std::size_t i = 0; i < std::size(kKeyShapes); ++i) {
        if (!(kvt ? kKeyShapes[i].kvt : kKeyShapes[i].rd)) continue;
        if (std::regex_match(text.begin(), text.end(), compiled[i])) return true;
    }
    return false;
}

}  // namespace

std::string KeyValueToText(std::uint16_t v) {
    if (v == 0) return {};
    std::uint8_t low, high;
    SplitWord(v, low, high);
    std::string t = WordToHex(low, high);
    t.erase(0, t.find_first_not_of('0'));
    std::replace(t.begin(), t.end(), 'A', '0');
    switch (t.size()) {
        case 1:
            return t == "9" ? t : "0" + t;
        case 4:
            if (t[0] == '8') return "Conf" + t.substr(3);
            if (t.starts_with("00")) return "SL" + t.substr(2);
            if (t.starts_with("0B")) return "SL2" + t.substr(2);
            if (t.starts_with("0C")) return "SL3" + t.substr(2);
            return t;
        default:
            return t;
    }
}

std::uint16_t KeyTextToValue(std::string_view text) {
    std::uint8_t value = 0, kind = 0;
    StrToWord1(text, value, kind);
    return MakeWord(value, kind);
}

TKeyTextCheck CheckKeyText(std::string_view model, std::string_view text) {
    std::string t;
    for (char c : text)
        if (c != ' ') t += c;
    if (t.empty()) return {};
    const bool kvt = IsKvt(model);
    if (!kvt && !IsRd(model)) return {};
    if (!kvt && t[0] == '2' && t.size() != 3) return {false, true};
    return {MatchesShape(t, kvt), false};
}

bool AcceptKeyText(std::string_view model, std::string_view text, TUserInteraction& ui) {
    const TKeyTextCheck check = CheckKeyText(model, text);
    if (check.Notice) ui.Message(kKeyTextNotice, kKeyTextNoticeCaption);
    if (!check.Accepted) ui.Message(kKeyTextRefused, kKeyTextRefusedCaption);
    return check.Accepted;
}

int ReadKeyTables(TMainClass& e) {
    const int m = Phones(e);
    if (m == 0) return kNoBlocks;
    if (e.Link.CheckLink() < 0) return kNoLink;
    if (!e.Link.SendKeyTablePreamble()) return kPreambleRefused;
    ClearKeyTables(e);
    for (int i = 0; i < m; ++i) {
        const int n = e.Link.ReadBlock(rows::STAKeys, i, e.STAKeys.Block(i));
        if (n < 0) {
            ClearKeyTables(e);
            return kTimeOut;
        }
        e.STAKeys.Counts[i] = static_cast<std::uint16_t>(n);
        e.STAKeys.BlocksRead = i + 1;
    }
    return 0;
}

int WriteKeyTables(TMainClass& e, TUserInteraction& ui) {
    const int m = Phones(e);
    if (m == 0) {
        ui.Message("Макс. кол-во СТА = 0 (1)", "");
        return 0;
    }
    const int r = e.Link.WriteTable(rows::STAKeys, e.STAKeys, m);
    return r < 0 ? r : 0;
}

void DecodeKeyTables(TMainClass& e, TDataStream& d) {
    d.STAButtons.fill(TSTAButtonTable{});
    const std::string& model = e.Identity.Model;
    for (int i = 0; i < ModelTables(e); ++i) {
        const auto block = e.STAKeys.Payload(i);
        TSTAButtonTable& table = d.STAButtons[i];
        for (int k = 0; k < kKeysPerTable && kKeyBytes * k + 1 < static_cast<int>(block.size()); ++k)
            table.KeyText[k] = KeyValueToText(KeyAt(block, k));
        table.KeyCount = kKeysPerTable;
        table.ConsoleBinding = block.size() == kConsoleLength ? STAIndexToNumber(block[kConsoleAt], model) : -1;
    }
}

int EncodeKeyTables(TMainClass& e, TDataStream& d) {
    int result = 0;
    const std::string& model = e.Identity.Model;
    for (int i = 0; i < ModelTables(e); ++i) {
        const TSTAButtonTable& table = d.STAButtons[i];
        auto block = e.STAKeys.Block(i);
        const std::vector<std::uint8_t> before(block.begin(), block.begin() + e.STAKeys.Counts[i]);
        std::fill(block.begin(), block.end(), 0);
        const int keys = std::min<int>(table.KeyCount, kKeysPerTable);
        for (int k = 0; k < keys; ++k) {
            const std::string& text = table.KeyText[k];
            std::uint16_t v = 0;
            try {
                v = KeyTextToValue(text);
            } catch (const EConvertError&) {
                result = -1;
                const bool had = kKeyBytes * k + 1 < static_cast<int>(before.size());
                if (had && KeyValueToText(KeyAt(before, k)) == text) v = KeyAt(before, k);
            }
            SplitWord(v, block[kKeyBytes * k], block[kKeyBytes * k + 1]);
        }
        e.STAKeys.Counts[i] = kPlainLength;
        if (table.ConsoleBinding == -1 || !HasPhonePlan(model)) continue;
        const int index = GetLogSTA(model, table.ConsoleBinding) + 1;
        if (index < 0 || index > 255) continue;  // no phone of this model: not attached
        block[kConsoleAt] = static_cast<std::uint8_t>(index);
        e.STAKeys.Counts[i] = kConsoleLength;
    }
    e.Changed[kTabSTAKeys] = true;
    return result;
}

void ClearKeyTables(TMainClass& e) { e.STAKeys.Clear(); }

namespace keytables {

void CopyToFileImage(const TMainClass& e, TFileImage& image) { PutRecordList(image, e.STAKeys, Phones(e)); }

bool CopyFromFileImage(TMainClass& e, const TFileImage& image) {
    return TakeRecordList(image, e.STAKeys, Phones(e));
}

}  // namespace keytables

}  // namespace stanset
