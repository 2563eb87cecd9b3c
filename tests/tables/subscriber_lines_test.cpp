// Subscriber lines: the block layout per model family and firmware, the file section, and
// the table end to end against the simulated exchange.
#include "tables/lines/subscriber_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/main_class.h"
#include "files/file_image.h"
#include "simulator.h"
#include "support/fake_line.h"
#include "support/recording_ui.h"
#include "support/sim_engine.h"
#include "support/temp_dir.h"

namespace stanset {
namespace {

using namespace lines;
using Bytes = std::vector<std::uint8_t>;

// An engine on a line with nobody at the other end: the codecs need only its identity and images.
class SubscriberLinesCodec : public ::testing::Test {
protected:
    void Use(const char* model, const char* version, int lines = 4, int trunks = 75) {
        e.Identity.Model = model;
        e.Identity.Version = version;
        e.Identity.LineCount = static_cast<std::uint16_t>(lines);
        e.Identity.TrunkCount = static_cast<std::uint16_t>(trunks);
    }
    Bytes Slot(int i) const {
        const auto p = e.Lines.Payload(i);
        return {p.begin(), p.end()};
    }
    void SetSlot(int i, const Bytes& bytes) {
        auto block = e.Lines.Block(i);
        std::fill(block.begin(), block.end(), 0);
        std::copy(bytes.begin(), bytes.end(), block.begin());
        e.Lines.Counts[i] = static_cast<std::uint16_t>(bytes.size());
    }

    testing::TempDir dir;
    testing::RecordingUI ui;
    testing::FakeLine line;
    TMainClass e{ui, TEngineOptions{dir.Path(), "", &line}};
    std::unique_ptr<TDataStream> d = std::make_unique<TDataStream>();
};

// What a model and firmware carry: block length, triggers 0 .. triggers-1 read back, and
// closed trunks 0 .. trunks-1 read back.
struct TFamily {
    const char* model;
    const char* version;
    int trunkCount;
    std::size_t length;
    int triggers;
    int trunks;
};

constexpr TFamily kFamilies[] = {
    {"KVT700-1", "24,7", 75, 33, 25, 75},
    {"KVT700-1", "24,3", 75, 31, 19, 75},
    {"KVT700-1", "23,8", 75, 31, 18, 75},
    {"KVT250", "24,4", 60, 33, 25, 64},
    {"RD32", "24,4", 20, 19, 25, 24},
    {"RD16", "24,3", 12, 17, 19, 24},
    {"Pebbo", "24,7", 10, 19, 19, 24},  // neither family: writes triggers 19-24 but never reads them
};

TAL RandomLine(std::mt19937& rng, const TFamily& f) {
    static const char* kNumbers[] = {"", "1234", "205", "05", "00245", "00345", "7", "0", "9000"};
    auto bit = [&rng] { return static_cast<std::uint8_t>(rng() & 1); };
    TAL al;
    for (int t = 0; t < f.triggers; ++t) al.Trigger[t] = bit(), al.TriggerOwn[t] = bit();
    for (int k = 0; k < f.trunks; ++k) al.SLOff[k] = bit(), al.SLOffOwn[k] = bit();
    al.Priority = static_cast<std::uint8_t>(rng());
    al.GGSNumber = static_cast<std::uint8_t>(rng());
    al.GroupIndex = static_cast<int>(rng() % 21) - 1;
    al.DirectCall = kNumbers[rng() % std::size(kNumbers)];
    return al;
}

TEST_F(SubscriberLinesCodec, RecordsAndBlocksRoundTripForEveryFamilyAndGate) {
    std::mt19937 rng(7);
    for (const TFamily& f : kFamilies) {
        SCOPED_TRACE(std::string(f.model) + " " + f.version);
        Use(f.model, f.version, 6, f.trunkCount);
        for (int i = 0; i < 6; ++i) d->Lines[i] = RandomLine(rng, f);
        e.Changed.fill(false);
        EncodeSubscriberLines(e, *d);
        EXPECT_TRUE(e.Changed[kTabLines]);
        const std::vector<std::uint8_t> bytes = e.Lines.Bytes;
        const std::vector<std::uint16_t> counts = e.Lines.Counts;

        auto back = std::make_unique<TDataStream>();
        DecodeSubscriberLines(e, *back);
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(e.Lines.Counts[i], f.length);
            EXPECT_TRUE(back->Lines[i] == d->Lines[i]) << "line " << i;
        }
        EncodeSubscriberLines(e, *back);
        EXPECT_EQ(e.Lines.Bytes, bytes);
        EXPECT_EQ(e.Lines.Counts, counts);
    }
}

TEST_F(SubscriberLinesCodec, GatedTriggersGoWhereTheFirmwareAndFamilyPutThem) {
    struct Case {
        const char* model;
        const char* version;
        int trigger;
        int valueByte, ownByte, bit;  // -1: not written
        bool read;
    } cases[] = {
        {"KVT700-1", "23,8", RusSTA_ON, 0, 11, 7, false},  // written all the same
        {"KVT700-1", "24,3", RusSTA_ON, 0, 11, 7, true},
        {"RD16", "23,8", RusSTA_ON, 0, 11, 7, false},
        {"KVT700-1", "24,3", b_extnum, -1, -1, 0, false},
        {"KVT700-1", "24,4", b_extnum, 31, 32, 5, true},
        {"KVT250", "24,7", w_extnum_3th, 31, 32, 2, true},
        {"RD32", "24,4", w_extnum_1th, 17, 18, 0, true},
        {"RD32", "24,3", w_extnum_1th, -1, -1, 0, false},
        {"Pebbo", "24,7", w_extnum_5th, 17, 18, 4, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + c.version + " trigger " + std::to_string(c.trigger));
        Use(c.model, c.version, 1);
        d->Lines[0] = TAL{};
        d->Lines[0].Trigger[c.trigger] = 1;
        d->Lines[0].TriggerOwn[c.trigger] = 1;
        EncodeSubscriberLines(e, *d);
        Bytes expected(e.Lines.Counts[0], 0);
        if (c.valueByte >= 0) {
            expected[c.valueByte] = static_cast<std::uint8_t>(1 << c.bit);
            expected[c.ownByte] = static_cast<std::uint8_t>(1 << c.bit);
        }
        EXPECT_EQ(Slot(0), expected);

        // A trigger the exchange does not report keeps what the record held.
        const std::uint8_t before = c.valueByte >= 0 ? 0 : 1;
        d->Lines[0].Trigger[c.trigger] = d->Lines[0].TriggerOwn[c.trigger] = before;
        DecodeSubscriberLines(e, *d);
        EXPECT_EQ(d->Lines[0].Trigger[c.trigger], c.read ? 1 : before);
        EXPECT_EQ(d->Lines[0].TriggerOwn[c.trigger], c.read ? 1 : before);
    }
}

TEST_F(SubscriberLinesCodec, ClosedTrunksReachWhatTheFamilyCarries) {
    struct Case {
        const char* model;
        int trunk;
        int valueByte, ownByte, bit;  // where the decoder finds it
        bool written;
        bool read;
    } cases[] = {
        {"KVT700-1", 23, 5, 16, 7, true, true},
        {"KVT700-1", 24, 17, 22, 0, true, true},
        {"KVT700-1", 63, 21, 26, 7, true, true},
        {"KVT700-1", 64, 27, 29, 0, true, true},
        {"KVT700-1", 74, 28, 30, 2, true, true},
        {"KVT250", 40, 19, 24, 0, true, true},
        {"KVT250", 70, 27, 29, 6, false, true},  // never written, still read
        {"RD32", 23, 5, 16, 7, true, true},
        {"RD32", 24, 17, 22, 0, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " trunk " + std::to_string(c.trunk));
        Use(c.model, "24,3", 1, 75);
        d->Lines[0] = TAL{};
        d->Lines[0].SLOff[c.trunk] = d->Lines[0].SLOffOwn[c.trunk] = 1;
        EncodeSubscriberLines(e, *d);
        Bytes expected(e.Lines.Counts[0], 0);
        if (c.written) expected[c.valueByte] = expected[c.ownByte] = static_cast<std::uint8_t>(1 << c.bit);
        EXPECT_EQ(Slot(0), expected);

        Bytes block(31, 0);
        block[c.valueByte] = block[c.ownByte] = static_cast<std::uint8_t>(1 << c.bit);
        SetSlot(0, block);
        d->Lines[0] = TAL{};
        DecodeSubscriberLines(e, *d);
        EXPECT_EQ(d->Lines[0].SLOff[c.trunk], c.read ? 1 : 0);
        EXPECT_EQ(d->Lines[0].SLOffOwn[c.trunk], c.read ? 1 : 0);
    }
}

TEST_F(SubscriberLinesCodec, TrunksBeyondTheBlockAreOpenedUpToTheTrunkCountTheirFlagsKept) {
    Use("RD32", "24,7", 1, 30);
    d->Lines[0].SLOff.fill(1);
    d->Lines[0].SLOffOwn.fill(1);
    SetSlot(0, Bytes(19, 0));
    DecodeSubscriberLines(e, *d);
    const TAL& al = d->Lines[0];
    EXPECT_EQ(std::count(al.SLOff.begin(), al.SLOff.begin() + 30, 0), 30);
    EXPECT_EQ(al.SLOff[30], 1);
    EXPECT_EQ(std::count(al.SLOffOwn.begin(), al.SLOffOwn.begin() + 24, 0), 24);
    EXPECT_EQ(al.SLOffOwn[24], 1);
}

TEST_F(SubscriberLinesCodec, DirectCallNumbers) {
    struct Case {
        const char* text;
        std::uint8_t byte8, byte9;
        const char* readBack;
    } cases[] = {
        {"1234", 0x34, 0x12, "1234"},
        {"205", 0x50, 0x2A, "205"},
        {"05", 0x00, 0xA5, "05"},
        {"0", 0x00, 0xA0, "0"},
        {"00245", 0x45, 0xAB, "00245"},
        {"00345", 0x45, 0xAC, "00345"},
        {"", 0x00, 0x00, ""},
        {"00545", 0x45, 0x00, "45"},  // five digits the block cannot carry: written incompletely
        {"123456", 0x00, 0x00, ""},
        {"12x", 0x00, 0x00, ""},       // not a number at all
    };
    Use("KVT700-1", "24,7", 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        d->Lines[0].DirectCall = c.text;
        EncodeSubscriberLines(e, *d);
        EXPECT_EQ(e.Lines.Block(0)[8], c.byte8);
        EXPECT_EQ(e.Lines.Block(0)[9], c.byte9);
        DecodeSubscriberLines(e, *d);
        EXPECT_EQ(d->Lines[0].DirectCall, c.readBack);
    }
}

TEST_F(SubscriberLinesCodec, GroupByte) {
    struct Case {
        std::uint8_t byte;
        int index;
    } cases[] = {{0x00, 0}, {0x13, 19}, {0x14, -1}, {0x80, -1}, {0xFF, -1}};
    Use("RD32", "24,7", 1);
    for (const auto& c : cases) {
        Bytes block(19, 0);
        block[10] = c.byte;
        SetSlot(0, block);
        DecodeSubscriberLines(e, *d);
        EXPECT_EQ(d->Lines[0].GroupIndex, c.index) << int(c.byte);
    }
    d->Lines[0].GroupIndex = -1;
    EncodeSubscriberLines(e, *d);
    EXPECT_EQ(e.Lines.Block(0)[10], 0xFF);
}

TEST_F(SubscriberLinesCodec, BytesBeyondTheCountReadAsZero) {
    Use("RD32", "24,4", 2);
    // A short answer over a slot that held a longer one: triggers 19-24 are off.
    Bytes stale(19, 0x3F);
    SetSlot(0, stale);
    e.Lines.Counts[0] = 17;
    // A slot with nothing in it decodes like a cleared one, whatever its data bytes hold.
    auto block = e.Lines.Block(1);
    std::fill(block.begin(), block.end(), 0xFF);
    e.Lines.Counts[1] = 0;
    DecodeSubscriberLines(e, *d);
    for (int t = w_extnum_1th; t <= b_extnum; ++t) {
        EXPECT_EQ(d->Lines[0].Trigger[t], 0);
        EXPECT_EQ(d->Lines[0].TriggerOwn[t], 0);
    }
    EXPECT_EQ(d->Lines[0].Trigger[DTMF_ON], 1);
    EXPECT_TRUE(d->Lines[1] == TAL{});
}

TEST_F(SubscriberLinesCodec, AnyBytesAndAnyCountDecodeAndEncodeWithinTheSlots) {
    std::mt19937 rng(11);
    for (const TFamily& f : kFamilies) {
        Use(f.model, f.version, 500, 255);
        for (auto& b : e.Lines.Bytes) b = static_cast<std::uint8_t>(rng());
        for (auto& c : e.Lines.Counts) c = static_cast<std::uint16_t>(rng() % 3 ? rng() % 129 : 0xFFFF);
        DecodeSubscriberLines(e, *d);
        EncodeSubscriberLines(e, *d);
        EXPECT_TRUE(std::all_of(e.Lines.Counts.begin(), e.Lines.Counts.end(),
                                [&](auto c) { return c == f.length; }));
    }
}

TEST_F(SubscriberLinesCodec, ClearingGivesLinesThatFollowGroup10) {
    Use("KVT700-1", "24,7", 40);
    std::mt19937 rng(3);
    for (int i = 0; i < 40; ++i) d->Lines[i] = RandomLine(rng, kFamilies[0]);
    EncodeSubscriberLines(e, *d);
    ClearSubscriberLines(e);
    EXPECT_TRUE(std::all_of(e.Lines.Bytes.begin(), e.Lines.Bytes.end(), [](auto b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(e.Lines.Counts.begin(), e.Lines.Counts.end(), [](auto c) { return c == 0; }));
    DecodeSubscriberLines(e, *d);
    for (int i = 0; i < 40; ++i) {
        EXPECT_TRUE(d->Lines[i] == TAL{}) << i;
        EXPECT_EQ(d->Lines[i].GroupIndex, 0);
    }
}

TEST(SubscriberLinesModel, CopyLineSettingsLeavesTrunksAndProgramNumber) {
    TAL source;
    source.Trigger[DTMF_ON] = source.TriggerOwn[b_extnum] = 1;
    source.SLOff[3] = source.SLOffOwn[3] = 1;
    source.Priority = 7;
    source.GGSNumber = 2;
    source.GroupIndex = 12;
    source.DirectCall = "00245";
    source.ProgramNumber = "31";
    TAL target;
    target.SLOffOwn[9] = 1;
    target.ProgramNumber = "55";

    CopyLineSettings(target, source);
    TAL expected = source;
    expected.SLOff = TAL{}.SLOff;
    expected.SLOffOwn = target.SLOffOwn;
    expected.ProgramNumber = "55";
    EXPECT_TRUE(target == expected);
    EXPECT_EQ(target.SLOffOwn[9], 1);

    const TAL before = source;
    CopyLineSettings(source, source);
    EXPECT_TRUE(source == before);
}

TEST_F(SubscriberLinesCodec, FileImageRoundTripAndMalformedPayloads) {
    Use("KVT700-1", "24,7", 3);
    std::mt19937 rng(5);
    for (int i = 0; i < 3; ++i) d->Lines[i] = RandomLine(rng, kFamilies[0]);
    EncodeSubscriberLines(e, *d);
    const auto bytes = e.Lines.Bytes;
    const auto counts = e.Lines.Counts;

    TFileImage image(128000);
    lines::CopyToFileImage(e, image);
    ASSERT_EQ(image.Length, 3 * 34);
    EXPECT_EQ(image.Bytes[0], 33);
    EXPECT_EQ(image.Bytes[34], 33);

    ClearSubscriberLines(e);
    e.Lines.Block(7)[0] = 9;  // a slot past the exchange's lines: a loaded file clears it too
    e.Lines.Counts[7] = 1;
    ASSERT_TRUE(lines::CopyFromFileImage(e, image));
    EXPECT_EQ(e.Lines.Bytes, bytes);
    EXPECT_EQ(e.Lines.Counts, counts);

    struct Case {
        const char* what;
        Bytes payload;
    } malformed[] = {
        {"cut short", {33, 1, 2, 3}},
        {"longer than a slot", [] { Bytes b(130, 0); b[0] = 129; return b; }()},
    };
    for (const auto& c : malformed) {
        SCOPED_TRACE(c.what);
        TFileImage bad(128000);
        ASSERT_TRUE(bad.Assign(c.payload));
        EXPECT_FALSE(lines::CopyFromFileImage(e, bad));
        EXPECT_EQ(e.Lines.Bytes, bytes) << "untouched";
        EXPECT_EQ(e.Lines.Counts, counts);
    }

    // A file without the section: the table comes out cleared.
    ASSERT_TRUE(lines::CopyFromFileImage(e, TFileImage(128000)));
    EXPECT_TRUE(std::all_of(e.Lines.Counts.begin(), e.Lines.Counts.end(), [](auto c) { return c == 0; }));
}

TEST_F(SubscriberLinesCodec, NoLinkIsReportedBeforeAnythingElse) {
    Use("KVT700-1", "24,7", 0);
    EXPECT_EQ(ReadSubscriberLines(e), kNoLink);
    Use("KVT700-1", "24,7", 3);
    EXPECT_EQ(WriteSubscriberLines(e), kNoLink);
    EXPECT_TRUE(std::all_of(line.Written.begin(), line.Written.end(), [](auto b) { return b == 0x00; }))
        << "only link probes";
}

// ---- against the simulated exchange ------------------------------------------------------------

using testing::SimEngine;

bool HasMessage(const testing::RecordingUI& ui, const std::string& text) {
    return std::find(ui.Messages.begin(), ui.Messages.end(), std::make_pair(text, std::string("Ошибка"))) !=
           ui.Messages.end();
}

int Requests(const sim::Simulator& exchange, const std::string& prefix) {
    const auto t = exchange.Transcript();
    return static_cast<int>(std::count_if(t.begin(), t.end(), [&](const auto& l) { return l.rfind(prefix, 0) == 0; }));
}

TEST(SubscriberLinesSim, ReadAllDecodesTheSampleLines) {
    SimEngine s;
    s.Select({&TDataStream::SelLines});
    ASSERT_EQ(s.ReadAll(), 1);
    const auto& l = s.data->Lines;

    // 200 is a trunk position: no telephone, no group.
    EXPECT_EQ(l[0].GroupIndex, -1);
    EXPECT_EQ(l[0].Trigger, TAL{}.Trigger);
    // 201, the manager.
    EXPECT_EQ(l[1].Trigger[DTMF_ON], 1);
    EXPECT_EQ(l[1].Trigger[RusSTA_ON], 1);
    EXPECT_EQ(l[1].Trigger[SLOutput_OFF], 0);
    EXPECT_EQ(l[1].TriggerOwn[SLOutput_OFF], 1);
    EXPECT_EQ(l[1].TriggerOwn[Redirect_OFF], 0);
    EXPECT_EQ(l[1].Priority, 9);
    EXPECT_EQ(l[1].GGSNumber, 1);
    EXPECT_EQ(l[1].GroupIndex, 0);
    // 203, an office line with trunks closed in each of the three ranges.
    EXPECT_EQ(l[3].SLOff[0] + l[3].SLOff[30] + l[3].SLOff[70], 3);
    EXPECT_EQ(l[3].SLOffOwn[70], 1);
    EXPECT_EQ(std::count(l[3].SLOff.begin(), l[3].SLOff.end(), 1), 3);
    EXPECT_EQ(l[3].Trigger[w_extnum_1th], 1);
    EXPECT_EQ(l[3].TriggerOwn[b_extnum], 1);
    EXPECT_EQ(l[3].Priority, 4);
    // Direct calls: 207 sales, 213 warehouse, 215 reception, 219 the lobby outside any group.
    EXPECT_EQ(l[7].DirectCall, "1234");
    EXPECT_EQ(l[13].DirectCall, "00312");
    EXPECT_EQ(l[15].DirectCall, "00245");
    EXPECT_EQ(l[19].DirectCall, "201");
    EXPECT_EQ(l[19].GroupIndex, -1);
    EXPECT_EQ(l[11].GroupIndex, 1);
}

TEST(SubscriberLinesSim, AnRDSampleCarriesTheBookTriggersBehindTheFirstTrunks) {
    SimEngine s({"RD32", "24,4"});
    s.Select({&TDataStream::SelLines});
    ASSERT_EQ(s.ReadAll(), 1);
    const TAL& office = s.data->Lines[3];  // 203
    EXPECT_EQ(office.Trigger[w_extnum_1th], 1);
    EXPECT_EQ(office.Trigger[b_extnum], 1);
    EXPECT_EQ(office.SLOff[0], 1);
    EXPECT_EQ(s.engine->Lines.Counts[3], 19);
}

TEST(SubscriberLinesSim, DecodeEncodeAndWriteLeaveTheExchangeUnchanged) {
    const sim::SampleOptions samples[] = {{"KVT700-1", "24,7"}, {"KVT250", "24,3"}, {"RD16", "24,7"}, {"RD32", "24,4"}};
    for (const auto& sample : samples) {
        SCOPED_TRACE(sample.model + " " + sample.firmware);
        SimEngine s(sample);
        s.Select({&TDataStream::SelLines});
        const sim::ExchangeState before = s.exchange->State();
        ASSERT_EQ(s.ReadAll(), 1);
        EncodeSubscriberLines(*s.engine, *s.data);
        EXPECT_TRUE(s.engine->Changed[kTabLines]);
        s.exchange->ClearTranscript();
        ASSERT_EQ(s.WriteAll(), 1);
        const int n = s.engine->Identity.LineCount;
        ASSERT_GT(n, 0);
        EXPECT_EQ(Requests(*s.exchange, "write cc"), n);
        for (int i = 0; i < n; ++i) EXPECT_EQ(s.Held(0x4C, i), before.blocks.at({0x4C, i})) << "line " << i;
    }
}

TEST(SubscriberLinesSim, ATimeOutLeavesEveryLineClearedAndFollowingGroup10) {
    SimEngine s;
    s.Select({&TDataStream::SelLines});
    ASSERT_EQ(s.ReadAll(), 1);
    ASSERT_NE(s.data->Lines[1], TAL{});
    s.ChangeExchange([](sim::ExchangeState& st) { st.blocks[{0x4C, 5}] = sim::Bytes(129, 1); });
    ASSERT_EQ(s.ReadAll(), 1);
    EXPECT_TRUE(HasMessage(s.ui, "Не могу прочитать таблицы АЛ. Выход по time-out"));
    const TMainClass& e = *s.engine;
    EXPECT_EQ(e.Lines.BlocksRead, 0);
    EXPECT_TRUE(std::all_of(e.Lines.Counts.begin(), e.Lines.Counts.end(), [](auto c) { return c == 0; }));
    EXPECT_TRUE(std::all_of(e.Lines.Bytes.begin(), e.Lines.Bytes.end(), [](auto b) { return b == 0; }));
    for (int i = 0; i < e.Identity.LineCount; ++i) EXPECT_TRUE(s.data->Lines[i] == TAL{}) << i;
}

TEST(SubscriberLinesSim, ARefusedWriteIsReported) {
    SimEngine s;
    s.Select({&TDataStream::SelLines});
    ASSERT_EQ(s.ReadAll(), 1);
    s.exchange->SetFaults({.refuseWrites = -1});
    EXPECT_EQ(s.WriteAll(), kNoLink);
    EXPECT_TRUE(HasMessage(s.ui, "Не могу записать таблицу АЛ, нет связи с АТС."));
    EXPECT_EQ(WriteSubscriberLines(*s.engine), kTimeOut);
    EXPECT_EQ(Requests(*s.exchange, "write cc 00"), 22) << "the first line stops each write after 11 attempts";
    EXPECT_EQ(Requests(*s.exchange, "write cc 01"), 0);
}

TEST(SubscriberLinesSim, AnExchangeWithoutLinesIsNotAsked) {
    SimEngine s;
    s.Select({&TDataStream::SelLines});
    ASSERT_EQ(s.ReadAll(), 1);
    s.engine->Identity.LineCount = 0;
    s.exchange->ClearTranscript();
    EXPECT_EQ(ReadSubscriberLines(*s.engine), kNoBlocks);
    EXPECT_EQ(Requests(*s.exchange, "read 4c"), 0);
    EXPECT_EQ(WriteSubscriberLines(*s.engine), 1);
    EXPECT_EQ(Requests(*s.exchange, "write cc"), 0);
}

}  // namespace
}  // namespace stanset
