// The shared number packing of the phone books, and the common phone book.
#include "phonebooks/common_book.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/main_class.h"
#include "exchange_state.h"
#include "files/file_image.h"
#include "phonebooks/book_numbers.h"
#include "support/fake_line.h"
#include "support/recording_ui.h"
#include "support/sim_engine.h"
#include "support/temp_dir.h"

namespace stanset {
namespace {

using Bytes = std::vector<std::uint8_t>;

// An engine on a line with nobody at the other end: enough for the codecs.
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

// ---- the packing the books share ----------------------------------------------------

TEST(BookNumbers, PacksTheDiallingAlphabet) {
    struct Case {
        const char* number;
        Bytes packed;
        const char* readBack;
    } cases[] = {
        {"120", {0x12, 0xA0}, "120"},
        {"*#06#", {0xBC, 0xA6, 0xC0}, "*#06#"},
        {"P1A2T3", {0xD1, 0xE2, 0xF3}, "P1A2T3"},
        {"p1a2t", {0xD1, 0xE2, 0xF0}, "P1A2T"},  // typed in lower case, read in upper
        {"0", {0xA0}, "0"},
        {"", {}, ""},
        {"12-3", {}, ""},  // not packable: nothing, stored as an empty entry
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        std::uint8_t out[8] = {};
        const std::size_t n = PackBookNumber(c.number, out);
        EXPECT_EQ(Bytes(out, out + n), c.packed);
        EXPECT_EQ(UnpackBookNumber(Bytes(out, out + n)), c.readBack);
    }
}

TEST(BookNumbers, WriterLaysEntriesAndNeverPassesItsBlock) {
    std::uint8_t block[24] = {};
    TBookBlockWriter w({block, 24}, 4);
    w.Append("");
    w.Append("12");
    w.Append("12345678");    // fills its room: no terminator
    w.Append("123456789");   // only what fits the room
    w.Append("x");           // not packable: an empty entry
    EXPECT_EQ(Bytes(block, block + w.Size()),
              (Bytes{0x00, 0x12, 0x00, 0x12, 0x34, 0x56, 0x78, 0x12, 0x34, 0x56, 0x78, 0x00}));

    std::uint8_t tiny[5] = {0, 0, 0, 0, 0xEE};
    TBookBlockWriter t({tiny, 4}, 8);
    t.Append("1234567890123456");
    EXPECT_EQ(t.Size(), 4u);
    EXPECT_EQ(tiny[4], 0xEE);
}

TEST(BookNumbers, BlockOfTheEightByteBooks) {
    struct Case {
        const char* what;
        Bytes block;
        std::vector<std::string> entries;  // the three slots given to the block
    } cases[] = {
        {"terminated, empty, full", {0x12, 0x00, 0x00, 0x12, 0x34, 0x56, 0x78, 0x12, 0x34, 0x56, 0x78}, {"12", "", "1234567812345678"}},
        {"a full entry's next byte starts the next", {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x22, 0x00, 0x00}, {"1111111111111111", "22", ""}},
        {"0 reads as empty", {0xA0, 0x00, 0x33, 0x00}, {"", "33", "-"}},
        {"the last entry needs no terminator", {0x00, 0x5B}, {"", "5*", "-"}},
        {"excess beyond the slots is dropped", {0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00}, {"1", "2", "3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> slots(3, "-");
        UnpackBookBlock(c.block, slots);
        EXPECT_EQ(slots, c.entries);
    }
}

TEST(BookNumbers, EditorChecks) {
    EXPECT_EQ(BookEntryCode(0), "070");
    EXPECT_EQ(BookEntryCode(29), "099");

    struct Key {
        char key;
        std::size_t length;
        bool accepted;
    } keys[] = {
        {'5', 15, true}, {'5', 16, false}, {'t', 0, true}, {'#', 3, true}, {kKeyEnter, 2, true},
        {kKeyBackspace, 16, true}, {'B', 0, false}, {'x', 0, false}, {' ', 0, false},
    };
    for (const Key& k : keys) EXPECT_EQ(BookKeyAccepted(k.key, k.length, 16), k.accepted) << k.key << k.length;

    struct Numbers {
        std::vector<std::string> numbers;
        const char* complaint;
    } checks[] = {
        {{"", "1234567890123456", "*#PpAaTt0"}, nullptr},
        {{"12345678901234567"}, "Слишком много символов."},
        {{"12", "12B"}, "Ошибка во введенных данных"},
        {{"номер"}, "Ошибка во введенных данных"},  // five characters, ten bytes
        {{"x", "12345678901234567"}, "Ошибка во введенных данных"},  // the first complaint wins
    };
    for (const Numbers& c : checks) {
        const char* got = CheckBookNumbers(c.numbers);
        EXPECT_EQ(got ? std::string(got) : "", c.complaint ? std::string(c.complaint) : "");
    }
    EXPECT_STREQ(CheckBookNumbers(std::vector<std::string>{"123456789"}, 8), "Слишком много символов.");
}

// ---- the common book ----------------------------------------------------------------

TEST(CommonBook, RecordRoundTrip) {
    struct Case {
        int entry;
        const char* number;
        const char* readBack;
    } cases[] = {
        {0, "1234567890123456", "1234567890123456"},  // 8 bytes, no terminator
        {1, "123456789012345", "123456789012345"},    // 8 bytes, last nibble filler
        {2, "8p495a1t", "8P495A1T"},
        {9, "*21#", "*21#"},
        {10, "0", ""},
        {11, "T", "T"},
        {25, "#31#", "#31#"},
        {29, "101", "101"},
    };
    Offline o;
    for (const Case& c : cases) o.d.CommonBook->Numbers[c.entry] = c.number;
    EncodeCommonBook(o.e, o.d);
    EXPECT_TRUE(o.e.Changed[kTabCommonBook]);
    EXPECT_EQ(PayloadOf(o.e.CommonBook, 1).front(), 0xA0);  // "0" is stored, then read as empty

    TDataStream back;
    back.CommonBook->Numbers[40] = "stale";
    DecodeCommonBook(o.e, back);
    EXPECT_EQ(back.CommonBook->Count, 30);
    EXPECT_EQ(back.CommonBook->Numbers[40], "");
    for (const Case& c : cases) EXPECT_EQ(back.CommonBook->Numbers[c.entry], c.readBack) << c.entry;
    for (int i : {3, 8, 12, 28}) EXPECT_EQ(back.CommonBook->Numbers[i], "") << i;
}

TEST(CommonBook, SampleBlocksRoundTripByteForByte) {
    for (const char* model : {"KVT700-1", "RD16"}) {
        SCOPED_TRACE(model);
        const sim::ExchangeState s = sim::MakeSample({model, "24,4"});
        Offline o;
        for (int b = 0; b < 3; ++b) SetBlock(o.e.CommonBook, b, s.blocks.at({0x0C + b, -1}));
        DecodeCommonBook(o.e, o.d);
        EXPECT_EQ(o.d.CommonBook->Numbers[9], "8107495123456789");
        EncodeCommonBook(o.e, o.d);
        for (int b = 0; b < 3; ++b) EXPECT_EQ(PayloadOf(o.e.CommonBook, b), s.blocks.at({0x0C + b, -1})) << b;
    }
}

TEST(CommonBook, EncodeWritesOnlyTheCountedEntries) {
    Offline o;
    EncodeCommonBook(o.e, o.d);
    for (int b = 0; b < 3; ++b) EXPECT_EQ(PayloadOf(o.e.CommonBook, b), Bytes(10, 0)) << b;

    o.d.CommonBook->Count = 12;
    o.d.CommonBook->Numbers[11] = "55";
    o.d.CommonBook->Numbers[20] = "66";  // beyond the count
    o.d.CommonBook->Numbers[30] = "77";  // never a book entry
    EncodeCommonBook(o.e, o.d);
    EXPECT_EQ(PayloadOf(o.e.CommonBook, 0), Bytes(10, 0));
    EXPECT_EQ(PayloadOf(o.e.CommonBook, 1), (Bytes{0x00, 0x55, 0x00}));
    EXPECT_EQ(o.e.CommonBook.Counts[2], 0);

    o.d.CommonBook->Count = 500;
    EncodeCommonBook(o.e, o.d);
    EXPECT_EQ(PayloadOf(o.e.CommonBook, 2), (Bytes{0x66, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(CommonBook, DamagedBlocksStayInTheirRange) {
    Offline o;
    // Block 0 holds twelve entries, block 1 only one: block 0's excess is not taken for
    // entries of block 1.
    Bytes twelve;
    for (int i = 1; i <= 12; ++i) twelve.insert(twelve.end(), {static_cast<std::uint8_t>(i % 10 ? i % 10 : 1), 0});
    SetBlock(o.e.CommonBook, 0, twelve);
    SetBlock(o.e.CommonBook, 1, {0x99, 0x00});
    // Block 2 is 255 one-byte entries, and announces more than its slot holds.
    SetBlock(o.e.CommonBook, 2, Bytes(255, 0x77));
    o.e.CommonBook.Counts[2] = 4000;
    DecodeCommonBook(o.e, o.d);
    EXPECT_EQ(o.d.CommonBook->Numbers[9], "1");
    EXPECT_EQ(o.d.CommonBook->Numbers[10], "99");
    EXPECT_EQ(o.d.CommonBook->Numbers[11], "");
    EXPECT_EQ(o.d.CommonBook->Numbers[29], "7777777777777777");
    for (int i = 30; i < 100; ++i) ASSERT_EQ(o.d.CommonBook->Numbers[i], "") << i;
}

TEST(CommonBook, FileImage) {
    Offline o;
    o.d.CommonBook->Numbers[0] = "112";
    o.d.CommonBook->Numbers[29] = "1234567890123456";
    EncodeCommonBook(o.e, o.d);
    TFileImage file(1000);
    commonbook::CopyToFileImage(o.e, file);
    ASSERT_EQ(file.Length, 3 + 12 + 10 + 17);
    EXPECT_EQ(file.Bytes[0], 12);

    Offline loaded;
    ASSERT_TRUE(commonbook::CopyFromFileImage(loaded.e, file));
    for (int b = 0; b < 3; ++b) EXPECT_EQ(PayloadOf(loaded.e.CommonBook, b), PayloadOf(o.e.CommonBook, b));

    // A record cut short is refused without a change.
    const Bytes whole(file.Bytes.begin(), file.Bytes.begin() + file.Length);
    for (const Bytes& bad : {Bytes(whole.begin(), whole.end() - 1), Bytes{2, 0x12}}) {
        TFileImage f(1000);
        ASSERT_TRUE(f.Assign(bad));
        EXPECT_FALSE(commonbook::CopyFromFileImage(loaded.e, f));
        EXPECT_EQ(PayloadOf(loaded.e.CommonBook, 2), PayloadOf(o.e.CommonBook, 2));
    }

    // Bytes behind the list are ignored; missing records, or a file without the section
    // at all, come out empty.
    TFileImage tail(1000);
    Bytes extra = whole;
    extra.push_back(7);
    ASSERT_TRUE(tail.Assign(extra));
    EXPECT_TRUE(commonbook::CopyFromFileImage(loaded.e, tail));
    EXPECT_EQ(PayloadOf(loaded.e.CommonBook, 2), PayloadOf(o.e.CommonBook, 2));
    TFileImage one(1000);
    ASSERT_TRUE(one.Assign(Bytes{1, 0x50}));
    EXPECT_TRUE(commonbook::CopyFromFileImage(loaded.e, one));
    EXPECT_EQ(loaded.e.CommonBook.Counts, (std::vector<std::uint16_t>{1, 0, 0}));
    EXPECT_TRUE(commonbook::CopyFromFileImage(loaded.e, TFileImage(1000)));
    EXPECT_EQ(loaded.e.CommonBook.Counts, std::vector<std::uint16_t>(3, 0));
}

TEST(CommonBook, ReadWithoutALinkLeavesTheBook) {
    Offline o;
    SetBlock(o.e.CommonBook, 0, {0x12, 0x00});
    EXPECT_EQ(ReadCommonBook(o.e), kNoLink);
    EXPECT_EQ(PayloadOf(o.e.CommonBook, 0), (Bytes{0x12, 0x00}));
    EXPECT_EQ(WriteCommonBook(o.e), kNoLink);
    ClearCommonBook(o.e);
    EXPECT_EQ(o.e.CommonBook.Counts[0], 0);
    EXPECT_EQ(o.e.CommonBook.Bytes, Bytes(3 * 255, 0));
}

// ---- against the simulated exchange -------------------------------------------------

TEST(CommonBook, ReadEditAndWriteTheExchange) {
    testing::SimEngine sim;
    sim.Select({&TDataStream::SelCommonBook});
    ASSERT_EQ(sim.ReadAll(), 1);
    const TGlobalExtNum& book = *sim.data->CommonBook;
    EXPECT_EQ(book.Numbers[0], "84951234567");
    EXPECT_EQ(book.Numbers[3], "");
    EXPECT_EQ(book.Numbers[5], "8P4959998877");
    EXPECT_EQ(book.Numbers[13], "T84956660011");
    EXPECT_EQ(book.Numbers[20], "A5551234");
    EXPECT_EQ(book.Numbers[24], "#31#");

    // Empty the exchange's book: what write-all sends must be exactly what was read.
    Bytes held[3];
    for (int b = 0; b < 3; ++b) held[b] = sim.Held(0x0C + b, -1);
    sim.ChangeExchange([](sim::ExchangeState& s) {
        for (int b = 0; b < 3; ++b) s.blocks[{0x0C + b, -1}] = Bytes(10, 0);
    });
    DecodeCommonBook(*sim.engine, *sim.data);
    EncodeCommonBook(*sim.engine, *sim.data);
    ASSERT_EQ(sim.WriteAll(), 1);
    for (int b = 0; b < 3; ++b) EXPECT_EQ(sim.Held(0x0C + b, -1), held[b]) << b;
    EXPECT_FALSE(sim.engine->Changed[kTabCommonBook]);

    sim.data->CommonBook->Numbers[29] = "*#0";
    EncodeCommonBook(*sim.engine, *sim.data);
    ASSERT_EQ(sim.WriteAll(), 1);
    const Bytes last = sim.Held(0x0E, -1);
    EXPECT_EQ(Bytes(last.end() - 3, last.end()), (Bytes{0xBC, 0xA0, 0x00}));
}

TEST(CommonBook, TimeOutAndRefusedWrite) {
    testing::SimEngine sim;
    sim.Select({&TDataStream::SelCommonBook});
    ASSERT_EQ(sim.ReadAll(), 1);

    sim.exchange->SetFaults({.badSum = -1});
    EXPECT_EQ(ReadCommonBook(*sim.engine), kTimeOut);
    EXPECT_EQ(sim.engine->CommonBook.Bytes, Bytes(3 * 255, 0));
    EXPECT_EQ(sim.engine->CommonBook.Counts, std::vector<std::uint16_t>(3, 0));
    DecodeCommonBook(*sim.engine, *sim.data);
    EXPECT_EQ(sim.data->CommonBook->Numbers[0], "");
    EXPECT_EQ(sim.data->CommonBook->Count, 30);

    sim.exchange->SetFaults({.refuseWrites = -1});
    EncodeCommonBook(*sim.engine, *sim.data);
    EXPECT_EQ(sim.WriteAll(), -1);
    EXPECT_TRUE(sim.ui.Showed("Не могу записать общую записную книжку, нет связи с АТС."));
    EXPECT_FALSE(sim.engine->Changed[kTabCommonBook]);
    EXPECT_NE(sim.Held(0x0C, -1), Bytes(10, 0));
}

}  // namespace
}  // namespace stanset
