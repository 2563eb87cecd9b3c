// Time settings and their defaults: codecs by model and firmware, factory values, file
// images, and the exchange end to end.
#include "tables/features/time_settings.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/main_class.h"
#include "simulator.h"
#include "support/fake_line.h"
#include "support/recording_ui.h"
#include "support/sim_engine.h"
#include "support/temp_dir.h"

namespace stanset {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Offline {
    Offline(const char* model, const char* version) {
        e.Identity.Model = model;
        e.Identity.Version = version;
    }
    static void Put(TRawImage& raw, const Bytes& bytes) {
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

Bytes Words(int count, std::uint16_t first) {
    Bytes b;
    for (int k = 0; k < count; ++k) {
        const auto w = static_cast<std::uint16_t>(first + 37 * k);
        b.push_back(static_cast<std::uint8_t>(w & 0xFF));
        b.push_back(static_cast<std::uint8_t>(w >> 8));
    }
    return b;
}

// The layouts differ by family and firmware: 48 bytes on an RD before 24,4, 50 on a KVT,
// 52 on both from 24,4, where an RD carries T34 along.
TEST(TimeSettingsCodec, BlocksRoundTripByModelAndFirmware) {
    struct Case {
        const char* model;
        const char* version;
        int length;
    } cases[] = {
        {"RD16", "23,8", 48},   {"RD32", "24,3", 48},     {"RD32", "24,4", 52},
        {"KVT250", "23,8", 50}, {"KVT700-1", "24,3", 50}, {"KVT700-1", "24,7", 52},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + c.version);
        Offline o(c.model, c.version);
        const Bytes block = Words(c.length / 2, 0x00A0);
        Offline::Put(o.e.TimeSettings, block);
        DecodeTimeSettings(o.e, o.d);
        EXPECT_FLOAT_EQ(o.d.TimeSettings.Value[0], 20.0f);
        EXPECT_FLOAT_EQ(o.d.TimeSettings.Value[c.length / 2 - 1], (0xA0 + 37 * (c.length / 2 - 1)) / 8.0f);
        for (int k = c.length / 2; k < kTimeParameters; ++k) EXPECT_EQ(o.d.TimeSettings.Value[k], 0.0f) << k;

        o.e.TimeSettings.Clear();
        EncodeTimeSettings(o.e, o.d);
        EXPECT_EQ(Offline::Held(o.e.TimeSettings), block);
        EXPECT_TRUE(o.e.Changed[kTabTimeSettings]);
    }
}

TEST(TimeSettingsCodec, ValuesAreTruncatedToEighthsAndClamped) {
    struct Case {
        float seconds;
        std::uint16_t eighths;
    } cases[] = {
        {20.05f, 160}, {0.124f, 0}, {8191.875f, 65535}, {10237.5f, 65535}, {-3.0f, 0}, {3000.0f, 24000},
    };
    Offline o("KVT700-1", "24,7");
    for (const Case& c : cases) {
        o.d.TimeSettings.Value[3] = c.seconds;
        EncodeTimeSettings(o.e, o.d);
        const auto b = o.e.TimeSettings.Block(0);
        EXPECT_EQ(MakeWord(b[6], b[7]), c.eighths) << c.seconds;
    }
}

TEST(TimeSettingsCodec, ShortBlocksReadTheirMissingBytesAsZero) {
    Offline o("KVT700-1", "24,7");
    o.d.TimeSettings.Value.fill(99.0f);
    Bytes block = Words(26, 0x0100);
    Offline::Put(o.e.TimeSettings, block);
    o.e.TimeSettings.Counts[0] = 49;  // from a file: T34's high byte is missing
    DecodeTimeSettings(o.e, o.d);
    EXPECT_FLOAT_EQ(o.d.TimeSettings.Value[23], MakeWord(block[46], block[47]) / 8.0f);
    EXPECT_FLOAT_EQ(o.d.TimeSettings.Value[24], block[48] / 8.0f);
    EXPECT_EQ(o.d.TimeSettings.Value[25], 0.0f);

    o.e.TimeSettings.Counts[0] = 0;  // what a time-out leaves
    DecodeTimeSettings(o.e, o.d);
    for (float v : o.d.TimeSettings.Value) EXPECT_EQ(v, 0.0f);
}

TEST(TimeSettingsCodec, DefaultsGiveStepsAndDefaultSteps) {
    struct Case {
        const char* version;
        int count;
        bool t34, t35Step, t35Default;
    } cases[] = {
        {"24,7", 52, true, true, true},
        {"24,3", 52, true, true, false},  // T35's default only from 24,4
        {"24,7", 50, true, false, false},
        {"24,7", 48, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        Offline o("KVT700-1", c.version);
        o.d.TimeSettings.Step.fill(-1.0f);
        o.d.TimeSettings.DefaultSteps.fill(99);
        Bytes block(52);
        for (int k = 0; k < 26; ++k) block[2 * k] = 0x28, block[2 * k + 1] = 0x30;  // 0x3028
        Offline::Put(o.e.TimeDefaults, Bytes(block.begin(), block.begin() + c.count));
        DecodeTimeDefaults(o.e, o.d);
        const TTimeSettings& t = o.d.TimeSettings;
        EXPECT_FLOAT_EQ(t.Step[0], 10.0f);
        EXPECT_EQ(t.DefaultSteps[0], 3);
        EXPECT_FLOAT_EQ(t.Step[24], c.t34 ? 10.0f : -1.0f);
        EXPECT_EQ(t.DefaultSteps[24], c.t34 ? 3 : 99);
        EXPECT_FLOAT_EQ(t.Step[25], c.t35Step ? 10.0f : -1.0f);
        EXPECT_EQ(t.DefaultSteps[25], c.t35Default ? 3 : 99);
    }
}

TEST(TimeSettingsCodec, ResetGivesTheFactoryValues) {
    Offline o("RD16", "23,8");
    ResetTimeSettings(o.e);
    EXPECT_EQ(o.e.TimeSettings.Counts[0], 52);
    o.e.Identity.Version = "24,7";
    DecodeTimeSettings(o.e, o.d);
    const auto& v = o.d.TimeSettings.Value;
    EXPECT_FLOAT_EQ(v[0], 20.0f);
    EXPECT_FLOAT_EQ(v[17], 3000.0f);  // T27
    EXPECT_FLOAT_EQ(v[19], 1200.0f);  // T29
    EXPECT_FLOAT_EQ(v[25], 3.0f);     // T35
    for (int k = 0; k < kTimeParameters; ++k)
        EXPECT_FLOAT_EQ(v[k] * 8, kTimeParameterTable[k].FactoryEighths) << kTimeParameterTable[k].Label;
    EXPECT_STREQ(kTimeParameterTable[2].Description, "Время ожидания набора первой цифры в состоянии \"Готовность\"");
}

TEST(TimeSettingsCodec, EditorRowsFollowModelAndFirmware) {
    Offline kvt("KVT250", "24,3"), rd("RD32", "24,4");
    EXPECT_TRUE(TimeParameterShown(kvt.e, 24));
    EXPECT_FALSE(TimeParameterShown(kvt.e, 25));
    EXPECT_FALSE(TimeParameterShown(rd.e, 24));
    EXPECT_TRUE(TimeParameterShown(rd.e, 25));
    EXPECT_FALSE(TimeParameterShown(rd.e, 26));
}

TEST(TimeSettingsCodec, NoLinkKeepsBothBlocksAndTellsAboutTheDefaults) {
    Offline o("KVT700-1", "24,7");
    Offline::Put(o.e.TimeSettings, {1, 2, 3, 4});
    Offline::Put(o.e.TimeDefaults, {5, 6});
    EXPECT_EQ(ReadTimeSettings(o.e), kNoLink);
    EXPECT_EQ(Offline::Held(o.e.TimeSettings), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(ReadTimeDefaults(o.e, o.ui), kNoLink);
    EXPECT_EQ(Offline::Held(o.e.TimeDefaults), (Bytes{5, 6}));
    EXPECT_TRUE(o.ui.Showed("Ошибка чтения умолчаний временных установок. Нет связи."));
    EXPECT_EQ(WriteTimeSettings(o.e), 0);
}

TEST(TimeSettingsFileImage, RoundTripAndMalformedPayloads) {
    Offline o("KVT700-1", "24,7");
    ResetTimeSettings(o.e);
    TFileImage image(128);
    timesettings::CopyToFileImage(o.e, image);
    EXPECT_EQ(image.Length, 52);
    Offline other("KVT700-1", "24,7");
    ASSERT_TRUE(timesettings::CopyFromFileImage(other.e, image));
    EXPECT_EQ(Offline::Held(other.e.TimeSettings), Offline::Held(o.e.TimeSettings));

    TFileImage wide(1000);
    ASSERT_TRUE(wide.Assign(Bytes(256, 1)));
    EXPECT_FALSE(timesettings::CopyFromFileImage(other.e, wide));
    EXPECT_EQ(Offline::Held(other.e.TimeSettings), Offline::Held(o.e.TimeSettings));

    // The defaults ride in the header; the header may hold more than the engine's buffer.
    Offline::Put(o.e.TimeDefaults, Words(26, 0x3028));
    const auto header = timesettings::DefaultsForHeader(o.e);
    ASSERT_TRUE(timesettings::CopyDefaultsFromHeader(other.e, header));
    EXPECT_EQ(Offline::Held(other.e.TimeDefaults), Offline::Held(o.e.TimeDefaults));
    EXPECT_FALSE(timesettings::CopyDefaultsFromHeader(other.e, Bytes(128, 7)));
    EXPECT_EQ(Offline::Held(other.e.TimeDefaults), Offline::Held(o.e.TimeDefaults));
}

// ---- against the simulated exchange ----------------------------------------------------

TEST(TimeSettingsExchange, SamplesDecodeAndWriteBackUnchanged) {
    struct Case {
        const char* model;
        const char* firmware;
        std::size_t length;
    } cases[] = {
        {"KVT700-1", "24,7", 52},
        {"KVT250", "24,3", 50},
        {"RD16", "23,8", 48},
        {"RD32", "24,4", 52},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        testing::SimEngine s({c.model, c.firmware});
        s.Select({&TDataStream::SelTimeSettings});
        ASSERT_EQ(s.ReadAll(), 1);
        EXPECT_TRUE(s.ui.Messages.empty());
        ASSERT_EQ(s.Held(0x09, -1).size(), c.length);
        const TTimeSettings& t = s.data->TimeSettings;
        EXPECT_FLOAT_EQ(t.Step[0], 5.0f);  // T10: 0x4014
        EXPECT_EQ(t.DefaultSteps[0], 4);
        EXPECT_FLOAT_EQ(t.Value[0], 20.0f);
        EXPECT_FLOAT_EQ(t.Value[2], 30.0f);  // T12 tuned to three steps of 10 s
        EXPECT_FLOAT_EQ(t.Value[17], 1800.0f);

        const auto before = s.exchange->State().blocks;
        EncodeTimeSettings(*s.engine, *s.data);
        ASSERT_EQ(s.WriteAll(), 1);
        EXPECT_EQ(s.exchange->State().blocks, before);
    }
}

TEST(TimeSettingsExchange, OddRepliesArePaddedTimeOutsZeroAndRefusedWritesAreNotReported) {
    testing::SimEngine s;
    s.Select({&TDataStream::SelTimeSettings});
    Bytes odd = Words(25, 0x0008);
    odd.pop_back();
    s.ChangeExchange([&](sim::ExchangeState& st) { st.blocks[{0x09, -1}] = odd; });
    ASSERT_EQ(s.ReadAll(), 1);
    EXPECT_EQ(s.engine->TimeSettings.Counts[0], 50);
    EXPECT_EQ(s.engine->TimeSettings.Block(0)[49], 0);

    s.ChangeExchange([](sim::ExchangeState& st) { st.blocks[{0x09, -1}] = Bytes(255, 1); });
    ASSERT_EQ(s.ReadAll(), 1);
    EXPECT_TRUE(s.ui.Showed("Не могу прочитать таблицу временных установок. Выход по time-out"));
    EXPECT_EQ(s.engine->TimeSettings.Counts[0], 0);
    for (float v : s.data->TimeSettings.Value) EXPECT_EQ(v, 0.0f);

    s.exchange->SetFaults({.refuseWrites = -1});
    EXPECT_EQ(WriteTimeSettings(*s.engine), kTimeOut);
    EXPECT_EQ(s.WriteAll(), 1);  // only a failed link check is told
}

}  // namespace
}  // namespace stanset
