// Protocol rules that need exact control of the line or of time: an in-memory line in
// virtual time. Transfers against a real simulated exchange are in tests/integration.
#include "link/link.h"

#include <gtest/gtest.h>

#include "support/fake_line.h"

namespace stanset {
namespace {

using testing::FakeLine;

TEST(LinkCheck, DeadLineFailsAfterElevenPassesWithPauses) {
    FakeLine line;
    TLink link(line);
    EXPECT_EQ(link.CheckLink(), kNoLink);
    EXPECT_EQ(line.Written, std::vector<std::uint8_t>(11, 0x00));  // each pass stops at its first probe
    EXPECT_GE(line.NowMs, 10u * 300u);
}

TEST(LinkCheck, WrongEchoFailsThePassAtOnceAndALaterPassSucceeds) {
    FakeLine line;
    int probes = 0;
    line.OnWrite = [&](FakeLine& l, std::uint8_t) { l.Pending.push_back(++probes <= 2 ? 0x01 : 0x00); };
    TLink link(line);
    EXPECT_EQ(link.CheckLinkOnce(), kNoLink);
    EXPECT_EQ(probes, 1);
    EXPECT_EQ(link.CheckLink(), 1);  // second pass of this call: 5 good echoes
    EXPECT_EQ(probes, 7);
}

TEST(LinkIdentify, CountOf255OrACutReplyIsNoIdentification) {
    struct Case {
        std::vector<std::uint8_t> answer;
        int result;
    } cases[] = {
        {{255}, 0},
        {{}, 0},
        {{20, 1, 2, 3}, 0},
        {{12, 0, 0, 0, 0, 0, 6, 0x47, 2, 75, 150, 0, 0x5A}, 1},
    };
    for (const auto& c : cases) {
        FakeLine line;
        line.OnWrite = [&](FakeLine& l, std::uint8_t) { l.Pending.assign(c.answer.begin(), c.answer.end()); };
        TLink link(line);
        std::array<std::uint8_t, 256> buf{};
        std::uint16_t n = 0;
        EXPECT_EQ(link.Identify(buf, n), c.result);
        if (c.result == 1) {
            EXPECT_EQ(link.LinkKey, 0x5A);
        }
    }
}

// What goes on the line for block i of each addressing, read and write.
TEST(LinkRequests, EachAddressingFramesItsBlockNumber) {
    struct Case {
        const TCommandRow& row;
        int block;
        std::vector<std::uint8_t> read, write;
    } cases[] = {
        {rows::CommonBook, 2, {0x0E}, {0x8E}},
        {rows::AllSys, 0, {0x0A}, {0x8A}},
        {rows::ProgNumbers, 1, {0x40, 0x11}, {0xC0, 0x11}},
        {rows::BWBooks, 0, {0x40, 0x13}, {0xC0, 0x13}},
        {rows::Lines, 7, {0x4C, 0x07}, {0xCC, 0x07}},
        {rows::GroupBooks, 5, {0x58, 0x22}, {0xD8, 0x22}},
        {rows::GroupBooks, 4, {0x58, 0x02}, {0xD8, 0x02}},
    };
    for (const auto& c : cases) {
        FakeLine line;
        TLink link(line);
        std::array<std::uint8_t, 255> buf{};
        line.OnWrite = [](FakeLine& l, std::uint8_t) { l.Pending.clear(); };
        ASSERT_EQ(link.ReadBlock(c.row, c.block, buf), kTimeOut);
        std::vector<std::uint8_t> first(line.Written.begin(), line.Written.begin() + c.read.size());
        EXPECT_EQ(first, c.read) << c.row.name;
        EXPECT_EQ(line.Written.size(), c.read.size() * c.row.readAttempts) << c.row.name;

        line.Written.clear();
        const std::uint8_t payload[] = {1, 2};
        link.LinkKey = 0x10;
        ASSERT_EQ(link.WriteBlock(c.row, c.block, payload), kTimeOut);
        std::vector<std::uint8_t> sent(line.Written.begin(), line.Written.begin() + c.write.size() + 4);
        std::vector<std::uint8_t> expected = c.write;
        expected.insert(expected.end(), {2, 0x11, 0x12, 0x23});  // count clear, payload and sum on the wire
        EXPECT_EQ(sent, expected) << c.row.name;
    }
}

TEST(LinkRead, AMissingDataByteFailsTheAttemptWithoutWaitingForTheRest) {
    FakeLine line;
    line.OnWrite = [](FakeLine& l, std::uint8_t b) {
        if (b == 0x4C) return;
        l.Pending = {100, 1, 2, 3};  // announces 100 bytes, sends three
    };
    TLink link(line);
    std::array<std::uint8_t, 128> buf{};
    buf.fill(0x77);
    EXPECT_EQ(link.ReadBlock(rows::Lines, 0, buf), kTimeOut);
    EXPECT_EQ(buf, decltype(buf){});
    // Ten attempts, each ended by one missing byte (about three port time-outs).
    EXPECT_LT(line.NowMs, 10u * 4u * 251u);
}

}  // namespace
}  // namespace stanset
