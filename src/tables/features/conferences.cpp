#include "tables/features/conferences.h"

#include <algorithm>
#include <vector>

#include "engine/main_class.h"
#include "files/file_image.h"
#include "link/codecs.h"

namespace stanset {

namespace {

// The parameter block.
constexpr int kRecordsAt = 0;
constexpr int kEntrySizeAt = 2;
// The one entry size this system interprets: the member's 1-based line number.
constexpr int kByteEntries = 1;
constexpr int kMaxLineByte = 150;
// p = m + 1 must fit its byte.
constexpr int kMaxMembers = 254;

int Records(const TMainClass& e) { return std::min<int>(e.ConfParams[kRecordsAt], TQuickConfCommand::maxRecords); }
int EntrySize(const TMainClass& e) { return e.ConfParams[kEntrySizeAt]; }

std::size_t EntryBytes(const TConferenceSlot& slot, int entrySize) {
    return std::min<std::size_t>(static_cast<std::size_t>(slot.Entries) * entrySize, slot.Data.size());
}

int ItemNumber(const std::string& item) {
    try {
        return StrToInt(std::string_view(item).substr(0, 3));
    } catch (const EConvertError&) {
        return 0;
    }
}

}  // namespace

int ReadConferenceParams(TMainClass& e) {
    e.ConfParams.fill(0);
    TRawImage params(1, static_cast<int>(e.ConfParams.size()));
    const int r = e.Link.ReadTable(rows::ConfParams, params, 1);
    if (r < 0) return r;
    std::copy_n(params.Bytes.begin(), e.ConfParams.size(), e.ConfParams.begin());
    return 0;
}

int ReadConferences(TMainClass& e) {
    const int records = Records(e);
    if (records == 0) {
        ClearConferences(e);
        return kNoBlocks;
    }
    // A link lost before the read leaves the conferences held before.
    if (e.Link.CheckLink() < 0) return kNoLink;
    ClearConferences(e);
    for (int i = 0; i < records; ++i) {
        if (e.Link.ReadConference(i, EntrySize(e), e.QuickConf[i]) < 0) {
            ClearConferences(e);
            return kTimeOut;
        }
    }
    return 0;
}

int WriteConferences(TMainClass& e) {
    const int records = Records(e);
    if (records == 0) return kNoBlocks;
    if (e.Link.CheckLink() < 0) return kNoLink;
    for (int i = 0; i < records; ++i)
        if (e.Link.WriteConference(i, EntrySize(e), e.QuickConf[i]) < 0) return kTimeOut;
    return 0;
}

void DecodeConferences(TMainClass& e, TDataStream& d) {
    d.Conferences.fill(ConferenceRecord{});
    if (EntrySize(e) != kByteEntries) return;
    for (int i = 0; i < Records(e); ++i) {
        const TConferenceSlot& slot = e.QuickConf[i];
        if (slot.Present == 0) continue;
        ConferenceRecord& record = d.Conferences[i];
        const std::size_t entries = EntryBytes(slot, kByteEntries);
        for (std::size_t j = 0; j < entries; ++j) {
            const int b = slot.Data[j];
            if (b < 1 || b > kMaxLineByte) continue;
            const int number = LineIndexToNumber(e.Identity.Model, b - 1);
            if (number >= 1) record.Member[record.MemberCount++] = number;
        }
    }
}

void EncodeConferences(TMainClass& e, TDataStream& d) {
    if (EntrySize(e) == kByteEntries) {
        for (int i = 0; i < Records(e); ++i) {
            const ConferenceRecord& record = d.Conferences[i];
            TConferenceSlot& slot = e.QuickConf[i];
            slot = TConferenceSlot{};
            const int members = std::clamp(record.MemberCount, 0, kMaxMembers);
            int m = 0;
            for (int j = 0; j < members; ++j) {
                if (record.Member[j] < 1) continue;
                try {
                    const int b = NumberToLineIndex(std::to_string(record.Member[j]), e.Identity.Model);
                    if (b >= 1 && b <= 255) slot.Data[m++] = static_cast<std::uint8_t>(b);
                } catch (const EConvertError&) {
                }
            }
            slot.Entries = static_cast<std::uint8_t>(m);
            slot.Present = static_cast<std::uint8_t>(m + 1);
        }
    }
    e.Changed[kTabQuickConf] = true;
}

void ClearConferences(TMainClass& e) { e.QuickConf.fill(TConferenceSlot{}); }

void StoreConference(TDataStream& d, int index, std::span<const std::string> items) {
    if (index < 0 || index >= static_cast<int>(d.Conferences.size())) return;
    ConferenceRecord& record = d.Conferences[index];
    record = ConferenceRecord{};
    const std::size_t count = std::min(items.size(), record.Member.size());
    record.MemberCount = static_cast<std::int32_t>(count);
    for (std::size_t j = 0; j < count; ++j) record.Member[j] = ItemNumber(items[j]);
}

namespace conferences {

// Per record: p, m and the m entries.
void CopyToFileImage(const TMainClass& e, TFileImage& image) {
    std::vector<std::uint8_t> out;
    const int entrySize = EntrySize(e);
    for (int i = 0; i < Records(e); ++i) {
        const TConferenceSlot& slot = e.QuickConf[i];
        // A record longer than its slot would make the reader refuse the whole file: keep
        // the entries that fit, and a count that says so.
        const int slotEntries = entrySize > 0 ? static_cast<int>(slot.Data.size()) / entrySize : 255;
        const int entries = std::min<int>(slot.Entries, slotEntries);
        out.push_back(slot.Present);
        out.push_back(static_cast<std::uint8_t>(entries));
        out.insert(out.end(), slot.Data.begin(), slot.Data.begin() + static_cast<long>(entries) * entrySize);
    }
    image.Assign(out);
}

// As the record lists: records missing at the end come out empty, bytes behind the last
// record are ignored.
bool CopyFromFileImage(TMainClass& e, const TFileImage& image) {
    const auto bytes = image.Payload();
    const int records = Records(e);
    const std::size_t entrySize = EntrySize(e);
    std::array<TConferenceSlot, TQuickConfCommand::maxRecords> slots{};
    std::size_t at = 0;
    for (int i = 0; i < records && at < bytes.size(); ++i) {
        if (at + 2 > bytes.size()) return false;
        const std::size_t n = bytes[at + 1] * entrySize;
        if (n > slots[i].Data.size() || at + 2 + n > bytes.size()) return false;
        slots[i].Present = bytes[at];
        slots[i].Entries = bytes[at + 1];
        std::copy_n(bytes.begin() + static_cast<long>(at) + 2, n, slots[i].Data.begin());
        at += 2 + n;
    }
    std::copy_n(slots.begin(), records, e.QuickConf.begin());
    return true;
}

}  // namespace conferences

}  // namespace stanset
