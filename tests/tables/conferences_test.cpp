#include "tables/features/conferences.h"

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
    explicit Bench(int records = 3, std::uint8_t entrySize = 1, const std::string& model = "KVT700-1") {
        e.Identity.Model = model;
        e.ConfParams = {static_cast<std::uint8_t>(records), 8, entrySize, 0, 0};
    }
    void Put(int i, std::uint8_t p, const Bytes& entries) {
        TConferenceSlot& s = e.QuickConf[i];
        s = {};
        s.Present = p;
        s.Entries = static_cast<std::uint8_t>(entries.size());
        std::copy(entries.begin(), entries.end(), s.Data.begin());
    }
    // p, m and the entries, as the slot holds them.
    Bytes Got(int i) const {
        const TConferenceSlot& s = e.QuickConf[i];
        Bytes out{s.Present, s.Entries};
        out.insert(out.end(), s.Data.begin(), s.Data.begin() + s.Entries);
        return out;
    }
    std::vector<int> Members(int i) const {
        const ConferenceRecord& r = d.Conferences[i];
        return {r.Member.begin(), r.Member.begin() + r.MemberCount};
    }
    testing::TempDir dir;
    testing::RecordingUI ui;
    testing::FakeLine line;
    TMainClass e{ui, {dir.Path(), "", &line}};
    TDataStream d;
};

TEST(ConferencesCodec, RecordsRoundTrip) {
    struct Case {
        Bytes slot;  // p, m, entries
        std::vector<int> members;
    } cases[] = {
        {{3, 2, 6, 11}, {205, 210}},
        {{1, 0}, {}},
        {{9, 8, 1, 2, 3, 4, 5, 6, 7, 150}, {200, 201, 202, 203, 204, 205, 206, 349}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.members.size());
        Bench b(1);
        b.Put(0, c.slot[0], Bytes(c.slot.begin() + 2, c.slot.end()));
        DecodeConferences(b.e, b.d);
        EXPECT_EQ(b.Members(0), c.members);
        EncodeConferences(b.e, b.d);
        EXPECT_EQ(b.Got(0), c.slot);
        EXPECT_TRUE(b.e.Changed[kTabQuickConf]);
    }
}

TEST(ConferencesCodec, EmptyAndUnreadableEntriesAreLeftOut) {
    Bench b(3);
    b.Put(0, 0, {});                 // an empty record is written present
    b.Put(1, 5, {0, 6, 151, 11});    // entries that name no line are skipped
    b.Put(2, 0, {6, 7});             // nothing follows an absent record
    b.d.Conferences[2].MemberCount = 1;
    b.d.Conferences[2].Member[0] = 299;
    DecodeConferences(b.e, b.d);
    EXPECT_EQ(b.Members(0), std::vector<int>{});
    EXPECT_EQ(b.Members(1), (std::vector<int>{205, 210}));
    EXPECT_EQ(b.Members(2), std::vector<int>{});  // decoding starts from empty records
    EncodeConferences(b.e, b.d);
    EXPECT_EQ(b.Got(0), (Bytes{1, 0}));
    EXPECT_EQ(b.Got(1), (Bytes{3, 2, 6, 11}));
}

TEST(ConferencesCodec, MembersThatNameNoLineAndCountsThatOverflowP) {
    Bench b(2);
    b.d.Conferences[0].MemberCount = 4;
    b.d.Conferences[0].Member = {205, 0, 150, 210};
    b.d.Conferences[1].MemberCount = 255;
    b.d.Conferences[1].Member.fill(201);
    EncodeConferences(b.e, b.d);
    EXPECT_EQ(b.Got(0), (Bytes{3, 2, 6, 11}));
    EXPECT_EQ(b.e.QuickConf[1].Entries, 254);
    EXPECT_EQ(b.e.QuickConf[1].Present, 255);
}

TEST(ConferencesCodec, WiderEntriesAreCarriedNotInterpreted) {
    Bench b(1, 2);
    b.Put(0, 3, {6, 0, 11, 0});
    b.e.QuickConf[0].Entries = 2;
    const Bytes before = b.Got(0);
    DecodeConferences(b.e, b.d);
    EXPECT_EQ(b.Members(0), std::vector<int>{});
    EncodeConferences(b.e, b.d);
    EXPECT_EQ(b.Got(0), before);
}

TEST(ConferencesStore, TheListBecomesTheMembers) {
    TDataStream d;
    d.Conferences[4].Member[7] = 333;
    const std::vector<std::string> items = {"205 (1034)", "210 ()", "2"};
    StoreConference(d, 4, items);
    EXPECT_EQ(d.Conferences[4].MemberCount, 3);
    EXPECT_EQ(d.Conferences[4].Member[0], 205);
    EXPECT_EQ(d.Conferences[4].Member[1], 210);
    EXPECT_EQ(d.Conferences[4].Member[2], 2);
    EXPECT_EQ(d.Conferences[4].Member[7], 0);
    StoreConference(d, 60, items);  // no such conference: nothing happens
}

TEST(ConferencesTransfer, NoRecordsOrNoLink) {
    Bench none(0);
    EXPECT_EQ(ReadConferences(none.e), -2);
    EXPECT_EQ(WriteConferences(none.e), -2);
    EXPECT_TRUE(none.line.Written.empty());

    Bench dead(2);
    EXPECT_EQ(ReadConferences(dead.e), -1);
    EXPECT_EQ(WriteConferences(dead.e), -1);
    EXPECT_EQ(ReadConferenceParams(dead.e), -1);
}

TEST(ConferencesFile, ImageRoundTripAndMalformedPayloads) {
    Bench b(3);
    b.Put(0, 3, {6, 11});
    b.Put(1, 0, {});
    b.Put(2, 1, {});
    TFileImage image(3000);
    conferences::CopyToFileImage(b.e, image);
    EXPECT_EQ(Bytes(image.Bytes.begin(), image.Bytes.begin() + image.Length), (Bytes{3, 2, 6, 11, 0, 0, 1, 0}));

    Bench back(3);
    back.Put(2, 4, {1, 2, 3});
    ASSERT_TRUE(conferences::CopyFromFileImage(back.e, image));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(back.Got(i), b.Got(i)) << i;

    // A list that stops early reads the missing records as empty.
    ASSERT_TRUE(image.Assign(Bytes{3, 2, 6, 11}));
    ASSERT_TRUE(conferences::CopyFromFileImage(back.e, image));
    EXPECT_EQ(back.Got(1), (Bytes{0, 0}));

    for (const Bytes& bad : {Bytes{3, 2, 6}, Bytes{3}}) {
        ASSERT_TRUE(image.Assign(bad));
        back.Put(0, 9, {9});
        EXPECT_FALSE(conferences::CopyFromFileImage(back.e, image));
        EXPECT_EQ(back.Got(0), (Bytes{9, 1, 9}));
    }
    Bench wide(1, 2);  // 200 entries of two bytes do not fit a slot
    Bytes big{201, 200};
    big.resize(402, 1);
    ASSERT_TRUE(image.Assign(big));
    EXPECT_FALSE(conferences::CopyFromFileImage(wide.e, image));
}

TEST(ConferencesSim, ReadDecodeEncodeWriteLeavesTheExchangeAsItWas) {
    for (const char* model : {"KVT700-1", "KVT250"}) {
        SCOPED_TRACE(model);
        testing::SimEngine sim({model, "24,7"});
        sim.Select({&TDataStream::SelQuickConf});
        ASSERT_EQ(sim.ReadAll(), 1);
        const auto before = sim.exchange->State().conferences;
        // Record 1 of the sample: five members, every second line port from the sixth.
        EXPECT_EQ(sim.data->Conferences[1].MemberCount, 5);
        EXPECT_EQ(sim.data->Conferences[1].Member[0], LineIndexToNumber(model, before[1].payload[0] - 1));

        EncodeConferences(*sim.engine, *sim.data);
        sim.ChangeExchange([](sim::ExchangeState& s) { s.conferences.assign(60, {}); });
        ASSERT_EQ(sim.WriteAll(), 1);
        const auto after = sim.exchange->State().conferences;
        for (int r = 0; r < sim.engine->ConfParams[0]; ++r) {
            SCOPED_TRACE(r);
            // An absent record comes back present and empty.
            EXPECT_EQ(after[r].present, before[r].present ? before[r].present : 1);
            EXPECT_EQ(after[r].entries, before[r].entries);
            EXPECT_EQ(after[r].payload, before[r].payload);
        }
    }
}

TEST(ConferencesSim, ATimeOutClearsTheSlotsAndARefusedWriteIsATimeOut) {
    testing::SimEngine sim;
    sim.Select({&TDataStream::SelQuickConf});
    // A record whose sum cannot match: no entries announced, one byte sent all the same.
    sim.ChangeExchange([](sim::ExchangeState& s) { s.conferences[3] = {1, 0, {1}}; });
    ASSERT_EQ(sim.ReadAll(), 1);
    EXPECT_TRUE(sim.ui.Showed("Не могу прочитать таблицы быстрых конференций. Выход по time-out"));
    EXPECT_TRUE(std::all_of(sim.engine->QuickConf.begin(), sim.engine->QuickConf.end(),
                            [](const TConferenceSlot& s) { return s.Present == 0 && s.Entries == 0; }));
    EXPECT_EQ(sim.data->Conferences[0].MemberCount, 0);

    sim.exchange->SetFaults({.refuseWrites = -1});
    EXPECT_EQ(WriteConferences(*sim.engine), -5);
}

}  // namespace
}  // namespace stanset
