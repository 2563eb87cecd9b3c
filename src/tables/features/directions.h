// Direction tables (таблицы наведения): up to four rows of up to five subscribers to which
// a call from a trunk or an intercom is directed, row after row.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;
struct TFileImage;

struct DirectionTables {
    static constexpr int kTables = 100;
    static constexpr int kRows = 4;
    static constexpr int kPlaces = 5;
    using Row = std::array<std::int32_t, kPlaces>;
    using Table = std::array<Row, kRows>;

    // Logical subscriber numbers; anything below 1 is an empty place. Places of a row are
    // filled from the left.
    std::array<Table, kTables> Tables{};
};

// The engine keeps the number of tables it holds in e.Directions.BlocksRead; the exchange's
// own count is e.Identity.DirectionCount (at most the 100 slots are used).

// 0, -1 no link, -5 time-out (the slots are then clear, the count held stays).
int ReadDirectionTables(TMainClass& e);
// 0, -2 no link, -5 a table refused (the tables after it are not sent).
int WriteDirectionTables(TMainClass& e);
void DecodeDirectionTables(TMainClass& e, TDataStream& d);
// Rebuilds the slots of the exchange's tables, holds that many and sets the changed flag.
void EncodeDirectionTables(TMainClass& e, TDataStream& d);
// All slots zero, none held.
void ClearDirectionTables(TMainClass& e);

// The editor's cells of one shown table: a cell is "" or a text whose first three
// characters are the subscriber's number ("205 (1034)").
using TDirectionRowCells = std::array<std::string, DirectionTables::kPlaces>;
using TDirectionCells = std::array<TDirectionRowCells, DirectionTables::kRows>;

// Empty cells to the end of the row, then the filled ones in ascending number.
void NormaliseDirectionRow(TDirectionRowCells& row);
// The shown table into the model: rows below the first empty row and places after the
// first empty cell of a row are dropped. An index outside the tables stores nothing.
void StoreDirectionTable(TDataStream& d, int table, const TDirectionCells& cells);

namespace directions {
void CopyToFileImage(const TMainClass& e, TFileImage& image);
bool CopyFromFileImage(TMainClass& e, const TFileImage& image);
}  // namespace directions

}  // namespace stanset
