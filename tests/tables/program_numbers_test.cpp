// Program numbers: the packing, the block layouts by model, the editor's rows, file
// images, and the exchange end to end.
#include "tables/features/program_numbers.h"

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

// An engine without an exchange and a port list of subscriber lines at the given numbers.
struct Offline {
    Offline(const char* model, int lines, std::vector<int> numbers) : d(dir.Path()) {
        e.Identity.Model = model;
        e.Identity.Version = "24,7";
        e.Identity.LineCount = static_cast<std::uint16_t>(lines);
        for (int n : numbers) Add(n, kPortLine);
    }
    TPort& Add(int number, TPortKind kind) {
        auto p = std::make_shared<TPort>();
        p->Number = number;
        p->Kind = kind;
        d.Ports.push_back(p);
        return *p;
    }
    std::string& Pn(int number) {
        for (auto& p : d.Ports)
            if (p->Number == number) return p->Line.ProgramNumber;
        throw std::logic_error("no port");
    }
    Bytes Held(int b) const { return {e.ProgNumbers.Payload(b).begin(), e.ProgNumbers.Payload(b).end()}; }

    testing::TempDir dir;
    testing::RecordingUI ui;
    testing::FakeLine line;
    TMainClass e{ui, {.workDir = dir.Path(), .device = {}, .line = &line}};
    TDataStream d;
};

TEST(ProgramNumbersCodec, PackingRoundTrips) {
    struct Case {
        std::string pn;
        std::uint8_t b0, b1;
    } cases[] = {
        {"1234", 0x34, 0x02}, {"1034", 0x34, 0x0A}, {"125", 0x25, 0x00},  {"15", 0x05, 0x00},
        {"10", 0x0A, 0x00},   {"1000", 0xAA, 0x0A}, {"1999", 0x99, 0x09}, {"", 0x00, 0x00},
    };
    Offline o("KVT700-1", 150, {203});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pn);
        o.Pn(203) = c.pn;
        ASSERT_EQ(EncodeProgramNumbers(o.e, o.d), 0);
        const auto block = o.e.ProgNumbers.Block(0);
        EXPECT_EQ(block[6], c.b0);
        EXPECT_EQ(block[7], c.b1);
        o.Pn(203) = "stale";
        DecodeProgramNumbers(o.e, o.d);
        EXPECT_EQ(o.Pn(203), c.pn);
    }
}

TEST(ProgramNumbersCodec, BlockLayoutsByModel) {
    struct Case {
        const char* model;
        int lines;
        int number;     // a line with a program number
        int block, at;  // where its entry goes
        std::size_t first, second;
    } cases[] = {
        // clang-format off
        {"KVT700-1", 150, 325, 1, 10, 240, 60},
        {"KVT700-1", 150, 319, 0, 238, 240, 60},
        {"KVT250", 120, 201, 0, 2, 240, 0},
        {"RD32", 80, 210, 0, 16, 160, 0},  // line index 8
        {"RD16", 48, 257, 0, 94, 96, 0},   // the last line
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + std::to_string(c.number));
        Offline o(c.model, c.lines, {c.number});
        o.Pn(c.number) = "1287";
        ASSERT_EQ(EncodeProgramNumbers(o.e, o.d), 0);
        EXPECT_TRUE(o.e.Changed[kTabProgNumbers]);
        EXPECT_EQ(o.e.ProgNumbers.Counts[0], c.first);
        EXPECT_EQ(o.e.ProgNumbers.Counts[1], c.second);
        const auto block = o.e.ProgNumbers.Block(c.block);
        EXPECT_EQ(block[c.at], 0x87);
        EXPECT_EQ(block[c.at + 1], 0x02);
        const Bytes held = o.Held(c.block);
        EXPECT_EQ(std::count(held.begin(), held.end(), 0), static_cast<long>(held.size()) - 2);
    }
}

TEST(ProgramNumbersCodec, ABadNumberKeepsTheOldBlocks) {
    for (const char* bad : {"12345", "1x2", "234", "1 5"}) {
        SCOPED_TRACE(bad);
        Offline o("KVT700-1", 150, {201, 203});
        o.Pn(201) = "155";
        ASSERT_EQ(EncodeProgramNumbers(o.e, o.d), 0);
        o.e.Changed[kTabProgNumbers] = false;
        const Bytes before = o.Held(0);
        o.Pn(201) = "166";
        o.Pn(203) = bad;
        EXPECT_EQ(EncodeProgramNumbers(o.e, o.d), -1);
        EXPECT_EQ(o.Held(0), before);
        EXPECT_EQ(o.e.ProgNumbers.Counts[1], 60);
        EXPECT_FALSE(o.e.Changed[kTabProgNumbers]);
    }
}

TEST(ProgramNumbersCodec, DecodingAcceptsAnyBlock) {
    Offline o("KVT250", 120, {200, 201, 202, 320});
    auto block = o.e.ProgNumbers.Block(0);
    block[0] = 0x34, block[1] = 0x12;  // four digits: shown as they are
    block[2] = 0xBC, block[3] = 0x00;
    block[4] = 0x55, block[5] = 0x05;  // beyond the count: absent
    o.e.ProgNumbers.Counts[0] = 4;
    o.Pn(320) = "stale";  // a second block the model does not have
    DecodeProgramNumbers(o.e, o.d);
    EXPECT_EQ(o.Pn(200), "11234");
    EXPECT_EQ(o.Pn(201), "1BC");
    EXPECT_EQ(o.Pn(202), "");
    EXPECT_EQ(o.Pn(320), "");
    EXPECT_EQ(EncodeProgramNumbers(o.e, o.d), -1);  // and refused when written back

    // A model without a layout of its own keeps what it read.
    Offline other("B", 20, {});
    other.e.ProgNumbers.Block(0)[0] = 0x42;
    other.e.ProgNumbers.Counts[0] = 40;
    EXPECT_EQ(EncodeProgramNumbers(other.e, other.d), 0);
    EXPECT_EQ(other.e.ProgNumbers.Counts[0], 40);
    EXPECT_EQ(other.e.ProgNumbers.Block(0)[0], 0x42);
}

TEST(ProgramNumbersCodec, AttachedLinesKeepTheirNumbers) {
    Offline o("KVT700-1", 150, {});
    o.Add(248, kPortIntercom).Line.ProgramNumber = "1548";
    o.Add(257, kPortGGS).Line.ProgramNumber = "1557";
    o.Add(249, kPortIntercomJack).Line.ProgramNumber = "1549";
    ASSERT_EQ(EncodeProgramNumbers(o.e, o.d), 0);
    o.Pn(248).clear();
    o.Pn(257).clear();
    DecodeProgramNumbers(o.e, o.d);
    EXPECT_EQ(o.Pn(248), "1548");
    EXPECT_EQ(o.Pn(257), "1557");
    EXPECT_EQ(o.e.ProgNumbers.Block(0)[2 * 49], 0);  // an intercom jack is no line
}

TEST(ProgramNumbersEditor, RowsAreCheckedAndStored) {
    Offline o("RD32", 80, {201, 203, 210});
    o.Add(202, kPortSTA);
    std::vector<TProgramNumberRow> rows = {
        {"201", "", " 1 23", "Приёмная"},
        {"203", "11", "1", "Склад"},
        {"210", "", "145", ""},
        {"202", "", "", "СТА"},
    };
    ASSERT_TRUE(PrepareProgramNumbers(rows, o.ui));
    EXPECT_EQ(rows[0].ProgramNumber, "123");
    EXPECT_EQ(rows[1].ProgramNumber, "");
    EXPECT_TRUE(o.ui.Showed("В программном номере должно быть не менее 2-х цифр, ошибочный номер будет стерт"));

    o.Pn(203) = "199";
    StoreProgramNumbers(o.e, o.d, rows);
    EXPECT_EQ(o.Pn(201), "123");
    EXPECT_EQ(o.Pn(203), "");
    EXPECT_EQ(o.Pn(210), "145");
    // Names go by line index: 201 is index 1 on an RD, 210 index 8.
    EXPECT_EQ(o.d.NamesList->NameOf(TNameFile(TNameKind::Ports), 1), "Приёмная");
    EXPECT_EQ(o.d.NamesList->NameOf(TNameFile(TNameKind::Ports), 3), "Склад");
    EXPECT_EQ(o.d.NamesList->NameOf(TNameFile(TNameKind::Ports), 8), "");

    std::vector<TProgramNumberRow> twice = {{"201", "", "145", ""}, {"203", "", "14 5", ""}, {"x", "", "", "?"}};
    o.ui.Messages.clear();
    EXPECT_FALSE(PrepareProgramNumbers(twice, o.ui));
    EXPECT_TRUE(o.ui.Showed("Есть одинаковые  программные номера."));
    StoreProgramNumbers(o.e, o.d, std::span(twice).subspan(2));  // a row naming no line: skipped
    EXPECT_EQ(o.Pn(201), "123");
}

TEST(ProgramNumbersFileImage, ShapesByModelAndMalformedPayloads) {
    Offline o("KVT700-1", 150, {201, 345});
    o.Pn(201) = "1201";
    o.Pn(345) = "1345";
    ASSERT_EQ(EncodeProgramNumbers(o.e, o.d), 0);
    TFileImage image(500);
    prognumbers::CopyToFileImage(o.e, image);
    ASSERT_EQ(image.Length, 300);

    Offline back("KVT700-1", 150, {201, 345});
    ASSERT_TRUE(prognumbers::CopyFromFileImage(back.e, image));
    EXPECT_EQ(back.Held(0), o.Held(0));
    EXPECT_EQ(back.Held(1), o.Held(1));

    // Cut short: refused, the engine untouched.
    TFileImage shortImage(500);
    ASSERT_TRUE(shortImage.Assign(Bytes(240, 0x11)));
    EXPECT_FALSE(prognumbers::CopyFromFileImage(back.e, shortImage));
    EXPECT_EQ(back.Held(1), o.Held(1));

    // No section: empty numbers. An RD's block keeps the length of its own lines.
    Offline rd("RD32", 80, {});
    rd.e.ProgNumbers.Block(0)[0] = 0x55;
    ASSERT_TRUE(prognumbers::CopyFromFileImage(rd.e, TFileImage(500)));
    EXPECT_EQ(rd.e.ProgNumbers.Counts[0], 160);
    EXPECT_EQ(rd.e.ProgNumbers.Block(0)[0], 0);
    ASSERT_TRUE(prognumbers::CopyFromFileImage(rd.e, image));  // 300 bytes: the tail ignored
    const Bytes kvtFirst = o.Held(0);
    EXPECT_EQ(rd.Held(0), Bytes(kvtFirst.begin(), kvtFirst.begin() + 160));
    EXPECT_EQ(rd.e.ProgNumbers.Counts[1], 0);
}

// ---- against the simulated exchange ----------------------------------------------------

TEST(ProgramNumbersExchange, SamplesDecodeAndWriteBackUnchanged) {
    struct Case {
        const char* model;
        const char* firmware;
        std::vector<std::pair<int, std::string>> expected;
    } cases[] = {
        {"KVT700-1", "24,7", {{201, "10"}, {205, "123"}, {207, "1034"}, {209, "15"}, {200, ""}}},
        {"KVT250", "24,3", {{201, "10"}, {203, "11"}}},
        {"RD16", "23,8", {{201, "10"}, {205, "1034"}}},
        {"RD32", "24,4", {{204, "123"}, {206, "15"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        testing::SimEngine s({c.model, c.firmware});
        // The intercoms and loudspeakers mark the lines they are attached to.
        s.Select({&TDataStream::SelProgNumbers, &TDataStream::SelIntercoms, &TDataStream::SelGGS});
        ASSERT_EQ(s.ReadAll(), 1);
        EXPECT_TRUE(s.ui.Messages.empty());
        for (const auto& [number, pn] : c.expected) {
            TPortPtr* port = FindPort(*s.data, number);
            ASSERT_TRUE(port && *port) << number;
            EXPECT_EQ((*port)->Line.ProgramNumber, pn) << number;
        }
        int attachedWithNumber = 0;
        for (const TPortPtr& p : s.data->Ports)
            if ((p->Kind == kPortIntercom || p->Kind == kPortGGS) && !p->Line.ProgramNumber.empty())
                ++attachedWithNumber;
        EXPECT_GT(attachedWithNumber, 0);

        const auto before = s.exchange->State().blocks;
        ASSERT_EQ(EncodeProgramNumbers(*s.engine, *s.data), 0);
        ASSERT_EQ(s.WriteAll(), 1);
        EXPECT_EQ(s.exchange->State().blocks, before);
    }
}

TEST(ProgramNumbersExchange, TimeOutEmptiesBothBlocksAndRefusedWritesAreReported) {
    testing::SimEngine s;
    s.Select({&TDataStream::SelProgNumbers});
    ASSERT_EQ(s.ReadAll(), 1);
    ASSERT_EQ((*FindPort(*s.data, 201))->Line.ProgramNumber, "10");

    s.exchange->SetFaults({.badSum = -1});
    EXPECT_EQ(ReadProgramNumbers(*s.engine), kTimeOut);
    EXPECT_EQ(s.engine->ProgNumbers.Counts[0], 0);
    EXPECT_EQ(s.engine->ProgNumbers.Counts[1], 0);
    DecodeProgramNumbers(*s.engine, *s.data);
    EXPECT_EQ((*FindPort(*s.data, 201))->Line.ProgramNumber, "");

    s.exchange->SetFaults({.refuseWrites = -1});
    s.exchange->ClearTranscript();
    EXPECT_EQ(s.WriteAll(), -1);
    EXPECT_TRUE(s.ui.Showed("Не могу записать таблицу программных номеров, нет связи с АТС."));
    for (const auto& line : s.exchange->Transcript()) EXPECT_EQ(line.find("write c0 11"), std::string::npos) << line;
}

}  // namespace
}  // namespace stanset
