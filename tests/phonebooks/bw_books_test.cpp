// The black and white book: sixty numbers of up to four packed bytes in one block.
#include "phonebooks/bw_books.h"

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

Bytes Block(const TRawImage& image) {
    const auto p = image.Payload(0);
    return {p.begin(), p.end()};
}

void SetBlock(TRawImage& image, const Bytes& bytes) {
    std::fill(image.Bytes.begin(), image.Bytes.end(), 0);
    std::copy(bytes.begin(), bytes.end(), image.Bytes.begin());
    image.Counts[0] = static_cast<std::uint16_t>(bytes.size());
}

TEST(BWBooks, EntryLayouts) {
    struct Case {
        const char* number;
        Bytes packed;  // as the only entry of the book, before the 59 empty ones
        const char* readBack;
    } cases[] = {
        {"12345678", {0x12, 0x34, 0x56, 0x78}, "12345678"},
        {"1234567", {0x12, 0x34, 0x56, 0x70}, "1234567"},
        {"120", {0x12, 0xA0, 0x00}, "120"},
        {"8809#", {0x88, 0xA9, 0xC0, 0x00}, "8809#"},
        {"*#06", {0xBC, 0xA6, 0x00}, "*#06"},
        {"p1a2t", {0xD1, 0xE2, 0xF0, 0x00}, "P1A2T"},
        {"0", {0xA0, 0x00}, "0"},
        {"123456789", {0x12, 0x34, 0x56, 0x78}, "12345678"},  // a ninth character has no room
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        Offline o;
        o.d.BWBook.Numbers[0] = c.number;
        EncodeBWBook(o.e, o.d);
        Bytes expected = c.packed;
        expected.insert(expected.end(), 59, 0);
        EXPECT_EQ(Block(o.e.BWBooks), expected);
        TDataStream back;
        DecodeBWBook(o.e, back);
        EXPECT_EQ(back.BWBook.Numbers[0], c.readBack);
        EXPECT_EQ(back.BWBook.Numbers[1], "");
    }
}

TEST(BWBooks, RecordRoundTripKeepsSectionsAndPositions) {
    Offline o;
    EncodeBWBook(o.e, o.d);
    EXPECT_TRUE(o.e.Changed[kTabBWBooks]);
    EXPECT_EQ(Block(o.e.BWBooks), Bytes(60, 0));

    const std::pair<int, const char*> entries[] = {
        {0, "112"}, {1, "12345678"}, {2, "1234567"}, {9, "*"}, {31, "#"}, {58, "8803"}, {59, "*#06#"},
    };
    for (auto [i, n] : entries) o.d.BWBook.Numbers[i] = n;
    o.d.BWBook.Numbers[60] = "999";  // not a book entry
    EncodeBWBook(o.e, o.d);
    TDataStream back;
    back.BWBook.Count = 7;
    DecodeBWBook(o.e, back);
    EXPECT_EQ(back.BWBook.Count, 60);
    for (int i = 0; i < 100; ++i) {
        std::string want;
        for (auto [k, n] : entries)
            if (k == i) want = n;
        EXPECT_EQ(back.BWBook.Numbers[i], want) << i;
    }
}

TEST(BWBooks, SampleBlocksRoundTripByteForByte) {
    for (sim::SampleOptions s : {sim::SampleOptions{"KVT700-1", "24,7"}, sim::SampleOptions{"RD32", "24,4"}}) {
        SCOPED_TRACE(s.model);
        const Bytes held = sim::MakeSample(s).blocks.at({0x40, 0x13});
        Offline o;
        SetBlock(o.e.BWBooks, held);
        DecodeBWBook(o.e, o.d);
        EXPECT_EQ(o.d.BWBook.Numbers[53], "*#06#");
        EncodeBWBook(o.e, o.d);
        EXPECT_EQ(Block(o.e.BWBooks), held);
    }
}

TEST(BWBooks, DamagedBlocks) {
    struct Case {
        const char* what;
        Bytes block;
        std::vector<std::string> first;  // entries 0, 1, 2
    } cases[] = {
        {"a four-byte entry needs no terminator", {0x12, 0x34, 0x56, 0x78, 0x00, 0x9A, 0x00}, {"12345678", "", "90"}},
        {"a filler nibble ends the entry and its next byte", {0x12, 0x30, 0x45, 0x00, 0x67}, {"123", "", "67"}},
        {"the last byte ends the block", {0x00, 0x5B}, {"", "5*", ""}},
        {"a zero high nibble is a filler", {0x05, 0x00, 0x11}, {"5", "11", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Offline o;
        SetBlock(o.e.BWBooks, c.block);
        DecodeBWBook(o.e, o.d);
        EXPECT_EQ((std::vector<std::string>{o.d.BWBook.Numbers[0], o.d.BWBook.Numbers[1], o.d.BWBook.Numbers[2]}),
                  c.first);
    }

    // More entries than the book has, and a count beyond the slot: the sixty are kept.
    Offline o;
    Bytes many;
    for (int i = 0; i < 120; ++i) many.insert(many.end(), {0x10, 0x00});
    SetBlock(o.e.BWBooks, Bytes(many.begin(), many.begin() + 255));
    o.e.BWBooks.Counts[0] = 1000;
    DecodeBWBook(o.e, o.d);
    EXPECT_EQ(o.d.BWBook.Numbers[59], "1");
    for (int i = 60; i < 100; ++i) ASSERT_EQ(o.d.BWBook.Numbers[i], "") << i;
}

TEST(BWBooks, FileImage) {
    Offline o;
    o.d.BWBook.Numbers[5] = "8800";
    EncodeBWBook(o.e, o.d);
    TFileImage file(1000);
    bwbooks::CopyToFileImage(o.e, file);
    ASSERT_EQ(file.Length, 1 + 62);
    EXPECT_EQ(file.Bytes[0], 62);

    Offline loaded;
    ASSERT_TRUE(bwbooks::CopyFromFileImage(loaded.e, file));
    EXPECT_EQ(Block(loaded.e.BWBooks), Block(o.e.BWBooks));

    const Bytes whole(file.Bytes.begin(), file.Bytes.begin() + file.Length);
    for (const Bytes& bad : {Bytes(whole.begin(), whole.end() - 1), Bytes{0xFF}}) {
        TFileImage f(1000);
        ASSERT_TRUE(f.Assign(bad));
        EXPECT_FALSE(bwbooks::CopyFromFileImage(loaded.e, f));
        EXPECT_EQ(Block(loaded.e.BWBooks), Block(o.e.BWBooks));
    }

    // Bytes behind the block are ignored; a file without the section clears the book.
    TFileImage tail(1000);
    Bytes extra = whole;
    extra.push_back(7);
    ASSERT_TRUE(tail.Assign(extra));
    EXPECT_TRUE(bwbooks::CopyFromFileImage(loaded.e, tail));
    EXPECT_EQ(Block(loaded.e.BWBooks), Block(o.e.BWBooks));
    EXPECT_TRUE(bwbooks::CopyFromFileImage(loaded.e, TFileImage(1000)));
    EXPECT_EQ(loaded.e.BWBooks.Counts[0], 0);
}

TEST(BWBooks, ReadEditAndWriteTheExchange) {
    testing::SimEngine sim;
    sim.Select({&TDataStream::SelBWBooks});
    ASSERT_EQ(sim.ReadAll(), 1);
    const TDSBW_ExtNum& book = sim.data->BWBook;
    EXPECT_EQ(book.Numbers[0], "112");
    EXPECT_EQ(book.Numbers[4], "104");
    EXPECT_EQ(book.Numbers[5], "");
    EXPECT_EQ(book.Numbers[11], "8804");
    EXPECT_EQ(book.Numbers[31], "84957654");
    EXPECT_EQ(book.Numbers[40], "");
    EXPECT_EQ(book.Numbers[50], "8809");
    EXPECT_EQ(book.Numbers[53], "*#06#");

    const Bytes held = sim.Held(0x40, 0x13);
    sim.ChangeExchange([](sim::ExchangeState& s) { s.blocks[{0x40, 0x13}] = Bytes(60, 0); });
    DecodeBWBook(*sim.engine, *sim.data);
    EncodeBWBook(*sim.engine, *sim.data);
    ASSERT_EQ(sim.WriteAll(), 1);
    EXPECT_EQ(sim.Held(0x40, 0x13), held);
    EXPECT_FALSE(sim.engine->Changed[kTabBWBooks]);

    sim.data->BWBook.Numbers[59] = "0";
    EncodeBWBook(*sim.engine, *sim.data);
    ASSERT_EQ(sim.WriteAll(), 1);
    const Bytes now = sim.Held(0x40, 0x13);
    EXPECT_EQ(Bytes(now.end() - 2, now.end()), (Bytes{0xA0, 0x00}));
}

TEST(BWBooks, TimeOutAndRefusedWrite) {
    testing::SimEngine sim;
    sim.Select({&TDataStream::SelBWBooks});
    ASSERT_EQ(sim.ReadAll(), 1);

    sim.exchange->SetFaults({.badSum = -1});
    EXPECT_EQ(ReadBWBook(*sim.engine), kTimeOut);
    EXPECT_EQ(sim.engine->BWBooks.Bytes, Bytes(255, 0));
    EXPECT_EQ(sim.engine->BWBooks.Counts[0], 0);
    DecodeBWBook(*sim.engine, *sim.data);
    EXPECT_EQ(sim.data->BWBook.Numbers[0], "");
    EXPECT_EQ(sim.data->BWBook.Count, 60);

    sim.exchange->SetFaults({.refuseWrites = -1});
    EXPECT_EQ(sim.WriteAll(), -1);
    EXPECT_TRUE(sim.ui.Showed("Не могу записать черно-белые зап. книжки, нет связи с АТС."));
    EXPECT_NE(sim.Held(0x40, 0x13), Bytes(60, 0));
}

}  // namespace
}  // namespace stanset
