#include "tables/features/loudspeakers.h"

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

struct Bench {
    explicit Bench(const std::string& model, int channels = 2) {
        e.Identity.Model = model;
        e.Identity.GGSBlocks = static_cast<std::uint16_t>(channels);
    }
    void Put(int i, const Bytes& block) {
        std::copy(block.begin(), block.end(), e.GGS.Block(i).begin());
        e.GGS.Counts[i] = static_cast<std::uint16_t>(block.size());
    }
    Bytes Got(int i) const {
        const auto p = e.GGS.Payload(i);
        return {p.begin(), p.end()};
    }
    testing::TempDir dir;
    testing::RecordingUI ui;
    testing::FakeLine line;
    TMainClass e{ui, {dir.Path(), "", &line}};
    TDataStream d;
};

TEST(LoudspeakersCodec, ChannelsRoundTripOnBothFamilies) {
    struct Case {
        const char* model;
        std::uint8_t autoOff;
        const char* port;
        Bytes block;
    } cases[] = {
        {"KVT700-1", 0, "205", {6, 0}},
        {"KVT250", 1, "349", {150, 1}},
        {"KVT700-1", 1, "", {0, 1}},
        {"RD16", 0, "210", {9, 0}},
        {"RD32", 1, "277", {64, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model + std::string(" ") + c.port);
        Bench b(c.model, 1);
        b.Put(0, c.block);
        DecodeLoudspeakers(b.e, b.d);
        EXPECT_EQ(b.d.GGS[0].AutoOff, c.autoOff);
        EXPECT_EQ(b.d.GGS[0].LinkPort, c.port);
        EXPECT_EQ(EncodeLoudspeakers(b.e, b.d), 0);
        EXPECT_EQ(b.Got(0), c.block);
        EXPECT_TRUE(b.e.Changed[kTabGGS]);

        Bench fresh(c.model, 1);
        StoreLoudspeaker(fresh.d, 0, c.autoOff, c.port);
        EncodeLoudspeakers(fresh.e, fresh.d);
        EXPECT_EQ(fresh.Got(0), c.block);
    }
}

TEST(LoudspeakersCodec, TheSwitchIsBitZeroAndIsWrittenAsOneByte) {
    Bench b("KVT700-1", 3);
    b.Put(0, {6, 0xFF, 0x77});  // the encoder writes the two bytes of the layout only
    b.Put(1, {6, 0xFE});
    b.Put(2, {6});              // a short block: the missing switch reads as 0
    DecodeLoudspeakers(b.e, b.d);
    EXPECT_EQ(b.d.GGS[0].AutoOff, 1);
    EXPECT_EQ(b.d.GGS[1].AutoOff, 0);
    EXPECT_EQ(b.d.GGS[2].AutoOff, 0);
    EncodeLoudspeakers(b.e, b.d);
    EXPECT_EQ(b.Got(0), (Bytes{6, 1}));
    EXPECT_EQ(b.Got(1), (Bytes{6, 0}));
    EXPECT_EQ(b.Got(2), (Bytes{6, 0}));
}

TEST(LoudspeakersCodec, APortThatNamesNoLineLeavesItsSlot) {
    for (const char* port : {"150", "abc", "600"}) {
        SCOPED_TRACE(port);
        Bench b("KVT700-1", 2);
        b.Put(0, {7, 1});
        StoreLoudspeaker(b.d, 0, false, port);
        StoreLoudspeaker(b.d, 1, true, "205");
        EXPECT_EQ(EncodeLoudspeakers(b.e, b.d), -1);
        EXPECT_EQ(b.Got(0), (Bytes{7, 1}));
        EXPECT_EQ(b.Got(1), (Bytes{6, 1}));
    }
}

TEST(LoudspeakersCodec, AModelWithoutANumberingPlanKeepsTheRecords) {
    Bench b("RD900", 1);
    b.Put(0, {6, 1});
    b.d.GGS[0].LinkPort = "kept";
    DecodeLoudspeakers(b.e, b.d);
    EXPECT_EQ(b.d.GGS[0].LinkPort, "kept");
    EXPECT_EQ(b.d.GGSCount, 1);
    b.d.GGS[0].LinkPort = "205";
    EXPECT_EQ(EncodeLoudspeakers(b.e, b.d), -1);
    EXPECT_EQ(b.Got(0), (Bytes{6, 1}));
}

TEST(LoudspeakersDecode, MarksTheAttachedPortAndUsesTheSlotsThatExist) {
    Bench b("KVT700-1", 12);
    auto port = std::make_shared<TPort>();
    port->Number = 205;
    port->Kind = kPortLine;
    b.d.Ports.push_back(port);
    b.Put(9, {6, 0});
    DecodeLoudspeakers(b.e, b.d);
    EXPECT_EQ(b.d.GGSCount, 10);
    EXPECT_EQ(port->Kind, kPortGGS);
    EXPECT_EQ(port->KindText, "ГГС");
}

TEST(LoudspeakersTransfer, NoChannelsOrNoLinkGiveTheirOwnCodes) {
    Bench none("KVT700-1", 0);
    EXPECT_EQ(WriteLoudspeakers(none.e), -1);
    EXPECT_EQ(ReadLoudspeakers(none.e), -2);
    EXPECT_TRUE(none.line.Written.empty());

    Bench dead("KVT700-1", 2);
    EXPECT_EQ(WriteLoudspeakers(dead.e), -2);
    EXPECT_EQ(ReadLoudspeakers(dead.e), -1);
}

TEST(LoudspeakersFile, ImageRoundTripAndMalformedPayloads) {
    Bench b("KVT700-1", 2);
    b.Put(0, {6, 1});
    b.Put(1, {150, 0});
    TFileImage image(128);
    ggs::CopyToFileImage(b.e, image);
    EXPECT_EQ(Bytes(image.Bytes.begin(), image.Bytes.begin() + image.Length), (Bytes{2, 6, 1, 2, 150, 0}));

    Bench back("KVT700-1", 2);
    ASSERT_TRUE(ggs::CopyFromFileImage(back.e, image));
    EXPECT_EQ(back.Got(0), b.Got(0));
    EXPECT_EQ(back.Got(1), b.Got(1));

    ASSERT_TRUE(image.Assign(Bytes{2, 6, 1, 3, 1}));
    EXPECT_FALSE(ggs::CopyFromFileImage(back.e, image));
    EXPECT_EQ(back.Got(1), b.Got(1));
}

class LoudspeakersSim : public ::testing::TestWithParam<const char*> {};

TEST_P(LoudspeakersSim, ReadDecodeEncodeWriteLeavesTheExchangeAsItWas) {
    testing::SimEngine sim({GetParam(), "24,7"});
    sim.Select({&TDataStream::SelGGS});
    ASSERT_EQ(sim.ReadAll(), 1);
    const bool kvt = std::string(GetParam()).starts_with("KVT");
    const TDataStream& d = *sim.data;
    ASSERT_EQ(d.GGSCount, kvt ? 6 : 2);
    EXPECT_EQ(d.GGS[0].LinkPort, kvt ? "257" : "286");
    EXPECT_EQ(d.GGS[0].AutoOff, 0);
    if (kvt) {
        EXPECT_EQ(d.GGS[2].AutoOff, 1);
    }

    std::vector<sim::Bytes> held;
    for (int i = 0; i < d.GGSCount; ++i) held.push_back(sim.Held(0x5C, i));
    EXPECT_EQ(EncodeLoudspeakers(*sim.engine, *sim.data), 0);
    sim.ChangeExchange([](sim::ExchangeState& s) { s.blocks.erase({0x5C, 0}); });
    ASSERT_EQ(sim.WriteAll(), 1);
    for (int i = 0; i < d.GGSCount; ++i) EXPECT_EQ(sim.Held(0x5C, i), held[i]) << i;
}

INSTANTIATE_TEST_SUITE_P(Models, LoudspeakersSim, ::testing::Values("KVT700-1", "RD32"));

TEST(LoudspeakersSimFaults, ATimeOutLeavesChannelsWithoutAPortAndARefusedWriteIsATimeOut) {
    testing::SimEngine sim;
    sim.Select({&TDataStream::SelGGS});
    sim.ChangeExchange([](sim::ExchangeState& s) { s.blocks[{0x5C, 4}] = sim::Bytes(65, 1); });
    ASSERT_EQ(sim.ReadAll(), 1);
    EXPECT_TRUE(sim.ui.Showed("Не могу прочитать таблицу ГГС-ов. Выход по time-out"));
    EXPECT_TRUE(std::all_of(sim.engine->GGS.Counts.begin(), sim.engine->GGS.Counts.end(), [](auto n) { return n == 0; }));
    EXPECT_EQ(sim.data->GGS[0].LinkPort, "");

    sim.exchange->SetFaults({.refuseWrites = -1});
    EXPECT_EQ(WriteLoudspeakers(*sim.engine), -5);
}

}  // namespace
}  // namespace stanset
