#include "tables/features/directions.h"

#include <algorithm>

#include "engine/main_class.h"
#include "files/file_image.h"
#include "link/codecs.h"

namespace stanset {

namespace {

// A zero byte ends a row; any other byte is the 1-based line number of one entry.
constexpr std::uint8_t kRowEnd = 0;

int TableCount(const TMainClass& e) {
    return std::min<int>(e.Identity.DirectionCount, e.Directions.BlockCount());
}

// The number of a cell is its first three characters; a cell that holds none is empty.
int CellNumber(const std::string& cell) {
    if (cell.empty()) return 0;
    try {
        return StrToInt(std::string_view(cell).substr(0, 3));
    } catch (const EConvertError&) {
        return 0;
    }
}

// The entry byte of a subscriber, or 0 when the number names no line of this model.
std::uint8_t EntryOf(const std::string& model, std::int32_t number) {
    if (number < 1) return 0;
    try {
        const int b = NumberToLineIndex(std::to_string(number), model);
        return b >= 1 && b <= 255 ? static_cast<std::uint8_t>(b) : 0;
    } catch (const EConvertError&) {
        return 0;
    }
}

}  // namespace

int ReadDirectionTables(TMainClass& e) {
    const int n = TableCount(e);
    const int r = e.Link.ReadTable(rows::Directions, e.Directions, n, [&] {
        for (int i = 0; i < n; ++i) {
            auto block = e.Directions.Block(i);
            std::fill(block.begin(), block.end(), 0);
            e.Directions.Counts[i] = 0;
        }
    });
    if (r == kNoLink) return r;
    e.Directions.BlocksRead = n;
    return r < 0 ? r : 0;
}

int WriteDirectionTables(TMainClass& e) {
    const int r = e.Link.WriteTable(rows::Directions, e.Directions, TableCount(e));
    if (r == kNoBlocks) return 0;
    if (r == kNoLink) return kNoBlocks;
    return r < 0 ? r : 0;
}

void DecodeDirectionTables(TMainClass& e, TDataStream& d) {
    d.Directions = DirectionTables{};
    const std::string& model = e.Identity.Model;
    const int n = TableCount(e);
    for (int i = 0; i < n; ++i) {
        DirectionTables::Table& table = d.Directions.Tables[i];
        int row = 0;
        int place = 0;
        for (std::uint8_t b : e.Directions.Payload(i)) {
            if (row >= DirectionTables::kRows) break;
            if (b == kRowEnd) {
                ++row;
                place = 0;
                continue;
            }
            table[row][place] = LineIndexToNumber(model, b - 1);
            // A full row has no end byte: the next byte belongs to the next row.
            if (++place == DirectionTables::kPlaces) {
                ++row;
                place = 0;
            }
        }
    }
}

void EncodeDirectionTables(TMainClass& e, TDataStream& d) {
    const std::string& model = e.Identity.Model;
    const int n = TableCount(e);
    for (int i = 0; i < n; ++i) {
        auto block = e.Directions.Block(i);
        std::fill(block.begin(), block.end(), 0);
        std::size_t length = 0;
        for (const DirectionTables::Row& row : d.Directions.Tables[i]) {
            for (int place = 0; place < DirectionTables::kPlaces; ++place) {
                const std::uint8_t b = EntryOf(model, row[place]);
                block[length++] = b;
                if (b == kRowEnd) break;
            }
        }
        e.Directions.Counts[i] = static_cast<std::uint16_t>(length);
    }
    // Held from now on, or a save after clearing would leave the edits out.
    e.Directions.BlocksRead = n;
    e.Changed[kTabDirections] = true;
}

void ClearDirectionTables(TMainClass& e) { e.Directions.Clear(); }

void NormaliseDirectionRow(TDirectionRowCells& row) {
    constexpr int kPasses = DirectionTables::kPlaces;
    for (int pass = 0; pass < kPasses; ++pass)
        for (std::size_t p = 0; p + 1 < row.size(); ++p)
            if (row[p].empty()) std::swap(row[p], row[p + 1]);
    for (int pass = 0; pass < kPasses; ++pass)
        for (std::size_t p = 0; p + 1 < row.size(); ++p)
            if (!row[p].empty() && !row[p + 1].empty() && CellNumber(row[p + 1]) < CellNumber(row[p]))
                std::swap(row[p], row[p + 1]);
}

void StoreDirectionTable(TDataStream& d, int table, const TDirectionCells& cells) {
    if (table < 0 || table >= DirectionTables::kTables) return;
    DirectionTables::Table& t = d.Directions.Tables[table];
    t = DirectionTables::Table{};
    for (int row = 0; row < DirectionTables::kRows; ++row) {
        if (cells[row][0].empty()) break;
        for (int place = 0; place < DirectionTables::kPlaces && !cells[row][place].empty(); ++place)
            t[row][place] = CellNumber(cells[row][place]);
    }
}

namespace directions {

void CopyToFileImage(const TMainClass& e, TFileImage& image) {
    PutRecordList(image, e.Directions, e.Directions.BlocksRead);
}

bool CopyFromFileImage(TMainClass& e, const TFileImage& image) {
    return TakeRecordList(image, e.Directions, TableCount(e));
}

}  // namespace directions

}  // namespace stanset
