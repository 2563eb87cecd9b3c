#include "tables/features/directions.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/main_class.h"
#include "files/file_image.h"
#include "support/fake_line.h"
#include "support/recording_ui.h"
#include "support/sim_engine.h"
#include "support/temp_dir.h"

namespace stanset {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Table = DirectionTables::Table;

struct Bench {
    explicit Bench(const std::string& model = "KVT700-1", int tables = 2) {
        e.Identity.Model = model;
        e.Identity.DirectionCount = static_cast<std::uint16_t>(tables);
    }
    void Put(int i, const Bytes& block) {
        std::copy(block.begin(), block.end(), e.Directions.Block(i).begin());
        e.Directions.Counts[i] = static_cast<std::uint16_t>(block.size());
    }
    Bytes Got(int i) const {
        const auto p = e.Directions.Payload(i);
        return {p.begin(), p.end()};
    }
    testing::TempDir dir;
    testing::RecordingUI ui;
    testing::FakeLine line;
    TMainClass e{ui, {dir.Path(), "", &line}};
    TDataStream d;
};

TEST(DirectionsCodec, TablesTheEncoderWritesDecodeBackToTheSameRows) {
    struct Case {
        const char* model;
        Table table;
        Bytes block;
    } cases[] = {
        {"KVT700-1", {{{200, 204}, {}, {202}, {}}}, {1, 5, 0, 0, 3, 0, 0}},
        {"KVT700-1", {}, {0, 0, 0, 0}},
        // A full row has no end byte, whatever follows it.
        {"KVT700-1", {{{200, 201, 202, 203, 204}, {}, {210}, {}}}, {1, 2, 3, 4, 5, 0, 11, 0, 0}},
        {"KVT250", {{{200, 201, 202, 203, 204}, {205, 206, 207, 208, 209}, {210, 211, 212, 213, 214},
                     {215, 216, 217, 218, 349}}},
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 150}},
        {"RD16", {{{210, 277}, {200}, {}, {201, 202, 203, 204, 205}}}, {9, 64, 0, 1, 0, 0, 2, 3, 4, 5, 6}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model + std::string(" ") + std::to_string(c.block.size()));
        Bench b(c.model, 1);
        b.d.Directions.Tables[0] = c.table;
        EncodeDirectionTables(b.e, b.d);
        EXPECT_EQ(b.Got(0), c.block);
        EXPECT_TRUE(b.e.Changed[kTabDirections]);
        b.d.Directions = {};
        DecodeDirectionTables(b.e, b.d);
        EXPECT_EQ(b.d.Directions.Tables[0], c.table);
    }
}

TEST(DirectionsCodec, DecodingStaysInsideTheTwentyPlaces) {
    Bench b("KVT700-1", 3);
    b.Put(0, {1, 5, 0, 0, 3, 0});  // the last row has no end byte: still a table
    b.Put(1, Bytes(255, 7));
    b.Put(2, Bytes(255, 0));
    b.d.Directions.Tables[5][0][0] = 300;  // beyond the exchange's tables: cleared too
    DecodeDirectionTables(b.e, b.d);
    EXPECT_EQ(b.d.Directions.Tables[0], (Table{{{200, 204}, {}, {202}, {}}}));
    for (const auto& row : b.d.Directions.Tables[1]) EXPECT_EQ(row, (DirectionTables::Row{206, 206, 206, 206, 206}));
    EXPECT_EQ(b.d.Directions.Tables[2], Table{});
    EXPECT_EQ(b.d.Directions.Tables[5], Table{});
}

TEST(DirectionsCodec, NumbersThatNameNoLineEndTheirRow) {
    Bench b("KVT700-1", 1);
    b.d.Directions.Tables[0] = Table{{{200, 150, 202}, {-4}, {600, 201}, {201}}};
    EncodeDirectionTables(b.e, b.d);
    EXPECT_EQ(b.Got(0), (Bytes{1, 0, 0, 0, 2, 0}));
}

TEST(DirectionsEditor, RowNormalisation) {
    struct Case {
        TDirectionRowCells row, normalised;
    } cases[] = {
        {{"207 (1)", "203 (2)", "205 (3)", "", ""}, {"203 (2)", "205 (3)", "207 (1)", "", ""}},
        {{"201 ()", "", "205 ()", "", ""}, {"201 ()", "205 ()", "", "", ""}},
        {{"", "", "", "", "209 ()"}, {"209 ()", "", "", "", ""}},
        {{"215", "214", "213", "212", "211"}, {"211", "212", "213", "214", "215"}},
    };
    for (auto c : cases) {
        NormaliseDirectionRow(c.row);
        EXPECT_EQ(c.row, c.normalised);
    }
}

TEST(DirectionsEditor, StoringDropsWhatFollowsAnEmptyRowOrCell) {
    TDataStream d;
    d.Directions.Tables[3][3][4] = 999;
    StoreDirectionTable(d, 3, {{{"201 (10)", "203 ()", "", "209"}, {"205"}, {}, {"207"}}});
    EXPECT_EQ(d.Directions.Tables[3], (Table{{{201, 203}, {205}, {}, {}}}));
    StoreDirectionTable(d, 3, {{{}, {"205"}, {"206"}, {"207"}}});
    EXPECT_EQ(d.Directions.Tables[3], Table{});
    StoreDirectionTable(d, 100, {{{"201"}}});  // no such table: nothing happens
}

TEST(DirectionsTransfer, TheResultCodesOfAnAbsentLink) {
    Bench dead("KVT700-1", 3);
    dead.Put(1, {1, 0});
    EXPECT_EQ(WriteDirectionTables(dead.e), -2);
    EXPECT_EQ(ReadDirectionTables(dead.e), -1);
    // A lost link leaves the tables held before, to be decoded again.
    EXPECT_EQ(dead.e.Directions.BlocksRead, 0);
    EXPECT_EQ(dead.Got(1), (Bytes{1, 0}));
}

TEST(DirectionsFile, ImageRoundTripAndTheCountHeld) {
    Bench b("KVT700-1", 3);
    b.d.Directions.Tables[0] = Table{{{200, 204}, {}, {202}, {}}};
    EncodeDirectionTables(b.e, b.d);
    TFileImage image(3000);
    directions::CopyToFileImage(b.e, image);
    EXPECT_EQ(image.Length, 8 + 5 + 5);

    Bench back("KVT700-1", 3);
    ASSERT_TRUE(directions::CopyFromFileImage(back.e, image));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(back.Got(i), b.Got(i)) << i;
    EXPECT_EQ(back.e.Directions.BlocksRead, 3);

    // Cleared, nothing is held or saved; an edit afterwards is held and saved again.
    ClearDirectionTables(b.e);
    directions::CopyToFileImage(b.e, image);
    EXPECT_EQ(image.Length, 0);
    ASSERT_TRUE(directions::CopyFromFileImage(back.e, image));
    EXPECT_TRUE(back.Got(0).empty());
    DecodeDirectionTables(b.e, b.d);
    b.d.Directions.Tables[2][0][0] = 201;
    EncodeDirectionTables(b.e, b.d);
    directions::CopyToFileImage(b.e, image);
    EXPECT_EQ(image.Length, 5 + 5 + 6);

    ASSERT_TRUE(image.Assign(Bytes{4, 1, 0, 0}));
    EXPECT_FALSE(directions::CopyFromFileImage(back.e, image));
}

TEST(DirectionsSim, ReadDecodeEncodeWriteLeavesTheExchangeAsItWas) {
    for (const char* model : {"KVT700-1", "RD32"}) {
        SCOPED_TRACE(model);
        testing::SimEngine sim({model, "24,7"});
        sim.Select({&TDataStream::SelDirections});
        ASSERT_EQ(sim.ReadAll(), 1);
        const int n = sim.engine->Identity.DirectionCount;
        ASSERT_EQ(n, 50);
        // The sample's first table: its first two line ports, then the next three.
        const bool kvt = std::string(model).starts_with("KVT");
        const Table first = kvt ? Table{{{201, 203}, {205, 207, 209}, {}, {}}}
                                : Table{{{201, 203}, {204, 205, 206}, {}, {}}};
        EXPECT_EQ(sim.data->Directions.Tables[0], first);
        EXPECT_EQ(sim.data->Directions.Tables[49], Table{});

        std::vector<sim::Bytes> held;
        for (int i = 0; i < n; ++i) held.push_back(sim.Held(0x44, i));
        EncodeDirectionTables(*sim.engine, *sim.data);
        sim.ChangeExchange([](sim::ExchangeState& s) { s.blocks.erase({0x44, 2}); });
        ASSERT_EQ(sim.WriteAll(), 1);
        for (int i = 0; i < n; ++i) EXPECT_EQ(sim.Held(0x44, i), held[i]) << i;
    }
}

TEST(DirectionsSim, ATimeOutClearsTheSlotsAndARefusedWriteIsReported) {
    testing::SimEngine sim;
    sim.Select({&TDataStream::SelDirections});
    ASSERT_EQ(sim.ReadAll(), 1);

    sim.exchange->SetFaults({.badSum = -1});
    EXPECT_EQ(ReadDirectionTables(*sim.engine), -5);
    EXPECT_TRUE(std::all_of(sim.engine->Directions.Counts.begin(), sim.engine->Directions.Counts.end(),
                            [](auto c) { return c == 0; }));
    EXPECT_EQ(sim.engine->Directions.BlocksRead, 50);
    DecodeDirectionTables(*sim.engine, *sim.data);
    EXPECT_EQ(sim.data->Directions.Tables[0], Table{});

    sim.exchange->SetFaults({.refuseWrites = -1});
    EXPECT_EQ(sim.WriteAll(), -1);
    EXPECT_TRUE(sim.ui.Showed("Не могу записать таблици наведения, нет связи с АТС."));
}

}  // namespace
}  // namespace stanset
