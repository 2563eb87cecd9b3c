// System-wide settings and the flash block: codecs, file images, and the exchange end to end.
#include "tables/features/all_sys.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/main_class.h"
#include "simulator.h"
#include "support/fake_line.h"
#include "support/recording_ui.h"
#include "support/sim_engine.h"
#include "support/temp_dir.h"
#include "tables/features/flash.h"

namespace stanset {
namespace {

using Bytes = std::vector<std::uint8_t>;

// An engine with no exchange behind it: its link check always fails.
struct Offline {
    explicit Offline(int timeUnit = 6) { e.Identity.TimeUnit = static_cast<std::uint8_t>(timeUnit); }
    void Put(TRawImage& raw, const Bytes& bytes) {
        std::copy(bytes.begin(), bytes.end(), raw.Block(0).begin());
        raw.Counts[0] = static_cast<std::uint16_t>(bytes.size());
    }
    static Bytes Held(const TRawImage& raw) { return {raw.Payload(0).begin(), raw.Payload(0).end()}; }

    testing::TempDir dir;
    testing::RecordingUI ui;
    testing::FakeLine line;
    TMainClass e{ui, {.workDir = dir.Path(), .device = {}, .line = &line}};
    TDataStream d{dir.Path()};
};

std::vector<int> Flags(const TAllSys& a) {
    return {a.UniformTrunkLoad,   a.IncomingBilling,  a.ToneDialling,    a.NoLocalOutgoingBilling,
            a.NoPhoneProgramming, a.AutoEraseBilling, a.DisaTrunkSignal, a.ZeroTrunkPrefix};
}

TEST(AllSysCodec, BlocksAndRecordsRoundTrip) {
    struct Case {
        int timeUnit;
        Bytes block;
        std::vector<int> flags;
        TTimeOfDay day, night;
    } cases[] = {
        {6, {0xA5, 0x58, 0x02, 0xE0, 0x2E}, {1, 0, 1, 0, 0, 1, 0, 1}, {1, 0, 0}, {20, 0, 0}},
        {6, {0x5A, 0x00, 0x00, 0x3F, 0x38}, {0, 1, 0, 1, 1, 0, 1, 0}, {0, 0, 0}, {23, 59, 54}},
        {2, {0xFF, 0xBF, 0xA8, 0x01, 0x00}, {1, 1, 1, 1, 1, 1, 1, 1}, {23, 59, 58}, {0, 0, 2}},
        {0, {0x00, 0xB0, 0x04, 0x00, 0x00}, {0, 0, 0, 0, 0, 0, 0, 0}, {2, 0, 0}, {0, 0, 0}},  // 0 means 6 s
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.timeUnit);
        Offline o(c.timeUnit);
        o.Put(o.e.AllSys, c.block);
        DecodeSystemSettings(o.e, o.d);
        EXPECT_EQ(Flags(o.d.AllSys), c.flags);
        EXPECT_EQ(o.d.AllSys.DayModeStart, c.day);
        EXPECT_EQ(o.d.AllSys.NightModeStart, c.night);

        o.e.AllSys.Clear();
        EncodeSystemSettings(o.e, o.d);
        EXPECT_EQ(Offline::Held(o.e.AllSys), c.block);
        EXPECT_TRUE(o.e.Changed[kTabAllSys]);
    }
}

TEST(AllSysCodec, TimesAreTruncatedToTheUnitAndClampedToSixteenBits) {
    struct Case {
        int timeUnit;
        TTimeOfDay written;
        std::uint16_t count;
        TTimeOfDay readBack;
    } cases[] = {
        {6, {7, 30, 5}, 4500, {7, 30, 0}},
        {1, {18, 12, 15}, 65535, {18, 12, 15}},
        {1, {23, 0, 0}, 65535, {18, 12, 15}},  // 82800 counts do not fit
        {6, {-1, 0, 0}, 0, {0, 0, 0}},         // no time of day at all
    };
    for (const Case& c : cases) {
        Offline o(c.timeUnit);
        o.d.AllSys.DayModeStart = c.written;
        EncodeSystemSettings(o.e, o.d);
        const auto b = o.e.AllSys.Block(0);
        EXPECT_EQ(MakeWord(b[1], b[2]), c.count);
        DecodeSystemSettings(o.e, o.d);
        EXPECT_EQ(o.d.AllSys.DayModeStart, c.readBack);
    }
}

TEST(AllSysCodec, ShortAndLongBlocks) {
    Offline o;
    // Bytes the block does not hold read as 0, whatever the buffer still has there.
    o.Put(o.e.AllSys, {0x01, 0x58, 0x02, 0x58, 0x02});
    o.e.AllSys.Counts[0] = 2;
    DecodeSystemSettings(o.e, o.d);
    EXPECT_EQ(o.d.AllSys.UniformTrunkLoad, 1);
    EXPECT_EQ(o.d.AllSys.DayModeStart, (TTimeOfDay{0, 8, 48}));  // 0x58 alone: 88 units
    EXPECT_EQ(o.d.AllSys.NightModeStart, (TTimeOfDay{}));

    // A longer reply keeps its tail in the buffer, but the editor's block is five bytes.
    o.Put(o.e.AllSys, {0x01, 0x58, 0x02, 0x58, 0x02, 0x77, 0x66});
    DecodeSystemSettings(o.e, o.d);
    EncodeSystemSettings(o.e, o.d);
    EXPECT_EQ(Offline::Held(o.e.AllSys), (Bytes{0x01, 0x58, 0x02, 0x58, 0x02}));

    ClearSystemSettings(o.e);
    DecodeSystemSettings(o.e, o.d);
    EXPECT_EQ(Flags(o.d.AllSys), std::vector<int>(8, 0));
    EXPECT_EQ(o.e.AllSys.Counts[0], 0);
}

TEST(AllSysCodec, NoLinkLeavesTheBufferAndWritesReportZero) {
    Offline o;
    o.Put(o.e.AllSys, {0x26, 1, 2, 3, 4});
    EXPECT_EQ(ReadSystemSettings(o.e), kNoLink);
    EXPECT_EQ(Offline::Held(o.e.AllSys), (Bytes{0x26, 1, 2, 3, 4}));
    EXPECT_EQ(WriteSystemSettings(o.e), 0);
}

// The one-block tables share these copies; the system-wide and flash sections stand for all.
TEST(AllSysFileImage, RoundTripAndMalformedPayloads) {
    Offline o;
    const Bytes block{0x26, 0x40, 0x12, 0x20, 0x2F};
    o.Put(o.e.AllSys, block);
    TFileImage image(100);
    allsys::CopyToFileImage(o.e, image);
    EXPECT_EQ(Bytes(image.Payload().begin(), image.Payload().end()), block);

    Offline other;
    ASSERT_TRUE(allsys::CopyFromFileImage(other.e, image));
    EXPECT_EQ(Offline::Held(other.e.AllSys), block);

    // More than the engine's slot holds: refused, the engine untouched.
    TFileImage wide(1000);
    ASSERT_TRUE(wide.Assign(Bytes(101, 0x11)));
    EXPECT_FALSE(allsys::CopyFromFileImage(other.e, wide));
    EXPECT_EQ(Offline::Held(other.e.AllSys), block);

    // No section: an empty table.
    TFileImage none(100);
    ASSERT_TRUE(allsys::CopyFromFileImage(other.e, none));
    EXPECT_EQ(other.e.AllSys.Counts[0], 0);
    EXPECT_EQ(other.e.AllSys.Block(0)[0], 0);
}

TEST(FlashFileImage, CarriedUnchangedAndRefusedWhenTooLong) {
    Offline o;
    Bytes block(255);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 7);
    o.Put(o.e.Flash, block);
    TFileImage image(255);
    flash::CopyToFileImage(o.e, image);
    Offline other;
    ASSERT_TRUE(flash::CopyFromFileImage(other.e, image));
    EXPECT_EQ(Offline::Held(other.e.Flash), block);

    TFileImage wide(1000);
    ASSERT_TRUE(wide.Assign(Bytes(501, 1)));
    EXPECT_FALSE(flash::CopyFromFileImage(other.e, wide));
    EXPECT_EQ(Offline::Held(other.e.Flash), block);

    // A buffer held longer than the section's image is cut to the image, never beyond it.
    o.Put(o.e.Flash, Bytes(400, 9));
    flash::CopyToFileImage(o.e, image);
    EXPECT_EQ(image.Length, 255);

    ClearFlash(other.e);
    EXPECT_EQ(other.e.Flash.Counts[0], 0);
    EXPECT_EQ(ReadFlash(other.e), kNoBlocks);  // no lines known: nothing to ask for
}

// ---- against the simulated exchange ----------------------------------------------------

std::vector<int> FlagBits(std::uint8_t b) {
    std::vector<int> v;
    for (int i = 0; i < 8; ++i) v.push_back((b >> i) & 1);
    return v;
}

TEST(AllSysExchange, SamplesDecodeAndWriteBackUnchanged) {
    struct Case {
        const char* model;
        const char* firmware;
        std::uint8_t flags;
        TTimeOfDay day, night;
    } cases[] = {
        {"KVT700-1", "24,7", 0x26, {8, 0, 0}, {20, 0, 0}},
        {"KVT250", "24,3", 0x07, {7, 30, 0}, {19, 0, 0}},
        {"RD16", "23,8", 0x04, {8, 0, 0}, {23, 0, 0}},
        {"RD32", "24,4", 0x85, {9, 0, 0}, {21, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        testing::SimEngine s({c.model, c.firmware});
        s.Select({&TDataStream::SelAllSys, &TDataStream::SelFlash});
        ASSERT_EQ(s.ReadAll(), 1);
        EXPECT_TRUE(s.ui.Messages.empty());
        EXPECT_EQ(Flags(s.data->AllSys), FlagBits(c.flags));
        EXPECT_EQ(s.data->AllSys.DayModeStart, c.day);
        EXPECT_EQ(s.data->AllSys.NightModeStart, c.night);
        EXPECT_EQ(Offline::Held(s.engine->Flash), s.Held(0x40, 0x02));

        const auto before = s.exchange->State().blocks;
        EncodeSystemSettings(*s.engine, *s.data);
        ASSERT_EQ(s.WriteAll(), 1);
        EXPECT_EQ(s.exchange->State().blocks, before);
    }
}

TEST(AllSysExchange, TimeOutGivesAnEmptyRecordAndRefusedWritesAreNotReported) {
    testing::SimEngine s;
    s.Select({&TDataStream::SelAllSys});
    ASSERT_EQ(s.ReadAll(), 1);
    s.ChangeExchange([](sim::ExchangeState& st) { st.blocks[{0x0A, -1}] = Bytes(101, 1); });
    ASSERT_EQ(s.ReadAll(), 1);
    EXPECT_TRUE(s.ui.Showed("Не могу прочитать таблицу общесистемных установок. Выход по time-out"));
    EXPECT_EQ(s.engine->AllSys.Counts[0], 0);
    EXPECT_EQ(Flags(s.data->AllSys), std::vector<int>(8, 0));
    EXPECT_EQ(s.data->AllSys.NightModeStart, (TTimeOfDay{}));

    s.exchange->SetFaults({.refuseWrites = -1});
    EncodeSystemSettings(*s.engine, *s.data);
    EXPECT_EQ(WriteSystemSettings(*s.engine), kTimeOut);
}

TEST(FlashExchange, CarriedBetweenExchangesClearedAndTimedOut) {
    testing::SimEngine from({"RD32", "24,4"});
    testing::SimEngine to({"RD32", "24,7"});
    from.Select({&TDataStream::SelFlash});
    to.Select({&TDataStream::SelFlash});
    ASSERT_EQ(from.ReadAll(), 1);
    ASSERT_EQ(to.ReadAll(), 1);
    ASSERT_NE(from.Held(0x40, 0x02), to.Held(0x40, 0x02));

    // Saved from one, loaded into the other, written there: byte for byte.
    TFileImage image(255);
    flash::CopyToFileImage(*from.engine, image);
    ASSERT_TRUE(flash::CopyFromFileImage(*to.engine, image));
    ASSERT_EQ(to.WriteAll(), 1);
    EXPECT_EQ(to.Held(0x40, 0x02), from.Held(0x40, 0x02));

    ClearFlash(*to.engine);
    ASSERT_EQ(to.WriteAll(), 1);
    EXPECT_TRUE(to.Held(0x40, 0x02).empty());

    // A table that never answers correctly: empty afterwards.
    from.exchange->SetFaults({.badSum = -1});
    EXPECT_EQ(ReadFlash(*from.engine), kTimeOut);
    EXPECT_EQ(from.engine->Flash.Counts[0], 0);
    EXPECT_EQ(from.engine->Flash.Block(0)[0], 0);

    from.exchange->SetFaults({.refuseWrites = -1});
    EXPECT_EQ(from.WriteAll(), -1);
    EXPECT_TRUE(from.ui.Showed("Не могу записать таблицу flash-установок, нет связи с АТС."));
}

}  // namespace
}  // namespace stanset
