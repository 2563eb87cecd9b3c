#include "tables/features/key_tables.h"

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
    explicit Bench(const std::string& model, int phones = 2) {
        e.Identity.Model = model;
        e.Identity.STACount = static_cast<std::uint16_t>(phones);
    }
    void Put(int i, const Bytes& block) {
        std::copy(block.begin(), block.end(), e.STAKeys.Block(i).begin());
        e.STAKeys.Counts[i] = static_cast<std::uint16_t>(block.size());
    }
    Bytes Got(int i) const {
        const auto p = e.STAKeys.Payload(i);
        return {p.begin(), p.end()};
    }
    testing::TempDir dir;
    testing::RecordingUI ui;
    testing::FakeLine line;
    TMainClass e{ui, {dir.Path(), "", &line}};
    TDataStream d;
};

TEST(KeyTablesCodec, TextsAndValuesBothWays) {
    struct Case {
        const char* text;
        std::uint8_t value, kind;
    } cases[] = {
        {"SL02", 0xA2, 0xAA},  {"SL202", 0xA2, 0xAB}, {"SL300", 0xAA, 0xAC}, {"SL10", 0x1A, 0xAA},
        {"061", 0x61, 0x0A},   {"100", 0xAA, 0x01},   {"1034", 0x34, 0x1A},  {"15", 0x15, 0x00},
        {"710", 0x1A, 0x07},   {"701", 0x01, 0x07},   {"01", 0xA1, 0x00},    {"9", 0x09, 0x00},
        {"Conf0", 0x0A, 0x8F}, {"Conf1", 0x01, 0x8F}, {"55", 0x55, 0x00},    {"541", 0x41, 0x05},
        {"250", 0x5A, 0x02},   {"315", 0x15, 0x03},   {"", 0x00, 0x00},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(KeyTextToValue(c.text), MakeWord(c.value, c.kind));
        EXPECT_EQ(KeyValueToText(MakeWord(c.value, c.kind)), c.text);
    }
    EXPECT_EQ(KeyValueToText(0x0001), "01");
    EXPECT_EQ(KeyTextToValue("54"), KeyTextToValue("55"));
    EXPECT_EQ(KeyTextToValue("hello"), 0);
    EXPECT_THROW(KeyTextToValue("12B4"), EConvertError);
}

TEST(KeyTablesCodec, AcceptedTextsPerModelFamily) {
    struct Case {
        const char* model;
        const char* text;
        bool accepted, notice;
    } cases[] = {
        {"KVT700-1", "", true, false},     {"KVT700-1", " 2 0 1 ", true, false},
        {"KVT700-1", "05", true, false},   {"KVT700-1", "06", false, false},
        {"KVT700-1", "069", true, false},  {"KVT700-1", "059", false, false},
        {"KVT700-1", "1", false, false},   {"KVT700-1", "1999", true, false},
        {"KVT700-1", "315", true, false},  {"RD16", "315", false, false},
        {"KVT250", "546", true, false},    {"RD32", "546", false, false},
        {"RD32", "542", true, false},      {"KVT700-1", "557", true, false},
        {"KVT700-1", "729", true, false},  {"KVT700-1", "730", false, false},
        {"KVT700-1", "Conf1", true, false}, {"RD16", "Conf1", false, false},
        {"KVT700-1", "SL299", true, false}, {"KVT700-1", "SL12", false, false},
        {"RD32", "SL12", true, false},     {"RD32", "SL15", false, false},
        {"RD16", "2011", false, true},     {"RD16", "21", false, true},
        {"KVT700-1", "21", false, false},  {"Pebbo", "anything", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " '" + c.text + "'");
        const TKeyTextCheck check = CheckKeyText(c.model, c.text);
        EXPECT_EQ(check.Accepted, c.accepted);
        EXPECT_EQ(check.Notice, c.notice);
    }

    testing::RecordingUI ui;
    EXPECT_FALSE(AcceptKeyText("RD16", "21", ui));
    ASSERT_EQ(ui.Messages.size(), 2u);
    EXPECT_EQ(ui.Messages[0], std::make_pair(std::string(kKeyTextNotice), std::string("Сообшение")));
    EXPECT_EQ(ui.Messages[1], std::make_pair(std::string("Некорректное значение клавиши."), std::string("Ошибка")));
    EXPECT_TRUE(AcceptKeyText("RD16", "201", ui));
    EXPECT_EQ(ui.Messages.size(), 2u);
}

TEST(KeyTablesCodec, TablesRoundTripWithAndWithoutAConsole) {
    struct Case {
        const char* model;
        std::int32_t console;
        std::uint8_t index;  // byte 96, 0 when not attached
    } cases[] = {
        {"KVT700-1", -1, 0}, {"KVT700-1", 214, 4}, {"KVT250", 204, 1}, {"RD32", 206, 4}, {"RD16", 210, 5},
    };
    const std::vector<std::string> keys = {"201", "SL202", "Conf1", "", "061", "710", "9", "1034"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model + std::string(" ") + std::to_string(c.console));
        Bench b(c.model, 1);
        TSTAButtonTable& t = b.d.STAButtons[0];
        for (std::size_t k = 0; k < keys.size(); ++k) t.KeyText[k] = keys[k];
        t.KeyText[47] = "55";
        t.KeyCount = kKeysPerTable;
        t.ConsoleBinding = c.console;
        EncodeKeyTables(b.e, b.d);
        const Bytes block = b.Got(0);
        ASSERT_EQ(block.size(), c.console == -1 ? 96u : 97u);
        if (c.console != -1) {
            EXPECT_EQ(block[96], c.index);
        }
        EXPECT_EQ(block[94], 0x55);
        EXPECT_TRUE(b.e.Changed[kTabSTAKeys]);

        DecodeKeyTables(b.e, b.d);
        EXPECT_EQ(t.KeyCount, kKeysPerTable);
        EXPECT_EQ(t.ConsoleBinding, c.console);
        for (std::size_t k = 0; k < keys.size(); ++k) EXPECT_EQ(t.KeyText[k], keys[k]);
        EXPECT_EQ(t.KeyText[47], "55");
        EncodeKeyTables(b.e, b.d);
        EXPECT_EQ(b.Got(0), block);
    }
}

TEST(KeyTablesCodec, ShortBlocksAndUnencodableValues) {
    Bench b("KVT700-1", 2);
    b.Put(0, {0x01, 0x02, 0x09});  // one whole key; the odd byte is no key
    Bytes odd(96, 0);
    odd[0] = 0xB4, odd[1] = 0x12;  // shows as 12B4, a text no key can be typed as
    b.Put(1, odd);
    DecodeKeyTables(b.e, b.d);
    EXPECT_EQ(b.d.STAButtons[0].KeyText[0], "201");
    EXPECT_EQ(b.d.STAButtons[0].KeyText[1], "");
    EXPECT_EQ(b.d.STAButtons[1].KeyText[0], "12B4");

    EXPECT_EQ(EncodeKeyTables(b.e, b.d), -1);
    EXPECT_EQ(b.Got(1), odd);  // kept, not lost
    // The same text over another value cannot be made: the key is written empty.
    b.d.STAButtons[1].KeyText[1] = "12B4";
    EncodeKeyTables(b.e, b.d);
    EXPECT_EQ(b.Got(1)[2], 0);
    EXPECT_EQ(b.Got(1)[3], 0);
}

TEST(KeyTablesCodec, MoreThan45PhonesLeaveTheRestAsRead) {
    Bench b("KVT700-1", 50);
    for (int i = 0; i < 50; ++i) b.Put(i, Bytes(96, static_cast<std::uint8_t>(0x21 + i)));
    DecodeKeyTables(b.e, b.d);
    EXPECT_EQ(b.d.STAButtons[44].KeyCount, kKeysPerTable);
    for (auto& t : b.d.STAButtons) t.KeyText.fill("");
    EncodeKeyTables(b.e, b.d);
    EXPECT_EQ(b.Got(44), Bytes(96, 0));
    EXPECT_EQ(b.Got(45), Bytes(96, 0x21 + 45));
}

TEST(KeyTablesCodec, AnUnknownModelHasNoConsoles) {
    Bench b("Pebbo", 1);
    Bytes block(97, 0);
    block[96] = 4;
    b.Put(0, block);
    DecodeKeyTables(b.e, b.d);
    EXPECT_EQ(b.d.STAButtons[0].ConsoleBinding, -1);
    b.d.STAButtons[0].ConsoleBinding = 214;
    EncodeKeyTables(b.e, b.d);
    EXPECT_EQ(b.Got(0).size(), 96u);
}

TEST(KeyTablesTransfer, NoPhonesOrNoLink) {
    Bench none("KVT700-1", 0);
    EXPECT_EQ(ReadKeyTables(none.e), -2);
    EXPECT_EQ(WriteKeyTables(none.e, none.ui), 0);
    EXPECT_TRUE(none.line.Written.empty());
    ASSERT_EQ(none.ui.Messages.size(), 1u);
    EXPECT_EQ(none.ui.Messages[0], std::make_pair(std::string("Макс. кол-во СТА = 0 (1)"), std::string()));

    Bench dead("KVT700-1", 2);
    dead.Put(0, {1, 2});
    EXPECT_EQ(ReadKeyTables(dead.e), -1);
    EXPECT_EQ(WriteKeyTables(dead.e, dead.ui), -1);
    EXPECT_EQ(dead.Got(0), (Bytes{1, 2}));
}

TEST(KeyTablesFile, ImageRoundTripAndMalformedPayloads) {
    Bench b("KVT700-1", 3);
    b.Put(0, Bytes(96, 0x11));
    b.Put(1, Bytes(97, 0x22));
    TFileImage image(65536);
    keytables::CopyToFileImage(b.e, image);
    EXPECT_EQ(image.Length, 97 + 98 + 1);

    Bench back("KVT700-1", 3);
    back.Put(2, {5, 5});
    ASSERT_TRUE(keytables::CopyFromFileImage(back.e, image));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(back.Got(i), b.Got(i)) << i;

    ASSERT_TRUE(image.Assign(Bytes{96, 1, 2}));
    EXPECT_FALSE(keytables::CopyFromFileImage(back.e, image));
    EXPECT_EQ(back.Got(0), b.Got(0));
}

TEST(KeyTablesSim, ReadDecodeEncodeWriteLeavesTheExchangeAsItWas) {
    for (const char* model : {"KVT700-1", "RD16"}) {
        SCOPED_TRACE(model);
        testing::SimEngine sim({model, "24,7"});
        sim.Select({&TDataStream::SelSTAKeys});
        ASSERT_EQ(sim.ReadAll(), 1);
        const int phones = sim.engine->Identity.STACount;
        const bool kvt = std::string(model).starts_with("KVT");
        // A phone of the sample, and the console that serves it.
        const int phone = kvt ? 234 : 230;
        const int console = kvt ? 236 : 232;
        const TSTAButtonTable& t = sim.data->STAButtons[GetLogSTA(model, phone)];
        EXPECT_EQ(t.KeyText[0], "201");
        EXPECT_EQ(t.KeyText[kvt ? 2 : 5], kvt ? "SL200" : "SL00");
        EXPECT_EQ(t.KeyText[kvt ? 4 : 8], kvt ? "Conf1" : "55");
        EXPECT_EQ(t.KeyText[kvt ? 11 : 14], kvt ? "315" : "1034");
        EXPECT_EQ(t.ConsoleBinding, -1);
        EXPECT_EQ(sim.data->STAButtons[GetLogSTA(model, console)].ConsoleBinding, phone);

        std::vector<sim::Bytes> held;
        for (int i = 0; i < phones; ++i) held.push_back(sim.Held(0x60, i));
        EXPECT_EQ(EncodeKeyTables(*sim.engine, *sim.data), 0);
        sim.ChangeExchange([](sim::ExchangeState& s) { s.blocks.erase({0x60, 0}); });
        ASSERT_EQ(sim.WriteAll(), 1);
        for (int i = 0; i < phones; ++i) EXPECT_EQ(sim.Held(0x60, i), held[i]) << i;
    }
}

TEST(KeyTablesSim, TimeOutRefusedPreambleAndRefusedWrite) {
    testing::SimEngine sim({"RD16", "24,7"});
    sim.Select({&TDataStream::SelSTAKeys});
    ASSERT_EQ(sim.ReadAll(), 1);
    const auto before = sim.engine->STAKeys.Bytes;

    sim.exchange->SetFaults({.refusePreamble = true});
    EXPECT_EQ(ReadKeyTables(*sim.engine), -4);
    EXPECT_EQ(sim.engine->STAKeys.Bytes, before);  // nothing was cleared
    EXPECT_EQ(WriteKeyTables(*sim.engine, sim.ui), -4);

    sim.exchange->SetFaults({.badSum = -1});
    EXPECT_EQ(ReadKeyTables(*sim.engine), -5);
    EXPECT_TRUE(std::all_of(sim.engine->STAKeys.Counts.begin(), sim.engine->STAKeys.Counts.end(),
                            [](auto n) { return n == 0; }));
    DecodeKeyTables(*sim.engine, *sim.data);
    EXPECT_EQ(sim.data->STAButtons[0].KeyText[0], "");

    sim.exchange->SetFaults({.refuseWrites = -1});
    EXPECT_EQ(WriteKeyTables(*sim.engine, sim.ui), -5);
}

}  // namespace
}  // namespace stanset
