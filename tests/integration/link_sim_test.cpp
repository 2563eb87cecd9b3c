// The client's transactions against the simulated exchange over a real pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>

#include "link/comm_port.h"
#include "link/identification.h"
#include "link/link.h"
#include "simulator.h"

namespace stanset {
namespace {

using sim::Bytes;

class LinkSimTest : public ::testing::Test {
protected:
    void SetUp() override {
        exchange_ = std::make_unique<sim::Simulator>(sim::MakeSample({}));
        exchange_->Start();
        port_.Open(exchange_->SlavePath());
        ASSERT_EQ(link_.Identify(reply_.Buffer, reply_.Length), 1);
    }
    void TearDown() override {
        port_.Close();
        exchange_->Stop();
    }
    Bytes Held(int command, int address) const { return exchange_->State().blocks.at({command, address}); }
    void Fault(auto setter) {
        sim::Faults f = exchange_->GetFaults();
        setter(f);
        exchange_->SetFaults(f);
    }
    static Bytes Payload(const TRawImage& image, int block) {
        auto p = image.Payload(block);
        return {p.begin(), p.end()};
    }

    std::unique_ptr<sim::Simulator> exchange_;
    TCommPort port_;
    TLink link_{port_};
    TIdentReply reply_;
};

TEST_F(LinkSimTest, IdentificationCarriesTheFreshKey) {
    EXPECT_EQ(link_.LinkKey, exchange_->LastKey());
    TStatusAndOptions id;
    ASSERT_TRUE(DecodeIdentification(reply_, id, true));
    EXPECT_EQ(id.Model, "KVT700-1");
    EXPECT_EQ(id.Version, "24,7");
    EXPECT_EQ(id.LineCount, 150);
    EXPECT_EQ(id.STACount, 45);
    EXPECT_FALSE(id.ExchangeName.empty());

    const std::uint8_t first = link_.LinkKey;
    ASSERT_EQ(link_.Identify(reply_.Buffer, reply_.Length), 1);
    EXPECT_NE(link_.LinkKey, first);
}

TEST_F(LinkSimTest, LinkCheckPassesAndAWrongEchoFailsThePass) {
    EXPECT_EQ(link_.CheckLinkOnce(), 1);
    Fault([](auto& f) { f.wrongEcho = true; });
    EXPECT_EQ(link_.CheckLinkOnce(), kNoLink);
}

// Every framing reads back exactly what the exchange holds.
TEST_F(LinkSimTest, ReadsOfEveryFramingMatchTheExchange) {
    struct Case {
        const TCommandRow& row;
        int blocks;
        std::vector<std::pair<int, int>> addresses;  // of blocks 0, 1, ...
    } cases[] = {
        {rows::AllSys, 1, {{0x0A, -1}}},
        {rows::CommonBook, 3, {{0x0C, -1}, {0x0D, -1}, {0x0E, -1}}},
        {rows::Redirects, 1, {{0x40, 0x00}}},
        {rows::ProgNumbers, 2, {{0x40, 0x01}, {0x40, 0x11}}},
        {rows::Lines, 150, {{0x4C, 0}, {0x4C, 1}, {0x4C, 149}}},
        {rows::GroupBooks, 40, {{0x58, 0x00}, {0x58, 0x20}, {0x58, 0x13}, {0x58, 0x33}}},
        {rows::STAKeys, 45, {{0x60, 0}, {0x60, 13}, {0x60, 44}}},
    };
    for (const auto& c : cases) {
        TRawImage image(c.row.maxBlocks, c.row.capacity);
        const int r = link_.ReadTable(c.row, image, c.blocks);
        ASSERT_GE(r, 0) << c.row.name;
        EXPECT_EQ(image.BlocksRead, c.blocks) << c.row.name;
        for (std::size_t k = 0; k < c.addresses.size(); ++k) {
            const int block = c.row.addressing == TAddressing::BookHalves
                                  ? 2 * (c.addresses[k].second & 0x1F) + (c.addresses[k].second >> 5)
                              : c.blocks == 150 || c.blocks == 45 ? c.addresses[k].second
                                                                  : static_cast<int>(k);
            EXPECT_EQ(Payload(image, block), Held(c.addresses[k].first, c.addresses[k].second))
                << c.row.name << " block " << block;
        }
    }
}

TEST_F(LinkSimTest, BoardsAndConferencesUseTheirOwnFramings) {
    TRawImage list(1, 255);
    ASSERT_GT(link_.ReadTable(rows::BoardList, list, 1), 0);
    const auto boards = exchange_->State().boards;
    ASSERT_EQ(list.Counts[0], boards.size());
    for (std::size_t j = 0; j < boards.size(); ++j) {
        TBoardRecord record;
        ASSERT_EQ(link_.ReadBoard(static_cast<int>(j), record), static_cast<int>(boards[j].size()));
        EXPECT_TRUE(std::equal(boards[j].begin(), boards[j].end(), record.Data.begin()));
    }

    TRawImage params(1, 5);
    ASSERT_EQ(link_.ReadTable(rows::ConfParams, params, 1), 5);
    const int entrySize = params.Bytes[2];
    const auto confs = exchange_->State().conferences;
    for (int i : {0, 9, 10}) {
        TConferenceSlot slot;
        ASSERT_GE(link_.ReadConference(i, entrySize, slot), 0);
        EXPECT_EQ(slot.Present, confs[i].present);
        EXPECT_EQ(slot.Entries, confs[i].entries);
        EXPECT_TRUE(std::equal(confs[i].payload.begin(), confs[i].payload.end(), slot.Data.begin()));
    }
}

TEST_F(LinkSimTest, WritesAreStoredByTheExchange) {
    TRawImage lines(3, 128);
    ASSERT_EQ(link_.ReadTable(rows::Lines, lines, 3), 0);
    lines.Block(2)[0] ^= 0xFF;
    ASSERT_EQ(link_.WriteTable(rows::Lines, lines, 3), 0);
    EXPECT_EQ(Held(0x4C, 2), Payload(lines, 2));

    TRawImage books(40, 255);
    ASSERT_EQ(link_.ReadTable(rows::GroupBooks, books, 40), 0);
    books.Block(7)[1] = 0x5A;  // second half of book 3
    ASSERT_EQ(link_.WriteTable(rows::GroupBooks, books, 40), 0);
    EXPECT_EQ(Held(0x58, 0x23), Payload(books, 7));

    for (const auto& [row, address] : {std::pair{&rows::AllSys, 0x0A}, std::pair{&rows::TimeSettings, 0x09}}) {
        TRawImage image(1, row->capacity);
        ASSERT_GT(link_.ReadTable(*row, image, 1), 0);
        image.Block(0)[0] ^= 0x01;
        ASSERT_EQ(link_.WriteTable(*row, image, 1), 0);
        EXPECT_EQ(Held(address, -1), Payload(image, 0));
    }
}

TEST_F(LinkSimTest, ConferenceAcknowledgementsOfOneAndTwoBytes) {
    TConferenceSlot slot;
    slot.Present = 3;
    slot.Entries = 2;
    slot.Data[0] = 5;
    slot.Data[1] = 9;
    struct Case {
        int mode;
        int result;
    } cases[] = {{0, 0}, {1, 0}, {2, kTimeOut}};
    for (const auto& c : cases) {
        Fault([&](auto& f) { f.confAck = c.mode; });
        EXPECT_EQ(link_.WriteConference(4, 1, slot), c.result) << "mode " << c.mode;
    }
    const auto stored = exchange_->State().conferences[4];
    EXPECT_EQ(stored.present, 3);
    EXPECT_EQ(stored.payload, (Bytes{5, 9}));
}

TEST_F(LinkSimTest, RetriesRecoverFromBadSumsAndExhaustToAZeroedImage) {
    TRawImage lines(150, 128);
    Fault([](auto& f) { f.badSum = 9; });  // nine bad answers, the tenth attempt is good
    ASSERT_EQ(link_.ReadTable(rows::Lines, lines, 2), 0);
    EXPECT_EQ(Payload(lines, 0), Held(0x4C, 0));

    const sim::ExchangeState original = exchange_->State();
    struct Case {
        const char* fault;
        void (*set)(sim::Faults&, sim::ExchangeState&);
    } cases[] = {
        {"always a bad sum", [](sim::Faults& f, sim::ExchangeState&) { f.badSum = -1; }},
        {"sum over plain bytes", [](sim::Faults& f, sim::ExchangeState&) { f.plainSum = true; }},
        {"more bytes than the block holds",
         [](sim::Faults&, sim::ExchangeState& s) { s.blocks[{0x4C, 1}] = Bytes(129, 0x42); }},
    };
    for (const auto& c : cases) {
        exchange_->SetFaults({});
        exchange_->SetState(original);
        std::fill(lines.Bytes.begin(), lines.Bytes.end(), 0x77);
        ASSERT_GT(link_.ReadTable(rows::Lines, lines, 1), 0);  // a good block 0
        sim::Faults faults;
        sim::ExchangeState state = original;
        c.set(faults, state);
        exchange_->SetFaults(faults);
        exchange_->SetState(state);
        EXPECT_EQ(link_.ReadTable(rows::Lines, lines, 3), kTimeOut) << c.fault;
        EXPECT_TRUE(std::all_of(lines.Bytes.begin(), lines.Bytes.end(), [](auto b) { return b == 0; })) << c.fault;
        EXPECT_TRUE(std::all_of(lines.Counts.begin(), lines.Counts.end(), [](auto n) { return n == 0; })) << c.fault;
    }
}

TEST_F(LinkSimTest, RefusalsOfWritesAndOfThePreamble) {
    TRawImage groups(20, 255);
    ASSERT_EQ(link_.ReadTable(rows::Groups, groups, 20), 0);
    Fault([](auto& f) { f.refuseWrites = 10; });  // eleven attempts per block
    EXPECT_EQ(link_.WriteTable(rows::Groups, groups, 1), 0);
    Fault([](auto& f) { f.refuseWrites = -1; });
    EXPECT_EQ(link_.WriteTable(rows::Groups, groups, 1), kTimeOut);

    exchange_->SetFaults({});
    Fault([](auto& f) { f.refusePreamble = true; });
    TRawImage keys(150, 255);
    EXPECT_EQ(link_.ReadTable(rows::STAKeys, keys, 45), kPreambleRefused);
    EXPECT_EQ(link_.WriteTable(rows::STAKeys, keys, 45), kPreambleRefused);
}

TEST_F(LinkSimTest, OddTimeSettingsArePaddedToWholeWords) {
    auto state = exchange_->State();
    state.blocks[{0x09, -1}] = Bytes(49, 0x11);
    exchange_->SetState(state);
    TRawImage image(1, 255);
    std::fill(image.Bytes.begin(), image.Bytes.end(), 0x77);
    ASSERT_EQ(link_.ReadTable(rows::TimeSettings, image, 1), 50);
    EXPECT_EQ(image.Bytes[48], 0x11);
    EXPECT_EQ(image.Bytes[49], 0);
}

TEST_F(LinkSimTest, NoBlocksSendsNothing) {
    exchange_->ClearTranscript();
    TRawImage image(10, 64);
    EXPECT_EQ(link_.ReadTable(rows::Intercoms, image, 0), kNoBlocks);
    EXPECT_EQ(link_.WriteTable(rows::Intercoms, image, 0), kNoBlocks);
    EXPECT_TRUE(exchange_->Transcript().empty());
}

}  // namespace
}  // namespace stanset
