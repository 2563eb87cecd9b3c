#include "tables/features/intercoms.h"

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

// An engine without an exchange: the codecs only need its identity and images.
struct Bench {
    explicit Bench(const std::string& model, int intercoms = 4) {
        e.Identity.Model = model;
        e.Identity.IntercomBlocks = static_cast<std::uint16_t>(intercoms);
    }
    void Put(int i, const Bytes& block) {
        std::copy(block.begin(), block.end(), e.Intercoms.Block(i).begin());
        e.Intercoms.Counts[i] = static_cast<std::uint16_t>(block.size());
        e.Intercoms.BlocksRead = std::max(e.Intercoms.BlocksRead, i + 1);
    }
    Bytes Got(int i) const {
        const auto p = e.Intercoms.Payload(i);
        return {p.begin(), p.end()};
    }
    testing::TempDir dir;
    testing::RecordingUI ui;
    testing::FakeLine line;
    TMainClass e{ui, {dir.Path(), "", &line}};
    TDataStream d;
};

bool Same(const TDf& a, const TDf& b) {
    return a.AllALOpening == b.AllALOpening && a.ResetInCall == b.ResetInCall && a.DTMFOpening == b.DTMFOpening &&
           a.DayTable == b.DayTable && a.NightTable == b.NightTable && a.LinkPort == b.LinkPort &&
           a.OpenCode == b.OpenCode;
}

TEST(IntercomsCode, PacksTwoDigitsAByteAndUnpacksBack) {
    struct Case {
        const char* code;
        Bytes bytes;
    } cases[] = {
        {"1203", {0x12, 0xA3}}, {"10", {0x1A}},          {"123", {0x12, 0x30}},
        {"", {}},               {"000", {0xAA, 0xA0}},   {"987654", {0x98, 0x76, 0x54}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        std::uint8_t out[3] = {};
        const std::size_t n = PackOpenCode(c.code, out);
        EXPECT_EQ(Bytes(out, out + n), c.bytes);
        EXPECT_EQ(UnpackOpenCode(c.bytes), c.code);
    }
    std::uint8_t out[3] = {};
    EXPECT_EQ(PackOpenCode("12a", out), 0u);
}

TEST(IntercomsCodec, RecordsAndBlocksRoundTripOnBothFamilies) {
    struct Case {
        const char* model;
        TDf record;
        Bytes block;
    } cases[] = {
        {"KVT700-1", {1, 0, 1, "3", "4", "205", "1203"}, {0x05, 3, 4, 6, 0x12, 0xA3}},
        {"KVT250", {0, 1, 0, "", "48", "", ""}, {0x02, 0, 48, 0}},
        {"KVT700-1", {1, 1, 1, "50", "", "349", "123456"}, {0x07, 50, 0, 150, 0x12, 0x34, 0x56}},
        {"RD16", {0, 0, 1, "1", "2", "210", "10"}, {0x04, 1, 2, 9, 0x1A}},
        {"RD32", {1, 0, 0, "20", "20", "277", "123"}, {0x01, 20, 20, 64, 0x12, 0x30}},
        // Bits 3-7 are the exchange's and survive.
        {"KVT700-1", {1, 0, 0, "", "", "", ""}, {0xF9, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model + std::string(" ") + c.record.LinkPort);
        Bench b(c.model, 1);
        b.Put(0, c.block);
        DecodeIntercoms(b.e, b.d);
        EXPECT_TRUE(Same(b.d.Intercoms[0], c.record));
        EXPECT_EQ(EncodeIntercoms(b.e, b.d), 0);
        EXPECT_EQ(b.Got(0), c.block);

        Bench fresh(c.model, 1);
        fresh.d.Intercoms[0] = c.record;
        fresh.d.IntercomCount = 1;
        EncodeIntercoms(fresh.e, fresh.d);
        DecodeIntercoms(fresh.e, fresh.d);
        EXPECT_TRUE(Same(fresh.d.Intercoms[0], c.record));
        EXPECT_TRUE(fresh.e.Changed[kTabIntercoms]);
    }
}

TEST(IntercomsCodec, ClearingASwitchKeepsTheExchangesBits) {
    Bench b("KVT700-1", 1);
    b.Put(0, {0xF9, 0, 0, 0});
    DecodeIntercoms(b.e, b.d);
    ASSERT_EQ(StoreIntercom(b.d, 0, false, false, false, "", "", "", ""), 1);
    EncodeIntercoms(b.e, b.d);
    EXPECT_EQ(b.Got(0), (Bytes{0xF8, 0, 0, 0}));
}

TEST(IntercomsCodec, ShortOrLongBlocksDecodeWithoutReadingPastThem) {
    Bench b("KVT700-1", 3);
    b.Put(0, {0x07});
    b.Put(1, Bytes(64, 0x99));
    DecodeIntercoms(b.e, b.d);
    EXPECT_TRUE(Same(b.d.Intercoms[0], TDf{1, 1, 1, "", "", "", ""}));
    EXPECT_EQ(b.d.Intercoms[1].LinkPort, "352");
    EXPECT_EQ(b.d.Intercoms[1].OpenCode.size(), 120u);
    EXPECT_TRUE(Same(b.d.Intercoms[2], TDf{}));
    // A code that no intercom can hold keeps its bytes rather than being cut.
    const Bytes before = b.Got(1);
    EXPECT_EQ(EncodeIntercoms(b.e, b.d), -1);
    EXPECT_EQ(b.Got(1), before);
}

TEST(IntercomsCodec, TextsThatNameNoByteKeepWhatTheBlockHeld) {
    struct Case {
        const char* day;
        const char* port;
    } cases[] = {{"300", "205"}, {"x", "205"}, {"3", "abc"}, {"3", "150"}, {"3", "600"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.day) + " " + c.port);
        Bench b("KVT700-1", 1);
        b.Put(0, {0x00, 7, 8, 9});
        DecodeIntercoms(b.e, b.d);
        b.d.Intercoms[0].DayTable = c.day;
        b.d.Intercoms[0].LinkPort = c.port;
        EXPECT_EQ(EncodeIntercoms(b.e, b.d), -1);
        const Bytes got = b.Got(0);
        EXPECT_EQ(got[1], std::string(c.day) == "3" ? 3 : 7);
        EXPECT_EQ(got[3], std::string(c.port) == "205" ? 6 : 9);
    }
}

TEST(IntercomsStore, TheCodeRules) {
    struct Case {
        const char* code;
        int result;
        const char* stored;
    } cases[] = {
        {"", 1, ""},          {"123456", 1, "123456"}, {"1234567", -2, "55"}, {"12a", -1, "12a"},
        {" 123", 1, ""},      {"123  ", 1, "123"},     {"123456  ", 1, "123456"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        TDataStream d;
        d.Intercoms[2].OpenCode = "55";
        EXPECT_EQ(StoreIntercom(d, 2, true, false, true, "3", "", "205", c.code), c.result);
        EXPECT_EQ(d.Intercoms[2].OpenCode, c.stored);
        // The other fields are stored whatever the code.
        EXPECT_TRUE(Same(d.Intercoms[2], TDf{1, 0, 1, "3", "", "205", d.Intercoms[2].OpenCode}));
    }
    TDataStream d;
    EXPECT_EQ(StoreIntercom(d, 64, true, true, true, "", "", "", ""), -3);
    EXPECT_EQ(StoreIntercom(d, -1, true, true, true, "", "", "", ""), -3);
}

TEST(IntercomsDecode, MarksTheAttachedPort) {
    Bench b("KVT700-1", 2);
    for (int n : {205, 206}) {
        auto port = std::make_shared<TPort>();
        port->Number = n;
        port->Kind = kPortLine;
        port->KindText = "AL";
        b.d.Ports.push_back(port);
    }
    b.Put(0, {0, 0, 0, 6});
    b.Put(1, {0, 0, 0, 0});
    DecodeIntercoms(b.e, b.d);
    EXPECT_EQ(b.d.Ports[0]->Kind, kPortIntercom);
    EXPECT_EQ(b.d.Ports[0]->KindText, "Дф");
    EXPECT_EQ(b.d.Ports[1]->Kind, kPortLine);
}

TEST(IntercomsDecode, CountsAboveTheSlotsUseTheSlots) {
    Bench b("KVT700-1", 12);
    DecodeIntercoms(b.e, b.d);
    EXPECT_EQ(b.d.IntercomCount, 10);
    b.d.IntercomCount = 64;
    EncodeIntercoms(b.e, b.d);
    EXPECT_EQ(b.e.Intercoms.BlocksRead, 10);
}

TEST(IntercomsTransfer, NoIntercomsOrNoLinkGiveTheirOwnCodes) {
    Bench none("KVT700-1", 0);
    EXPECT_EQ(WriteIntercoms(none.e), -1);
    EXPECT_EQ(ReadIntercoms(none.e), -2);
    EXPECT_TRUE(none.line.Written.empty());

    Bench dead("KVT700-1", 2);  // the fake line never answers a probe
    EXPECT_EQ(WriteIntercoms(dead.e), -2);
    EXPECT_EQ(ReadIntercoms(dead.e), -1);
}

TEST(IntercomsFile, ImageRoundTripAndMalformedPayloads) {
    Bench b("KVT700-1", 3);
    b.Put(0, {0x05, 3, 4, 6, 0x12, 0xA3});
    b.Put(1, {0x02, 0, 0, 7});
    b.Put(2, {});
    TFileImage image(128);
    intercoms::CopyToFileImage(b.e, image);
    EXPECT_EQ(image.Length, 7 + 5 + 1);

    Bench back("KVT700-1", 3);
    ASSERT_TRUE(intercoms::CopyFromFileImage(back.e, image));
    EXPECT_EQ(back.e.Intercoms.BlocksRead, 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(back.Got(i), b.Got(i));

    // Saved while cleared (nothing held), read back with the file's count: all empty.
    ClearIntercoms(b.e);
    intercoms::CopyToFileImage(b.e, image);
    EXPECT_EQ(image.Length, 0);
    ASSERT_TRUE(intercoms::CopyFromFileImage(back.e, image));
    EXPECT_EQ(back.e.Intercoms.BlocksRead, 3);
    EXPECT_TRUE(back.Got(0).empty());

    for (const Bytes& bad : {Bytes{6, 1, 2}, Bytes{65}}) {
        Bench target("KVT700-1", 3);
        target.Put(0, {9, 9, 9, 9});
        Bytes payload = bad;
        payload.resize(bad[0] == 65 ? 66 : bad.size(), 0);
        ASSERT_TRUE(image.Assign(payload));
        EXPECT_FALSE(intercoms::CopyFromFileImage(target.e, image));
        EXPECT_EQ(target.Got(0), (Bytes{9, 9, 9, 9}));
    }
}

class IntercomsSim : public ::testing::Test {
protected:
    testing::SimEngine sim;
};

TEST_F(IntercomsSim, ReadDecodeEncodeWriteLeavesTheExchangeAsItWas) {
    sim.Select({&TDataStream::SelIntercoms});
    ASSERT_EQ(sim.ReadAll(), 1);
    const TDataStream& d = *sim.data;
    ASSERT_EQ(d.IntercomCount, 4);
    EXPECT_TRUE(Same(d.Intercoms[0], TDf{1, 0, 1, "3", "4", "248", "1203"}));
    EXPECT_TRUE(Same(d.Intercoms[2], TDf{1, 1, 1, "5", "6", "318", "123456"}));
    EXPECT_TRUE(Same(d.Intercoms[3], TDf{0, 0, 0, "", "", "319", ""}));
    TPortPtr* port = nullptr;
    for (TPortPtr& p : sim.data->Ports)
        if (p->Number == 248) port = &p;
    ASSERT_NE(port, nullptr);
    EXPECT_EQ((*port)->Kind, kPortIntercom);

    std::vector<sim::Bytes> held;
    for (int i = 0; i < 4; ++i) held.push_back(sim.Held(0x54, i));
    EXPECT_EQ(EncodeIntercoms(*sim.engine, *sim.data), 0);
    sim.ChangeExchange([](sim::ExchangeState& s) {
        for (int i = 0; i < 4; ++i) s.blocks.erase({0x54, i});
    });
    ASSERT_EQ(sim.WriteAll(), 1);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(sim.Held(0x54, i), held[i]) << i;
}

TEST_F(IntercomsSim, ATimeOutLeavesEmptyIntercoms) {
    sim.Select({&TDataStream::SelIntercoms});
    sim.ChangeExchange([](sim::ExchangeState& s) { s.blocks[{0x54, 2}] = sim::Bytes(65, 1); });
    ASSERT_EQ(sim.ReadAll(), 1);
    EXPECT_TRUE(sim.ui.Showed("Не могу прочитать таблицу домофонов. Выход по time-out"));
    EXPECT_TRUE(std::all_of(sim.engine->Intercoms.Bytes.begin(), sim.engine->Intercoms.Bytes.end(),
                            [](auto b) { return b == 0; }));
    EXPECT_EQ(sim.data->IntercomCount, 4);
    EXPECT_TRUE(Same(sim.data->Intercoms[0], TDf{}));
}

TEST_F(IntercomsSim, ARefusedWriteIsATimeOut) {
    sim.Select({&TDataStream::SelIntercoms});
    ASSERT_EQ(sim.ReadAll(), 1);
    sim.exchange->SetFaults({.refuseWrites = -1});
    EXPECT_EQ(WriteIntercoms(*sim.engine), -5);
}

}  // namespace
}  // namespace stanset
