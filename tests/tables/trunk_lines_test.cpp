// The trunk-line table: its block, the model records, the file image and the table
// against the simulated exchange.
#include "tables/lines/trunk_lines.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "engine/main_class.h"
#include "files/file_image.h"
#include "simulator.h"
#include "support/fake_line.h"
#include "support/recording_ui.h"
#include "support/sim_engine.h"
#include "support/temp_dir.h"

namespace stanset {
namespace {

using sim::Bytes;

// An engine with nothing behind its line: the codecs only.
struct Bench {
    Bench(const std::string& model, const std::string& version, int trunks = 75) {
        e = std::make_unique<TMainClass>(ui, TEngineOptions{.workDir = dir.Path(), .device = {}, .line = &line});
        e->Identity.Model = model;
        e->Identity.Version = version;
        e->Identity.TrunkCount = static_cast<std::uint16_t>(trunks);
    }
    void Put(int t, const Bytes& bytes) {
        auto block = e->Trunks.Block(t);
        std::fill(block.begin(), block.end(), 0);
        std::copy(bytes.begin(), bytes.end(), block.begin());
        e->Trunks.Counts[t] = static_cast<std::uint16_t>(bytes.size());
    }
    Bytes Held(int t) const {
        auto p = e->Trunks.Payload(t);
        return {p.begin(), p.end()};
    }

    testing::TempDir dir;
    testing::RecordingUI ui;
    testing::FakeLine line;
    std::unique_ptr<TMainClass> e;
    std::unique_ptr<TDataStream> d = std::make_unique<TDataStream>();
};

TSL Everything(int partner) {
    TSL sl;
    sl.Dir01 = sl.Dir02 = sl.Dir03 = sl.Dir04 = sl.Dir05 = sl.OutgoingCall = sl.Dir9 = 1;
    sl.AutoOFFSL = sl.FAX = sl.TarINCall = sl.ToneDial = sl.ReplacementSignal = 1;
    sl.RetreatInCall = sl.DISA = sl.NotInterCityTar = 1;
    sl.OFFDISAForRetreatSignal = sl.SignalToSLForDISA = sl.ActivePauseAfter8 = 1;
    sl.DayTable = 255;
    sl.NightTable = 1;
    sl.MGDigit = 0;
    sl.SLType = 4;
    sl.AutoDial = "T*21#0PA";
    sl.BlockedWith = partner;
    return sl;
}

TSL Sparse() {
    TSL sl;
    sl.Dir03 = sl.DISA = sl.SignalToSLForDISA = 1;
    sl.DayTable = 48;
    sl.MGDigit = 9;
    sl.SLType = 2;
    sl.AutoDial = "8495";
    return sl;
}

TEST(TrunkLinesCodec, RecordsComeBackForEveryFamilyAndGate) {
    struct Case {
        const char* model;
        const char* version;
        int trunks;
        int partner;  // a trunk number of that model
        bool gateB;
    } cases[] = {
        {"KVT700-1", "24,7", 75, 348, true},
        {"KVT250", "24,3", 60, 202, false},
        {"RD16", "24,4", 12, 252, true},
        {"RD32", "23,8", 20, 212, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model + std::string(" ") + c.version);
        Bench b(c.model, c.version, c.trunks);
        const std::vector<TSL> records = {Everything(c.partner), Sparse(), TSL{}};
        for (int t = 0; t < c.trunks; ++t) b.d->Trunks[t] = records[t % records.size()];
        EncodeTrunkLines(*b.e, *b.d);
        EXPECT_TRUE(b.e->Changed[kTabTrunks]);

        auto back = std::make_unique<TDataStream>();
        for (auto& sl : back->Trunks) sl.ActivePauseAfter8 = 7;  // survives where the gate is shut
        DecodeTrunkLines(*b.e, *back);
        for (int t = 0; t < c.trunks; ++t) {
            TSL want = b.d->Trunks[t];
            if (!c.gateB) want.ActivePauseAfter8 = 7;
            EXPECT_EQ(back->Trunks[t], want) << "trunk " << t;
            EXPECT_EQ(b.e->Trunks.Counts[t], 12);
        }
        TSL untouched;
        untouched.ActivePauseAfter8 = 7;
        EXPECT_EQ(back->Trunks[c.trunks], untouched) << "beyond the exchange's trunks nothing is decoded";
    }
}

// Every sample the simulator holds is a block the exchange sends; decoding and encoding it
// must give it back byte for byte.
TEST(TrunkLinesCodec, SampleBlocksComeBackByteForByte) {
    for (const char* model : {"KVT700-1", "KVT250", "RD16", "RD32"}) {
        for (const char* firmware : {"23,8", "24,3", "24,4", "24,7"}) {
            SCOPED_TRACE(std::string(model) + " " + firmware);
            const sim::ExchangeState s = sim::MakeSample({model, firmware});
            const int trunks = s.ident.at(8);
            Bench b(model, firmware, trunks);
            for (int t = 0; t < trunks; ++t) b.Put(t, s.blocks.at({0x48, t}));
            DecodeTrunkLines(*b.e, *b.d);
            EncodeTrunkLines(*b.e, *b.d);
            for (int t = 0; t < trunks; ++t) EXPECT_EQ(b.Held(t), s.blocks.at({0x48, t})) << "trunk " << t;
        }
    }
}

TEST(TrunkLinesCodec, FieldsLandOnTheirBytes) {
    struct Case {
        const char* what;
        void (*edit)(TSL&);
        int offset;
        Bytes bytes;
        void (*check)(const TSL&);
    } cases[] = {
        {"digit 0 is 10", [](TSL& s) { s.MGDigit = 0; }, 4, {10}, [](const TSL& s) { EXPECT_EQ(s.MGDigit, 0); }},
        {"auto-dial 10", [](TSL& s) { s.AutoDial = "10"; }, 6, {0x1A, 0, 0, 0},
         [](const TSL& s) { EXPECT_EQ(s.AutoDial, "10"); }},
        {"auto-dial 5", [](TSL& s) { s.AutoDial = "5"; }, 6, {0x50, 0, 0, 0},
         [](const TSL& s) { EXPECT_EQ(s.AutoDial, "5"); }},
        {"auto-dial *5#", [](TSL& s) { s.AutoDial = "*5#"; }, 6, {0xB5, 0xC0, 0, 0},
         [](const TSL& s) { EXPECT_EQ(s.AutoDial, "*5#"); }},
        {"auto-dial p1", [](TSL& s) { s.AutoDial = "p1"; }, 6, {0xD1, 0, 0, 0},
         [](const TSL& s) { EXPECT_EQ(s.AutoDial, "P1"); }},
        {"lower-case a and t", [](TSL& s) { s.AutoDial = "at"; }, 6, {0xEF, 0, 0, 0},
         [](const TSL& s) { EXPECT_EQ(s.AutoDial, "AT"); }},
        {"auto-dial past 8 characters", [](TSL& s) { s.AutoDial = "1234567890"; }, 6, {0x12, 0x34, 0x56, 0x78},
         [](const TSL& s) { EXPECT_EQ(s.AutoDial, "12345678"); }},
        {"a text that is not dialling", [](TSL& s) { s.AutoDial = "12-3"; }, 6, {0, 0, 0, 0},
         [](const TSL& s) { EXPECT_EQ(s.AutoDial, ""); }},
        {"no day table", [](TSL& s) { s.DayTable = -1; }, 2, {0}, [](const TSL& s) { EXPECT_EQ(s.DayTable, -1); }},
        {"type 4", [](TSL& s) { s.SLType = 4; }, 5, {3}, [](const TSL& s) { EXPECT_EQ(s.SLType, 4); }},
        {"blocked with 204", [](TSL& s) { s.BlockedWith = 204; }, 11, {3},
         [](const TSL& s) { EXPECT_EQ(s.BlockedWith, 204); }},
        {"not blocked", [](TSL& s) { s.BlockedWith = -1; }, 11, {0},
         [](const TSL& s) { EXPECT_EQ(s.BlockedWith, -1); }},
        {"flags of byte 0", [](TSL& s) { s.Dir02 = s.Dir05 = s.OutgoingCall = 1; }, 0, {0x52},
         [](const TSL& s) { EXPECT_EQ(s.OutgoingCall, 1); }},
        {"flags of byte 1", [](TSL& s) { s.AutoOFFSL = s.NotInterCityTar = 1; }, 1, {0x81},
         [](const TSL& s) { EXPECT_EQ(s.NotInterCityTar, 1); }},
        {"flags of byte 10", [](TSL& s) { s.SignalToSLForDISA = s.ActivePauseAfter8 = 1; }, 10, {0x06},
         [](const TSL& s) { EXPECT_EQ(s.ActivePauseAfter8, 1); }},
        // Values the byte cannot carry are not wrapped onto another table, digit or trunk.
        {"day table 256", [](TSL& s) { s.DayTable = 256; }, 2, {0}, [](const TSL& s) { EXPECT_EQ(s.DayTable, -1); }},
        {"digit 12", [](TSL& s) { s.MGDigit = 12; }, 4, {10}, [](const TSL& s) { EXPECT_EQ(s.MGDigit, 0); }},
        {"blocked with a number of no trunk", [](TSL& s) { s.BlockedWith = 5; }, 11, {0},
         [](const TSL& s) { EXPECT_EQ(s.BlockedWith, -1); }},
        {"blocked with INT_MIN", [](TSL& s) { s.BlockedWith = INT_MIN; }, 11, {0},
         [](const TSL& s) { EXPECT_EQ(s.BlockedWith, -1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bench b("KVT700-1", "24,7", 1);
        c.edit(b.d->Trunks[0]);
        EncodeTrunkLines(*b.e, *b.d);
        const Bytes held = b.Held(0);
        ASSERT_EQ(held.size(), 12u);
        EXPECT_EQ(Bytes(held.begin() + c.offset, held.begin() + c.offset + static_cast<long>(c.bytes.size())), c.bytes);
        DecodeTrunkLines(*b.e, *b.d);
        c.check(b.d->Trunks[0]);
    }
}

TEST(TrunkLinesCodec, ReadsAnyBlockTheExchangeMaySend) {
    struct Case {
        const char* what;
        Bytes block;
        void (*check)(const TSL&);
    } cases[] = {
        {"byte 4 of 0 is digit 8", {0, 0, 0, 0, 0}, [](const TSL& s) { EXPECT_EQ(s.MGDigit, 8); }},
        {"byte 4 above 9 is digit 0", {0, 0, 0, 0, 12}, [](const TSL& s) { EXPECT_EQ(s.MGDigit, 0); }},
        {"auto-dial ends at a high nibble 0", {0, 0, 0, 0, 8, 0, 0x05, 0x12, 0x34, 0x56},
         [](const TSL& s) { EXPECT_EQ(s.AutoDial, ""); }},
        {"auto-dial ends inside", {0, 0, 0, 0, 8, 0, 0x12, 0x03, 0x45, 0x67},
         [](const TSL& s) { EXPECT_EQ(s.AutoDial, "12"); }},
        {"a block of 5 reads the rest as zeros", {0x81, 0, 1, 2, 8},
         [](const TSL& s) {
             EXPECT_EQ(s.SLType, 1);
             EXPECT_EQ(s.AutoDial, "");
             EXPECT_EQ(s.BlockedWith, -1);
             EXPECT_EQ(s.OFFDISAForRetreatSignal, 0);
         }},
        {"all bits set", Bytes(255, 0xFF),
         [](const TSL& s) {
             EXPECT_EQ(s.DayTable, 255);
             EXPECT_EQ(s.MGDigit, 0);
             EXPECT_EQ(s.SLType, 256);
             EXPECT_EQ(s.AutoDial, "TTTTTTTT");
             EXPECT_EQ(s.BlockedWith, 200 + 2 * 254);
         }},
        {"an empty block", {}, [](const TSL& s) { EXPECT_EQ(s, TSL{}); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bench b("KVT700-1", "24,7", 1);
        b.e->Trunks.Block(0)[9] = 0x99;  // what an older, longer block left behind the count
        b.e->Trunks.Block(0)[11] = 7;
        auto block = b.e->Trunks.Block(0);
        std::copy(c.block.begin(), c.block.end(), block.begin());
        b.e->Trunks.Counts[0] = static_cast<std::uint16_t>(c.block.size());
        b.d->Trunks[0] = Everything(202);
        DecodeTrunkLines(*b.e, *b.d);
        c.check(b.d->Trunks[0]);
    }
}

TEST(TrunkLinesCodec, BitsOfTheExchangeAndShutGatesAreKept) {
    for (const char* version : {"24,3", "24,4"}) {
        SCOPED_TRACE(version);
        const bool gateB = std::string(version) == "24,4";
        Bench b("RD32", version, 2);
        b.Put(0, {0x20, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0xFC, 0});  // bit 5, bits 2-7 set
        b.Put(1, {0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0x00, 0});
        b.d->Trunks[0].ActivePauseAfter8 = 0;
        b.d->Trunks[1].ActivePauseAfter8 = 1;
        EncodeTrunkLines(*b.e, *b.d);
        EXPECT_EQ(b.Held(0)[0], 0x20);
        EXPECT_EQ(b.Held(0)[10], gateB ? 0xF8 : 0xFC) << "bit 2 stays where the gate is shut";
        EXPECT_EQ(b.Held(1)[10], gateB ? 0x04 : 0x00);
    }
}

TEST(TrunkLinesCodec, ResetGivesTheDefaultBlockInEverySlot) {
    Bench b("KVT700-1", "24,7", 75);
    b.Put(199, Bytes(12, 0xFF));
    for (auto& sl : b.d->Trunks) sl = Everything(202);
    ResetTrunkLines(*b.e);
    for (int t = 0; t < 200; ++t) {
        ASSERT_EQ(b.Held(t), (Bytes{0, 0, 0, 0, 8})) << t;
        EXPECT_TRUE(std::all_of(b.e->Trunks.Block(t).begin() + 5, b.e->Trunks.Block(t).end(),
                                [](std::uint8_t x) { return x == 0; }));
    }
    DecodeTrunkLines(*b.e, *b.d);
    for (int t = 0; t < 75; ++t) EXPECT_EQ(b.d->Trunks[t], TSL{});
}

TEST(TrunkLinesFile, ImageRoundTripAndMalformedPayloads) {
    Bench b("RD16", "24,4", 3);
    b.Put(0, {1, 2, 3});
    b.Put(1, {});
    b.Put(2, Bytes(255, 0x5A));
    TFileImage image(128000);
    trunks::CopyToFileImage(*b.e, image);
    ASSERT_EQ(image.Length, 1 + 3 + 1 + 1 + 255);
    EXPECT_EQ(image.Bytes[0], 3);

    Bench other("RD16", "24,4", 3);
    other.Put(2, {9, 9});
    ASSERT_TRUE(trunks::CopyFromFileImage(*other.e, image));
    for (int t = 0; t < 3; ++t) EXPECT_EQ(other.Held(t), b.Held(t)) << t;
    EXPECT_EQ(other.e->Trunks.Block(2)[0], 0x5A);

    // Bytes behind the last record are ignored.
    std::vector<std::uint8_t> longer(image.Payload().begin(), image.Payload().end());
    longer.push_back(4);
    TFileImage withTail(128000);
    ASSERT_TRUE(withTail.Assign(longer));
    EXPECT_TRUE(trunks::CopyFromFileImage(*other.e, withTail));

    // A record cut short is refused; records missing at the end come out empty.
    Bench target("RD16", "24,4", 3);
    target.Put(0, {7});
    target.Put(2, {7});
    TFileImage bad(128000);
    ASSERT_TRUE(bad.Assign(std::vector<std::uint8_t>{3, 1, 2, 3, 0, 5, 1}));
    EXPECT_FALSE(trunks::CopyFromFileImage(*target.e, bad));
    EXPECT_EQ(target.Held(0), Bytes{7}) << "untouched";
    TFileImage fewer(128000);
    ASSERT_TRUE(fewer.Assign(std::vector<std::uint8_t>{3, 1, 2, 3, 0}));
    EXPECT_TRUE(trunks::CopyFromFileImage(*target.e, fewer));
    EXPECT_EQ(target.Held(0), (Bytes{1, 2, 3}));
    EXPECT_EQ(target.Held(2), Bytes{});

    // A file without the section empties the trunks.
    Bench cleared("RD16", "24,4", 3);
    cleared.Put(1, {7, 7});
    EXPECT_TRUE(trunks::CopyFromFileImage(*cleared.e, TFileImage(128000)));
    EXPECT_EQ(cleared.Held(1), Bytes{});
    EXPECT_EQ(cleared.e->Trunks.Block(1)[0], 0);
}

// ---- against the simulated exchange --------------------------------------------------

// Makes the exchange fall silent at one block of a read-all that selects only the table.
int RequestsBefore(testing::SimEngine& s, const std::string& request) {
    s.exchange->ClearTranscript();
    EXPECT_EQ(s.ReadAll(), 1);
    int requests = 0;
    for (const std::string& line : s.exchange->Transcript()) {
        if (line.rfind(request, 0) == 0) return requests;
        if (line.rfind("probe", 0) != 0) ++requests;
    }
    ADD_FAILURE() << "no " << request;
    return 0;
}

TEST(TrunkLinesSim, ReadAllDecodesTheSample) {
    testing::SimEngine s;
    s.Select({&TDataStream::SelTrunks});
    ASSERT_EQ(s.ReadAll(), 1);
    EXPECT_TRUE(s.ui.Messages.empty());
    const auto& t = s.data->Trunks;

    EXPECT_EQ(t[0].Dir01, 1);
    EXPECT_EQ(t[0].Dir9, 1);
    EXPECT_EQ(t[0].TarINCall, 1);
    EXPECT_EQ(t[0].ToneDial, 1);
    EXPECT_EQ(t[0].DayTable, 1);
    EXPECT_EQ(t[0].NightTable, 2);
    EXPECT_EQ(t[0].MGDigit, 8);

    EXPECT_EQ(t[1].AutoDial, "8P495");
    EXPECT_EQ(t[1].MGDigit, 0);
    EXPECT_EQ(t[1].SLType, 2);
    EXPECT_EQ(t[1].ActivePauseAfter8, 1);
    EXPECT_EQ(t[1].BlockedWith, 204);
    EXPECT_EQ(t[2].BlockedWith, 202);

    EXPECT_EQ(t[6].AutoDial, "T*21#");
    EXPECT_EQ(t[6].SLType, 3);
    EXPECT_EQ(t[6].MGDigit, 9);
    EXPECT_EQ(t[7].OutgoingCall, 1);
}

TEST(TrunkLinesSim, DecodeEncodeWriteLeavesTheExchangeAsItWas) {
    for (const char* model : {"KVT700-1", "RD16"}) {
        SCOPED_TRACE(model);
        testing::SimEngine s({model, "24,4"});
        s.Select({&TDataStream::SelTrunks});
        ASSERT_EQ(s.ReadAll(), 1);
        const auto before = s.exchange->State().blocks;
        const int trunks = s.engine->Identity.TrunkCount;

        s.data->Trunks[1].DayTable = 7;
        s.data->Trunks[1].AutoDial = "";
        EncodeTrunkLines(*s.engine, *s.data);
        ASSERT_EQ(s.WriteAll(), 1);
        EXPECT_TRUE(s.ui.Messages.empty());
        const auto after = s.exchange->State().blocks;
        for (int t = 0; t < trunks; ++t) {
            Bytes want = before.at({0x48, t});
            if (t == 1) want[2] = 7, want[6] = want[7] = want[8] = 0;
            EXPECT_EQ(after.at({0x48, t}), want) << "trunk " << t;
        }
    }
}

TEST(TrunkLinesSim, TimeOutReportsAndDecodesEmptyTrunks) {
    testing::SimEngine s;
    s.Select({&TDataStream::SelTrunks});
    const int requests = RequestsBefore(s, "read 48 03");
    s.data->Trunks[0] = Everything(202);
    s.exchange->SetFaults({.deadAfter = requests});
    s.ui.Messages.clear();
    s.ReadAll();
    EXPECT_TRUE(s.ui.Showed("Не могу прочитать таблицы СЛ. Выход по time-out"));
    EXPECT_TRUE(std::all_of(s.engine->Trunks.Bytes.begin(), s.engine->Trunks.Bytes.end(),
                            [](std::uint8_t x) { return x == 0; }));
    for (int t = 0; t < 75; ++t) {
        const TSL& sl = s.data->Trunks[t];
        EXPECT_EQ(sl.Dir01 + sl.ToneDial + sl.DISA, 0);
        EXPECT_EQ(sl.DayTable, -1);
        EXPECT_EQ(sl.MGDigit, 8);
        EXPECT_EQ(sl.SLType, 1);
        EXPECT_EQ(sl.AutoDial, "");
        EXPECT_EQ(sl.BlockedWith, -1);
    }
}

TEST(TrunkLinesSim, RefusedWriteIsReported) {
    testing::SimEngine s;
    s.Select({&TDataStream::SelTrunks});
    ASSERT_EQ(s.ReadAll(), 1);
    s.exchange->SetFaults({.refuseWrites = -1});
    EXPECT_EQ(WriteTrunkLines(*s.engine), kTimeOut);
    EXPECT_EQ(s.WriteAll(), -1);
    EXPECT_TRUE(s.ui.Showed("Не могу записать таблицу СЛ, нет связи с АТС."));
}

TEST(TrunkLinesSim, AnExchangeWithoutTrunks) {
    sim::ExchangeState state = sim::MakeSample({"RD16", "24,4"});
    state.ident[8] = 0;
    testing::SimEngine s(std::move(state));
    s.Select({&TDataStream::SelTrunks});
    ASSERT_EQ(s.ReadAll(), 1);
    EXPECT_EQ(ReadTrunkLines(*s.engine), kNoBlocks);
    s.exchange->ClearTranscript();
    EXPECT_EQ(WriteTrunkLines(*s.engine), 1) << "nothing to write is no failure";
    for (const std::string& line : s.exchange->Transcript()) EXPECT_EQ(line.rfind("probe", 0), 0u) << line;
}

}  // namespace
}  // namespace stanset
