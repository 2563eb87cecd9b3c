// Identification, status and clock rules that need no line.
#include <gtest/gtest.h>

#include "engine/clock.h"
#include "engine/status.h"
#include "link/identification.h"
#include "link/status.h"

namespace stanset {
namespace {

// A live reply: bytes 0-15, the name, its 0, the four counts; XORed with the key.
TIdentReply LiveReply(std::vector<std::uint8_t> head, const std::string& name, std::vector<std::uint8_t> counts) {
    std::vector<std::uint8_t> plain = head;
    plain.resize(16);
    plain.insert(plain.end(), name.begin(), name.end());
    plain.push_back(0);
    plain.insert(plain.end(), counts.begin(), counts.end());
    plain.resize(plain.size() + 16);
    TIdentReply r;
    const std::uint8_t key = plain[11];
    for (std::size_t i = 0; i < plain.size(); ++i) r.Buffer[i] = i == 11 ? plain[i] : plain[i] ^ key;
    r.Length = static_cast<std::uint16_t>(plain.size());
    return r;
}

TEST(Identification, DecodesIdentityWhateverTheNameLength) {
    struct Case {
        std::vector<std::uint8_t> head;
        std::string name;
        std::vector<std::uint8_t> counts;
        const char* model;
        const char* version;
        int timeUnit, directions, units;
    } cases[] = {
        {{0, 0, 0, 0, 0, 6, 0x47, 2, 75, 150, 0, 0x3C, 0, 6, 0xCE, 0x06}, "\xCE\xF4\xE8\xF1", {4, 50, 6, 45}, "KVT700-1", "24,7", 6, 50, 1},
        {{0, 0, 0, 0, 0x06, 7, 0x4A, 2, 8, 16, 0, 0x11, 0, 0, 1, 0}, "", {0, 0, 2, 8}, "RD16", "24,10", 6, 48, 3},
        {{0, 0, 0, 0, 0x02, 4, 0x38, 2, 12, 40, 0, 0xA5, 0, 2, 0, 0}, std::string(120, 'x'), {1, 9, 1, 6}, "KVT250", "23,8", 2, 9, 2},
    };
    for (const auto& c : cases) {
        TIdentReply reply = LiveReply(c.head, c.name, c.counts);
        TStatusAndOptions id;
        ASSERT_TRUE(DecodeIdentification(reply, id, true)) << c.model;
        EXPECT_EQ(id.Model, c.model);
        EXPECT_EQ(id.Version, c.version);
        EXPECT_EQ(id.TimeUnit, c.timeUnit);
        EXPECT_EQ(id.DirectionCount, c.directions);
        EXPECT_EQ(id.UnitCount, c.units);
        EXPECT_EQ(id.IntercomBlocks, c.counts[0]);
        EXPECT_EQ(id.STACount, c.counts[3]);
        EXPECT_EQ(id.LinkKey, c.head[11]);
        EXPECT_LE(reply.NameLength, TIdentReply::kMaxName);
        EXPECT_EQ(reply.FixedLength, reply.Length - c.name.size() - 1);
    }
    TIdentReply named = LiveReply(cases[0].head, cases[0].name, cases[0].counts);
    TStatusAndOptions id;
    DecodeIdentification(named, id, true);
    EXPECT_EQ(id.ExchangeName, "Офис");
    EXPECT_EQ(id.Serial, "1742");
}

TEST(Identification, UnknownDeviceCodeChangesNothing) {
    for (std::uint8_t code : {0, 1, 10, 255}) {
        TIdentReply reply = LiveReply({0, 0, 0, 0, 0, code, 0x47, 2}, "", {});
        TStatusAndOptions id;
        id.Model = "KVT250";
        EXPECT_FALSE(DecodeIdentification(reply, id, true));
        EXPECT_EQ(id.Model, "KVT250");
    }
}

TEST(VersionFlags, FollowModelAndFirmware) {
    struct Case {
        const char* model;
        const char* version;
        bool quickConf, bwBooks, timeDefaults, lines24_3, from24_4;
    } cases[] = {
        {"RD32", "24,4", false, true, true, true, true},
        {"KVT250", "24,3", true, false, true, true, false},
        {"KVT700-1", "23,7", true, false, false, false, false},
        {"KVT700-1", "24,10", true, true, true, true, true},
        {"KVT700-1", "244", true, true, true, true, true},  // unreadable counts as new
    };
    for (const auto& c : cases) {
        const TTableVerRWFlags f = MakeTableVerRWFlags(c.model, c.version);
        EXPECT_EQ(f.HasQuickConf, c.quickConf) << c.model << " " << c.version;
        EXPECT_EQ(f.HasBWBooks, c.bwBooks) << c.model << " " << c.version;
        EXPECT_EQ(f.HasTimeDefaults, c.timeDefaults) << c.model << " " << c.version;
        EXPECT_EQ(f.HasSTAKeys, c.timeDefaults) << c.model << " " << c.version;
        EXPECT_EQ(f.LinesFrom24_3, c.lines24_3) << c.model << " " << c.version;
        EXPECT_EQ(f.From24_4, c.from24_4) << c.model << " " << c.version;
    }
}

TEST(Billing, FillTextAndAnEmptyBuffer) {
    bool ok = false;
    EXPECT_EQ(BillingFillText(90, 10000, ok), "90 из 10000. Cвободно 99,10%");
    EXPECT_TRUE(ok);
    EXPECT_EQ(BillingFillText(2345, 10000, ok), "2345 из 10000. Cвободно 76,60%");
    EXPECT_EQ(BillingFillText(0, 500, ok), "0 из 500. Cвободно 100,00%");
    EXPECT_EQ(BillingFillText(5, 0, ok), "5 из 0. Cвободно 0,00%");
    EXPECT_FALSE(ok);
}

TEST(Clock, DriftQuestionOnlyBeyond475Point2Seconds) {
    EXPECT_FALSE(ClockDriftTooLarge(1000, 1000 + 475));
    EXPECT_TRUE(ClockDriftTooLarge(1000 + 476, 1000));
    EXPECT_TRUE(ClockDriftTooLarge(1000, 1000 + 476));
}

TEST(Clock, PayloadDaysAndUnits) {
    struct Case {
        TDateTime t;
        std::uint8_t unit;
        std::array<std::uint8_t, 4> payload;
    } cases[] = {
        {{1980, 1, 1, 0, 0, 0}, 6, {0, 0, 0, 0}},
        {{1980, 1, 1, 12, 0, 5}, 6, {0, 0, 0x20, 0x1C}},       // 7200 units, the 5 s dropped
        {{2020, 2, 29, 0, 0, 0}, 6, {0x4D, 0x39, 0, 0}},       // day 14669
        {{1980, 1, 1, 23, 59, 59}, 1, {0, 0, 0xFF, 0xFF}},     // 86399 units do not fit: clamped
    };
    for (const auto& c : cases) EXPECT_EQ(MakeClockPayload(c.t, c.unit), c.payload);
}

}  // namespace
}  // namespace stanset
