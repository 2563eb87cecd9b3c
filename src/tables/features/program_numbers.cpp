#include "tables/features/program_numbers.h"

#include <algorithm>
#include <array>
#include <set>

#include "engine/main_class.h"
#include "link/codecs.h"
#include "tables/features/flash.h"

namespace stanset {

namespace {

// Entry j of a block: B0 at byte 2j, B1 at 2j + 1, the digits after the leading 1
// right-aligned in B1 * 256 + B0.
constexpr int kEntryBytes = 2;
constexpr int kMaxDigits = 3;  // after the leading 1

struct TBlockLayout {
    int firstLine;  // line index of entry 0
    int entries;    // entries the decoder reads
};

// The second block exists on the KVT700 only, but is decoded whatever the model.
constexpr TBlockLayout kBlocks[] = {{0, 120}, {120, 30}};

// The file section: 240 bytes of the first block, and on the KVT700 60 of the second.
constexpr int kFileBytes[] = {240, 60};

bool IsKvt700(const std::string& model) { return model.find("KVT700") != std::string::npos; }
bool IsKvt(const std::string& model) { return model.find("KVT") != std::string::npos; }
bool IsRd16Or32(const std::string& model) { return model == "RD16" || model == "RD32"; }

int BlocksOf(const TMainClass& e) {
    if (e.Identity.LineCount == 0) return 0;
    return IsKvt700(e.Identity.Model) ? 2 : 1;
}

// Entries the encoder writes into block b; -1 for a model that has no layout of its own.
int EncodedEntries(const TMainClass& e, int b) {
    const std::string& model = e.Identity.Model;
    if (b == 1) return IsKvt700(model) ? kBlocks[1].entries : 0;
    if (IsKvt(model)) return kBlocks[0].entries;
    if (IsRd16Or32(model)) return std::min<int>(e.Identity.LineCount, kBlocks[0].entries);
    return -1;
}

std::uint8_t ByteAt(const TRawImage& raw, int block, int i) {
    const int held = std::min<int>(raw.Counts[static_cast<std::size_t>(block)], raw.Capacity);
    return i < held ? raw.Block(block)[static_cast<std::size_t>(i)] : 0;
}

bool AllDigits(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// False for a text that is not "", nor "1" followed by up to three digits.
bool PackEntry(const std::string& pn, std::uint8_t& b0, std::uint8_t& b1) {
    b0 = b1 = 0;
    if (pn.empty()) return true;
    const std::string_view rest = std::string_view(pn).substr(1);
    if (pn[0] != '1' || rest.size() > kMaxDigits || !AllDigits(rest)) return false;
    std::array<std::uint8_t, 2> packed{};
    TextToBcd(rest, packed, false);
    const std::uint8_t p = packed[0], q = packed[1];
    switch (rest.size()) {
        case 1:
            b0 = static_cast<std::uint8_t>(p >> 4);
            break;
        case 2:
            b0 = p;
            break;
        case 3:
            b0 = static_cast<std::uint8_t>((p << 4 | q >> 4) & 0xFF);
            b1 = static_cast<std::uint8_t>(p >> 4);
            break;
        default:
            break;
    }
    return true;
}

// The port whose line record holds the program number of that directory number. A line
// with an intercom or a loudspeaker channel attached keeps its program number.
TPort* LinePortOf(TDataStream& d, int number) {
    if (TPortPtr* port = FindPort(d, number); port && *port) return port->get();
    for (TPortPtr& port : d.Ports)
        if (port && port->Number == number && (port->Kind == kPortIntercom || port->Kind == kPortGGS))
            return port.get();
    return nullptr;
}

const std::string* ProgramNumberAt(TDataStream& d, const std::string& model, int line) {
    TPort* port = LinePortOf(d, LineIndexToNumber(model, line));
    return port ? &port->Line.ProgramNumber : nullptr;
}

std::string WithoutBlanks(std::string s) {
    s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
    return s;
}

}  // namespace

int ReadProgramNumbers(TMainClass& e) {
    const int r = singleblock::ReadZeroed(e.Link, rows::ProgNumbers, e.ProgNumbers, BlocksOf(e));
    return r < 0 ? r : 0;
}

int WriteProgramNumbers(TMainClass& e) { return e.Link.WriteTable(rows::ProgNumbers, e.ProgNumbers, BlocksOf(e)); }

void DecodeProgramNumbers(TMainClass& e, TDataStream& d) {
    const std::string& model = e.Identity.Model;
    for (int b = 0; b < static_cast<int>(std::size(kBlocks)); ++b) {
        for (int j = 0; j < kBlocks[b].entries; ++j) {
            TPort* port = LinePortOf(d, LineIndexToNumber(model, kBlocks[b].firstLine + j));
            if (!port) continue;
            const std::uint8_t entry[] = {ByteAt(e.ProgNumbers, b, kEntryBytes * j + 1),
                                          ByteAt(e.ProgNumbers, b, kEntryBytes * j)};
            const std::string digits = BcdToText(entry, 0);
            port->Line.ProgramNumber = digits.empty() ? digits : "1" + digits;
        }
    }
}

int EncodeProgramNumbers(TMainClass& e, TDataStream& d) {
    const std::string& model = e.Identity.Model;
    // A model without a layout of its own keeps the blocks as they were read.
    if (EncodedEntries(e, 0) < 0) {
        e.Changed[kTabProgNumbers] = true;
        return 0;
    }
    // Built aside, so that a number the block cannot hold leaves the old blocks in place.
    TRawImage built(e.ProgNumbers.BlockCount(), e.ProgNumbers.Capacity);
    for (int b = 0; b < static_cast<int>(std::size(kBlocks)); ++b) {
        const int entries = EncodedEntries(e, b);
        auto block = built.Block(b);
        for (int j = 0; j < entries; ++j) {
            const std::string* pn = ProgramNumberAt(d, model, kBlocks[b].firstLine + j);
            std::uint8_t& b0 = block[static_cast<std::size_t>(kEntryBytes * j)];
            std::uint8_t& b1 = block[static_cast<std::size_t>(kEntryBytes * j + 1)];
            if (pn && !PackEntry(*pn, b0, b1)) return -1;
        }
        built.Counts[static_cast<std::size_t>(b)] = static_cast<std::uint16_t>(kEntryBytes * entries);
    }
    built.BlocksRead = e.ProgNumbers.BlocksRead;
    e.ProgNumbers = std::move(built);
    e.Changed[kTabProgNumbers] = true;
    return 0;
}

void ClearProgramNumbers(TMainClass& e) { e.ProgNumbers.Clear(); }

bool PrepareProgramNumbers(std::span<TProgramNumberRow> rows, TUserInteraction& ui) {
    for (TProgramNumberRow& row : rows) {
        row.ProgramNumber = WithoutBlanks(row.ProgramNumber);
        if (row.ProgramNumber.size() == 1) {
            ui.Message("В программном номере должно быть не менее 2-х цифр, ошибочный номер будет стерт", "Ошибка");
            row.ProgramNumber.clear();
        }
    }
    std::set<std::string> seen;
    for (const TProgramNumberRow& row : rows) {
        if (row.ProgramNumber.empty()) continue;
        if (!seen.insert(row.ProgramNumber).second) {
            ui.Message("Есть одинаковые  программные номера.", "Ошибка");
            return false;
        }
    }
    return true;
}

void StoreProgramNumbers(const TMainClass& e, TDataStream& d, std::span<const TProgramNumberRow> rows) {
    const std::string& model = e.Identity.Model;
    for (const TProgramNumberRow& row : rows) {
        int number = 0, line = 0;
        try {
            number = StrToInt(row.Number);
            line = NumberToLineIndex(row.Number, model) - 1;
        } catch (const EConvertError&) {
            continue;
        }
        if (line < 0) continue;
        if (d.NamesList) d.NamesList->StoreName(TNameFile(TNameKind::Ports), line, row.Name);
        if (TPort* port = LinePortOf(d, number)) port->Line.ProgramNumber = row.ProgramNumber;
    }
}

namespace prognumbers {

void CopyToFileImage(const TMainClass& e, TFileImage& image) {
    const int blocks = IsKvt700(e.Identity.Model) ? 2 : 1;
    std::vector<std::uint8_t> payload;
    for (int b = 0; b < blocks; ++b) {
        const auto block = e.ProgNumbers.Block(b);
        payload.insert(payload.end(), block.begin(), block.begin() + kFileBytes[b]);
    }
    image.Assign(payload);
}

bool CopyFromFileImage(TMainClass& e, const TFileImage& image) {
    const int blocks = IsKvt700(e.Identity.Model) ? 2 : 1;
    int need = 0;
    for (int b = 0; b < blocks; ++b) need += kFileBytes[b];
    const auto payload = image.Payload();
    // No section at all restores empty blocks; a section cut short is refused.
    if (!payload.empty() && static_cast<int>(payload.size()) < need) return false;
    e.ProgNumbers.Clear();
    std::size_t at = 0;
    for (int b = 0; b < blocks; ++b) {
        const std::size_t n = static_cast<std::size_t>(kFileBytes[b]);
        if (!payload.empty()) std::copy_n(payload.begin() + static_cast<long>(at), n, e.ProgNumbers.Block(b).begin());
        at += n;
        // The length the exchange itself sends: an RD's block covers its own lines only.
        const int entries = EncodedEntries(e, b);
        e.ProgNumbers.Counts[static_cast<std::size_t>(b)] =
            static_cast<std::uint16_t>(entries < 0 ? kFileBytes[b] : kEntryBytes * entries);
    }
    return true;
}

}  // namespace prognumbers

}  // namespace stanset
