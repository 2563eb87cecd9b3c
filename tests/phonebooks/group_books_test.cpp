// The group phone books: twenty books of two halves each.
#include "phonebooks/group_books.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/main_class.h"
#include "exchange_state.h"
#include "files/file_image.h"
#include "support/fake_line.h"
#include "support/recording_ui.h"
#include "support/sim_engine.h"
#include "support/temp_dir.h"

namespace stanset {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Offline {
    testing::TempDir dir;
    testing::RecordingUI ui;
    testing::FakeLine line;
    TMainClass e{ui, {dir.Path(), "", &line}};
    TDataStream d;
};

Bytes PayloadOf(const TRawImage& image, int block) {
    const auto p = image.Payload(block);
    return {p.begin(), p.end()};
}

void SetBlock(TRawImage& image, int block, const Bytes& bytes) {
    auto dst = image.Block(block);
    std::fill(dst.begin(), dst.end(), 0);
    std::copy(bytes.begin(), bytes.end(), dst.begin());
    image.Counts[block] = static_cast<std::uint16_t>(bytes.size());
}

int HalfAddress(int block) { return (block / 2) | (block % 2 ? 0x20 : 0); }

TEST(GroupBooks, RecordRoundTrip) {
    struct Case {
        int book, entry;
        const char* number;
        const char* readBack;
    } cases[] = {
        {0, 0, "84950001111", "84950001111"},
        {0, 19, "1234567890123456", "1234567890123456"},
        {3, 10, "*70#", "*70#"},
        {7, 9, "8p4950004444", "8P4950004444"},
        {19, 11, "0", ""},
        {19, 12, "t1", "T1"},
    };
    Offline o;
    for (const Case& c : cases) o.d.GroupBooks[c.book].Numbers[c.entry] = c.number;
    EncodeGroupBooks(o.e, o.d);
    EXPECT_TRUE(o.e.Changed[kTabGroupBooks]);
    // Entry 10 of book 3 opens block B of book 3.
    EXPECT_EQ(PayloadOf(o.e.GroupBooks, 7), (Bytes{0xB7, 0xAC, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(PayloadOf(o.e.GroupBooks, 6), Bytes(10, 0));
    EXPECT_EQ(PayloadOf(o.e.GroupBooks, 10), Bytes(10, 0));  // an empty book: ten zeros a half
    EXPECT_EQ(PayloadOf(o.e.GroupBooks, 11), Bytes(10, 0));

    TDataStream back;
    back.GroupBooks[5].Count = 3;
    back.GroupBooks[5].Numbers[20] = "stale";
    DecodeGroupBooks(o.e, back);
    for (const Case& c : cases) EXPECT_EQ(back.GroupBooks[c.book].Numbers[c.entry], c.readBack);
    EXPECT_EQ(back.GroupBooks[5].Count, 20);
    EXPECT_EQ(back.GroupBooks[5].Numbers[20], "");
    EXPECT_EQ(back.GroupBooks[3].Numbers[0], "");
}

TEST(GroupBooks, SampleBlocksRoundTripByteForByte) {
    for (const char* model : {"KVT250", "RD32"}) {
        SCOPED_TRACE(model);
        const sim::ExchangeState s = sim::MakeSample({model, "24,3"});
        Offline o;
        for (int b = 0; b < 40; ++b) SetBlock(o.e.GroupBooks, b, s.blocks.at({0x58, HalfAddress(b)}));
        DecodeGroupBooks(o.e, o.d);
        EXPECT_EQ(o.d.GroupBooks[3].Numbers[0], "*70#");
        EncodeGroupBooks(o.e, o.d);
        for (int b = 0; b < 40; ++b) EXPECT_EQ(PayloadOf(o.e.GroupBooks, b), s.blocks.at({0x58, HalfAddress(b)})) << b;
    }
}

TEST(GroupBooks, DamagedHalvesStayInTheirRange) {
    Offline o;
    Bytes many;  // twelve entries
    for (int i = 0; i < 12; ++i) many.insert(many.end(), {0x44, 0x00});
    SetBlock(o.e.GroupBooks, 0, many);
    SetBlock(o.e.GroupBooks, 1, {0x55, 0x00});
    SetBlock(o.e.GroupBooks, 3, Bytes(255, 0x66));
    o.e.GroupBooks.Counts[3] = 300;
    DecodeGroupBooks(o.e, o.d);
    EXPECT_EQ(o.d.GroupBooks[0].Numbers[9], "44");
    EXPECT_EQ(o.d.GroupBooks[0].Numbers[10], "55");
    EXPECT_EQ(o.d.GroupBooks[0].Numbers[11], "");
    EXPECT_EQ(o.d.GroupBooks[1].Numbers[19], "6666666666666666");
    for (int i = 20; i < 100; ++i) ASSERT_EQ(o.d.GroupBooks[1].Numbers[i], "") << i;
}

TEST(GroupBooks, ListItems) {
    EXPECT_EQ(GroupBookItem(2, "Склад"), "12  Склад");
    struct Case {
        const char* item;
        int book;
    } cases[] = {{"12  Склад", 2}, {"10", 0}, {"29  ", 19}, {"30  x", -1}, {"09", -1}, {"1", -1}, {"", -1}, {"x1", -1}};
    for (const Case& c : cases) EXPECT_EQ(GroupBookOfItem(c.item), c.book) << c.item;
}

TEST(GroupBooks, FileImage) {
    Offline o;
    o.d.GroupBooks[0].Numbers[0] = "112";
    o.d.GroupBooks[19].Numbers[19] = "1234567890123456";
    EncodeGroupBooks(o.e, o.d);
    TFileImage file(10000);
    groupbooks::CopyToFileImage(o.e, file);
    ASSERT_EQ(file.Length, 40 + 12 + 38 * 10 + 17);
    EXPECT_EQ(file.Bytes[0], 12);  // book 0, half A
    EXPECT_EQ(file.Bytes[13], 10);  // book 0, half B

    Offline loaded;
    ASSERT_TRUE(groupbooks::CopyFromFileImage(loaded.e, file));
    for (int b = 0; b < 40; ++b) EXPECT_EQ(PayloadOf(loaded.e.GroupBooks, b), PayloadOf(o.e.GroupBooks, b)) << b;

    const Bytes whole(file.Bytes.begin(), file.Bytes.begin() + file.Length);
    for (const Bytes& bad : {Bytes(whole.begin(), whole.end() - 1), Bytes{0, 0, 3, 0x11}}) {
        TFileImage f(10000);
        ASSERT_TRUE(f.Assign(bad));
        EXPECT_FALSE(groupbooks::CopyFromFileImage(loaded.e, f));
        EXPECT_EQ(PayloadOf(loaded.e.GroupBooks, 39), PayloadOf(o.e.GroupBooks, 39));
    }

    // Missing halves at the end come out empty; a file without the section clears all.
    TFileImage first(10000);
    ASSERT_TRUE(first.Assign(Bytes(whole.begin(), whole.begin() + 13)));
    EXPECT_TRUE(groupbooks::CopyFromFileImage(loaded.e, first));
    EXPECT_EQ(PayloadOf(loaded.e.GroupBooks, 0), PayloadOf(o.e.GroupBooks, 0));
    EXPECT_EQ(loaded.e.GroupBooks.Counts[1], 0);
    EXPECT_EQ(loaded.e.GroupBooks.Counts[39], 0);
    EXPECT_TRUE(groupbooks::CopyFromFileImage(loaded.e, TFileImage(10000)));
    EXPECT_EQ(loaded.e.GroupBooks.Counts, std::vector<std::uint16_t>(40, 0));
}

TEST(GroupBooks, ReadEditAndWriteTheExchange) {
    testing::SimEngine sim;
    sim.Select({&TDataStream::SelGroupBooks});
    ASSERT_EQ(sim.ReadAll(), 1);
    const auto& books = sim.data->GroupBooks;
    EXPECT_EQ(books[0].Numbers[0], "84950001111");
    EXPECT_EQ(books[0].Numbers[10], "84950001111");
    EXPECT_EQ(books[3].Numbers[1], "8P4950004444");
    EXPECT_EQ(books[3].Numbers[4], "89998887766");
    EXPECT_EQ(books[3].Numbers[5], "");
    EXPECT_EQ(books[6].Numbers[16], "84957770000");
    EXPECT_EQ(books[9].Numbers[0], "");
    EXPECT_EQ(books[9].Count, 20);

    Bytes held[40];
    for (int b = 0; b < 40; ++b) held[b] = sim.Held(0x58, HalfAddress(b));
    sim.ChangeExchange([](sim::ExchangeState& s) {
        for (int b = 0; b < 40; ++b) s.blocks[{0x58, HalfAddress(b)}] = Bytes(10, 0);
    });
    DecodeGroupBooks(*sim.engine, *sim.data);
    EncodeGroupBooks(*sim.engine, *sim.data);
    ASSERT_EQ(sim.WriteAll(), 1);
    for (int b = 0; b < 40; ++b) EXPECT_EQ(sim.Held(0x58, HalfAddress(b)), held[b]) << b;

    // An edit of group 12's book changes book 2 only; every book is still written.
    sim.data->GroupBooks[2].Numbers[19] = "#";
    EncodeGroupBooks(*sim.engine, *sim.data);
    sim.exchange->ClearTranscript();
    ASSERT_EQ(sim.WriteAll(), 1);
    int writes = 0;
    for (const auto& line : sim.exchange->Transcript()) writes += line.rfind("write d8", 0) == 0;
    EXPECT_EQ(writes, 40);
    const Bytes b2 = sim.Held(0x58, 0x22);
    EXPECT_EQ(Bytes(b2.end() - 2, b2.end()), (Bytes{0xC0, 0x00}));
    for (int b = 0; b < 40; ++b) {
        if (b != 5) {
            EXPECT_EQ(sim.Held(0x58, HalfAddress(b)), held[b]) << b;
        }
    }
}

TEST(GroupBooks, TimeOutAndRefusedWrite) {
    testing::SimEngine sim;
    sim.Select({&TDataStream::SelGroupBooks});
    ASSERT_EQ(sim.ReadAll(), 1);

    sim.exchange->SetFaults({.badSum = -1});
    EXPECT_EQ(ReadGroupBooks(*sim.engine), kTimeOut);
    EXPECT_EQ(sim.engine->GroupBooks.Bytes, Bytes(40 * 255, 0));
    EXPECT_EQ(sim.engine->GroupBooks.Counts, std::vector<std::uint16_t>(40, 0));
    DecodeGroupBooks(*sim.engine, *sim.data);
    EXPECT_EQ(sim.data->GroupBooks[0].Numbers[0], "");

    sim.exchange->SetFaults({.refuseWrites = -1});
    EXPECT_EQ(sim.WriteAll(), -1);
    EXPECT_TRUE(sim.ui.Showed("Не могу записать групповые зап. книжки, нет связи с АТС."));
    EXPECT_NE(sim.Held(0x58, 0), Bytes(10, 0));
}

}  // namespace
}  // namespace stanset
