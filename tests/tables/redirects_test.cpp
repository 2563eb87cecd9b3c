// The redirect table: one byte per line, its model entries, file images, and the exchange
// end to end.
#include "tables/features/redirects.h"

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

struct Offline {
    Offline(const char* model, int lines) {
        e.Identity.Model = model;
        e.Identity.LineCount = static_cast<std::uint16_t>(lines);
    }
    void Port(int number, TPortKind kind) {
        auto p = std::make_shared<TPort>();
        p->Number = number;
        p->Kind = kind;
        d.Ports.push_back(p);
    }
    void Put(const Bytes& bytes) {
        std::copy(bytes.begin(), bytes.end(), e.Redirects.Block(0).begin());
        e.Redirects.Counts[0] = static_cast<std::uint16_t>(bytes.size());
    }
    Bytes Held() const { return {e.Redirects.Payload(0).begin(), e.Redirects.Payload(0).end()}; }
    const RedirectEntry& At(int i) const { return d.Redirects[static_cast<std::size_t>(i)]; }

    testing::TempDir dir;
    testing::RecordingUI ui;
    testing::FakeLine line;
    TMainClass e{ui, {.workDir = dir.Path(), .device = {}, .line = &line}};
    TDataStream d{dir.Path()};
};

Bytes OwnIndexes(int n) {
    Bytes b(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    return b;
}

TEST(RedirectsCodec, BlocksRoundTripOnBothFamilies) {
    struct Case {
        const char* model;
        int lines;
        int line, to;        // line index -> the index it is redirected to
        int number, target;  // the same as directory numbers
    } cases[] = {
        {"KVT250", 120, 5, 7, 205, 207},
        {"KVT700-1", 150, 149, 0, 349, 200},
        {"RD32", 80, 8, 9, 210, 211},
        {"RD16", 48, 47, 1, 257, 201},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        Offline o(c.model, c.lines);
        o.Port(c.number, kPortSTA);
        o.Port(202, kPortLine);
        Bytes block = OwnIndexes(c.lines);
        block[static_cast<std::size_t>(c.line)] = static_cast<std::uint8_t>(c.to);
        block[0] = 2;  // a line with no port of its own (or a trunk) keeps its byte
        o.Put(block);
        DecodeRedirects(o.e, o.d);
        EXPECT_EQ(o.d.RedirectCount, c.lines);
        EXPECT_EQ(o.At(c.line).State, 0);
        EXPECT_EQ(o.At(c.line).Target, c.target);
        EXPECT_EQ(o.At(0).State, -1);
        EXPECT_EQ(o.At(2).State, 0);  // 202 is line index 2 in both plans
        EXPECT_EQ(o.At(2).Target, 0);

        o.e.Redirects.Clear();
        o.e.Redirects.Counts[0] = static_cast<std::uint16_t>(c.lines);
        EncodeRedirects(o.e, o.d);
        EXPECT_EQ(o.Held(), block);
        EXPECT_TRUE(o.e.Changed[kTabRedirects]);
    }
}

TEST(RedirectsCodec, TargetsTheBlockCannotHoldAreNotRedirections) {
    Offline o("KVT250", 120);
    o.Put(OwnIndexes(120));
    DecodeRedirects(o.e, o.d);
    o.d.Redirects[3].Target = 207;
    o.d.Redirects[4].Target = 999;  // index 799
    o.d.Redirects[5].Target = -4;
    o.d.Redirects[6].Target = 150;  // before the first line
    EncodeRedirects(o.e, o.d);
    Bytes expected = OwnIndexes(120);
    expected[3] = 7;
    EXPECT_EQ(o.Held(), expected);
}

TEST(RedirectsCodec, ShortBlocksClearingAndUnknownModels) {
    Offline o("KVT700-1", 150);
    o.Port(210, kPortLine);
    o.Port(211, kPortLine);
    // A time-out leaves nothing: no line is redirected (not every line to line 0).
    o.Put({});
    DecodeRedirects(o.e, o.d);
    EXPECT_EQ(o.At(10).Target, 0);
    EXPECT_EQ(o.At(11).Target, 0);
    // Edits made before anything was read are still sent in full.
    o.d.Redirects[11].Target = 210;
    EncodeRedirects(o.e, o.d);
    ASSERT_EQ(o.e.Redirects.Counts[0], 150);
    EXPECT_EQ(o.Held()[11], 10);
    EXPECT_EQ(o.Held()[149], 149);

    ClearRedirects(o.e);
    EXPECT_EQ(o.Held(), OwnIndexes(150));
    DecodeRedirects(o.e, o.d);
    EXPECT_EQ(o.At(11).Target, 0);

    // A model without a numbering plan has no entries to edit and keeps its block.
    Offline other("Pebbo", 4);
    other.Put({3, 2, 1, 0});
    DecodeRedirects(other.e, other.d);
    EXPECT_EQ(other.At(0).State, -1);
    EncodeRedirects(other.e, other.d);
    EXPECT_EQ(other.Held(), (Bytes{3, 2, 1, 0}));
}

TEST(RedirectsFileImage, RoundTripAndMalformedPayloads) {
    Offline o("KVT700-1", 150);
    ClearRedirects(o.e);
    o.e.Redirects.Block(0)[7] = 3;
    TFileImage image(500);
    redirects::CopyToFileImage(o.e, image);
    EXPECT_EQ(image.Length, 150);
    Offline back("KVT700-1", 150);
    ASSERT_TRUE(redirects::CopyFromFileImage(back.e, image));
    EXPECT_EQ(back.Held(), o.Held());

    TFileImage wide(1000);
    ASSERT_TRUE(wide.Assign(Bytes(501, 0)));
    EXPECT_FALSE(redirects::CopyFromFileImage(back.e, wide));
    EXPECT_EQ(back.Held(), o.Held());
}

// ---- against the simulated exchange ----------------------------------------------------

TEST(RedirectsExchange, SamplesDecodeAndWriteBackUnchanged) {
    struct Case {
        const char* model;
        const char* firmware;
        int line, target;  // line index and its redirection
    } cases[] = {
        {"KVT700-1", "24,7", 111, 234},  // 311 -> 234
        {"KVT250", "24,3", 31, 230},
        {"RD16", "23,8", 33, 240},  // 241 -> 240
        {"RD32", "24,4", 69, 262},  // 285 -> 262
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        testing::SimEngine s({c.model, c.firmware});
        s.Select({&TDataStream::SelRedirects, &TDataStream::SelIntercoms, &TDataStream::SelGGS});
        ASSERT_EQ(s.ReadAll(), 1);
        EXPECT_TRUE(s.ui.Messages.empty());
        EXPECT_EQ(s.data->RedirectCount, s.engine->Identity.LineCount);
        const RedirectEntry& r = s.data->Redirects[static_cast<std::size_t>(c.line)];
        EXPECT_EQ(r.State, 0);
        EXPECT_EQ(r.Target, c.target);
        EXPECT_EQ(s.data->Redirects[1].Target, 0);

        const auto before = s.exchange->State().blocks;
        EncodeRedirects(*s.engine, *s.data);
        ASSERT_EQ(s.WriteAll(), 1);
        EXPECT_EQ(s.exchange->State().blocks, before);
    }
}

TEST(RedirectsExchange, TimeOutLeavesNothingRedirectedAndRefusedWritesAreReported) {
    testing::SimEngine s;
    s.Select({&TDataStream::SelRedirects});
    ASSERT_EQ(s.ReadAll(), 1);
    ASSERT_EQ(s.data->Redirects[3].Target, 201);

    s.exchange->SetFaults({.badSum = -1});
    EXPECT_EQ(ReadRedirects(*s.engine), kTimeOut);
    EXPECT_EQ(s.engine->Redirects.Counts[0], 0);
    DecodeRedirects(*s.engine, *s.data);
    for (int i = 0; i < s.data->RedirectCount; ++i)
        EXPECT_EQ(s.data->Redirects[static_cast<std::size_t>(i)].Target, 0) << i;

    s.exchange->SetFaults({.refuseWrites = -1});
    EXPECT_EQ(s.WriteAll(), -1);
    EXPECT_TRUE(s.ui.Showed("Не могу записать таблицу переадресаций, нет связи с АТС."));
}

}  // namespace
}  // namespace stanset
