// Composition decoding, the port list built from it, and port look-up.
#include "engine/ports.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/data_stream.h"

namespace stanset {
namespace {

using Codes = std::vector<std::uint8_t>;

// A board list of these codes, each slot's record carrying the same code and no details.
TCompositionImage Image(const Codes& codes) {
    TCompositionImage image;
    image.BoardList.Counts[0] = static_cast<std::uint16_t>(codes.size());
    for (std::size_t i = 0; i < codes.size(); ++i) {
        image.BoardList.Block(0)[i] = codes[i];
        image.Boards[i].Data[0] = codes[i];
    }
    return image;
}

// A complete record for the slot: version major.minor, firmware days since 1980, factory number.
void SetDetails(TCompositionImage& image, int slot, std::uint8_t major, std::uint8_t minor,
                std::uint16_t days, std::uint16_t factory, std::uint8_t count = 7) {
    TBoardRecord& r = image.Boards[static_cast<std::size_t>(slot)];
    r.Data[1] = minor;
    r.Data[2] = major;
    r.Data[3] = static_cast<std::uint8_t>(days & 0xFF);
    r.Data[4] = static_cast<std::uint8_t>(days >> 8);
    r.Data[5] = static_cast<std::uint8_t>(factory & 0xFF);
    r.Data[6] = static_cast<std::uint8_t>(factory >> 8);
    r.Count = count;
}

std::vector<std::string> Names(const TDataStream& data) {
    std::vector<std::string> names;
    for (int k = 0; k < data.CompositionCount; ++k) names.push_back(data.Composition[k].BoardName);
    return names;
}

// The port list as "number:kind" items, compact enough to compare whole.
std::vector<std::string> PortItems(const TDataStream& data) {
    std::vector<std::string> items;
    for (const TPortPtr& p : data.Ports) items.push_back(std::to_string(p->Number) + ":" + p->KindText);
    return items;
}

class CompositionTest : public ::testing::Test {
protected:
    int Decode(const std::string& model, const TCompositionImage& image) {
        return DecodeComposition(model, image, *data);
    }
    std::unique_ptr<TDataStream> data = std::make_unique<TDataStream>();
};

using PortsTest = CompositionTest;

// ---- composition ----------------------------------------------------------------------

TEST_F(CompositionTest, Kvt250WorkedExample) {
    EXPECT_EQ(Decode("KVT250", Image({1, 2, 255, 3})), 0);
    EXPECT_EQ(Names(*data), (std::vector<std::string>{"LB71", "TT14", "Clear", "LB43"}));
    EXPECT_EQ(data->Composition[0].FactoryNumber, "");  // no complete record
}

TEST_F(CompositionTest, CodeTables) {
    struct Case { const char* model; std::uint8_t code; const char* name; };  // "" = no entry
    const Case cases[] = {
        {"KVT700-1", 4, "TQ86"},   {"KVT700-1", 7, ""},       {"KVT700-1", 10, "TQ86"},
        {"KVT700-1", 11, "LBQ619"}, {"KVT700-1", 9, ""},      {"KVT700-1", 0, ""},
        {"KVT250", 7, "Double"},   {"KVT250", 11, "LBQ619"},  {"KVT250", 15, ""},
        {"RD16", 1, "LB28"},       {"RD16", 9, "LB28"},       {"RD32", 10, "LB19"},
        {"RD32", 11, "TT09"},      {"RD16", 15, "TQ05"},      {"RD16", 4, ""},
        {"RD32", 255, "Clear"},    {"RD32", 254, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " code " + std::to_string(c.code));
        Decode(c.model, Image({c.code}));
        EXPECT_EQ(Names(*data), c.name[0] ? std::vector<std::string>{c.name} : std::vector<std::string>{});
    }
}

TEST_F(CompositionTest, Kvt250ClearInSlots6_7_14IsNoBoard) {
    Codes codes(16, 1);
    codes[5] = codes[6] = codes[7] = codes[13] = codes[14] = 255;
    Decode("KVT250", Image(codes));
    ASSERT_EQ(data->CompositionCount, 13);
    EXPECT_EQ(data->Composition[5].BoardName, "Clear");  // slot 5 is an ordinary slot
    EXPECT_EQ(data->Composition[6].BoardName, "LB71");   // slot 8 moved up two
    EXPECT_EQ(data->Composition[11].BoardName, "Clear"); // slot 13

    Decode("KVT700-1", Image(codes));  // the KVT700 has no such slots
    EXPECT_EQ(data->CompositionCount, 16);
}

TEST_F(CompositionTest, DetailsNeedCompleteMatchingRecord) {
    TCompositionImage image = Image({1, 2, 3, 4});
    SetDetails(image, 0, 3, 12, 60, 0x1234);
    SetDetails(image, 1, 1, 0, 9014, 65535, 6);  // short record
    SetDetails(image, 2, 2, 5, 0, 7);
    image.Boards[2].Data[0] = 4;                 // code differs from the list
    SetDetails(image, 3, 0, 0, 59, 0);

    EXPECT_EQ(Decode("KVT700-1", image), 1);
    ASSERT_EQ(data->CompositionCount, 4);
    const TATSConfig& a = data->Composition[0];
    EXPECT_EQ(a.FactoryNumber, "4660");
    EXPECT_EQ(a.SoftVersion, "3.12");
    EXPECT_EQ(a.FirmwareDate, "1.3.1980");
    for (int k : {1, 2}) {
        SCOPED_TRACE(k);
        EXPECT_EQ(data->Composition[k].BoardName.empty(), false);
        EXPECT_EQ(data->Composition[k].FactoryNumber, "");
        EXPECT_EQ(data->Composition[k].SoftVersion, "");
        EXPECT_EQ(data->Composition[k].FirmwareDate, "");
    }
    EXPECT_EQ(data->Composition[3].FactoryNumber, "0");
    EXPECT_EQ(data->Composition[3].SoftVersion, "0.0");
    EXPECT_EQ(data->Composition[3].FirmwareDate, "29.2.1980");
}

TEST_F(CompositionTest, UnnamedSlotDetailsGoToPreviousEntry) {
    TCompositionImage image = Image({5, 1, 6});
    SetDetails(image, 0, 9, 9, 0, 111);   // nothing named yet: dropped
    SetDetails(image, 2, 2, 4, 9014, 222);
    EXPECT_EQ(Decode("KVT250", image), 0);
    ASSERT_EQ(data->CompositionCount, 1);
    EXPECT_EQ(data->Composition[0].FactoryNumber, "222");
    EXPECT_EQ(data->Composition[0].SoftVersion, "2.4");
    EXPECT_EQ(data->Composition[0].FirmwareDate, "5.9.2004");
}

TEST_F(CompositionTest, RdListsEndAtFrameSize) {
    struct Case { const char* model; int mismatchSlot; int entries; int result; };
    const Case cases[] = {
        {"RD16", -1, 7, 0},
        {"RD32", -1, 11, 0},
        {"RD16", 6, 8, 1},   // the mismatched 7th entry does not end the list, the next does
        {"RD32", 10, 12, 1},
        {"RD16", 20, 7, 0},  // a mismatch past the end is never looked at
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " mismatch at " + std::to_string(c.mismatchSlot));
        TCompositionImage image = Image(Codes(30, 3));
        if (c.mismatchSlot >= 0) image.Boards[static_cast<std::size_t>(c.mismatchSlot)].Data[0] = 0;
        EXPECT_EQ(Decode(c.model, image), c.result);
        EXPECT_EQ(data->CompositionCount, c.entries);
    }
}

TEST_F(CompositionTest, RdUnnamedSlotsDoNotCount) {
    Codes codes(20, 4);  // no name on RD
    codes[19] = 1;
    Decode("RD16", Image(codes));
    EXPECT_EQ(Names(*data), std::vector<std::string>{"LB28"});
}

TEST_F(CompositionTest, OtherModelsHaveNoComposition) {
    for (const char* model : {"RD900", "Pebbo", "B", "C", "KVT700", "KVT250 ", "rd16", ""}) {
        SCOPED_TRACE(model);
        data->CompositionCount = 3;
        data->Composition[0] = {"x", "1", "2", "3"};
        EXPECT_EQ(Decode(model, Image({1, 2, 3})), 0);
        EXPECT_EQ(data->CompositionCount, 0);
        EXPECT_EQ(data->Composition[0].BoardName, "");
        EXPECT_EQ(data->Composition[0].FirmwareDate, "");
        EXPECT_EQ(BuildPortList(model, *data), 1);
        EXPECT_TRUE(data->Ports.empty());
    }
}

TEST_F(CompositionTest, AnyBytesStayInBounds) {
    TCompositionImage image;
    for (int i = 0; i < TCompositionImage::kMaxBoards; ++i) {
        image.BoardList.Block(0)[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 37 + 11);
        for (std::size_t b = 0; b < 12; ++b)
            image.Boards[static_cast<std::size_t>(i)].Data[b] = static_cast<std::uint8_t>(i * 13 + b * 101);
        image.Boards[static_cast<std::size_t>(i)].Count = static_cast<std::uint8_t>(i % 9 + 3);
    }
    for (std::uint16_t count : {std::uint16_t{255}, std::uint16_t{65535}}) {
        image.BoardList.Counts[0] = count;
        for (const char* model : {"KVT700-1", "KVT250", "RD16", "RD32"}) {
            SCOPED_TRACE(std::string(model) + " " + std::to_string(count));
            Decode(model, image);
            EXPECT_GE(data->CompositionCount, 0);
            EXPECT_LE(data->CompositionCount, 50);
            BuildPortList(model, *data);
            EXPECT_LE(data->Ports.size(), 500u);
        }
    }
    // Every slot a board: the 51st is not stored.
    Decode("KVT700-1", Image(Codes(255, 2)));
    EXPECT_EQ(data->CompositionCount, 50);
}

// ---- ports ------------------------------------------------------------------------------

TEST_F(PortsTest, Kvt250WorkedExample) {
    Decode("KVT250", Image({1, 2, 255, 3}));
    EXPECT_EQ(BuildPortList("KVT250", *data), 1);
    ASSERT_EQ(data->Ports.size(), 40u);
    for (std::size_t i = 0; i < 40; ++i) {
        const TPort& p = *data->Ports[i];
        SCOPED_TRACE(p.Number);
        EXPECT_EQ(p.Number, 200 + static_cast<int>(i));
        EXPECT_EQ(p.Board, i / 10);
        EXPECT_EQ(p.LineIndex, i + 1);
        if (i >= 20 && i < 30) {
            EXPECT_EQ(p.Kind, kPortEmpty);
            EXPECT_EQ(p.KindText, "");
        }
    }
    EXPECT_EQ(data->Ports[0]->Kind, kPortTrunk);
    EXPECT_EQ(data->Ports[0]->KindText, "SL");
    EXPECT_EQ(data->Ports[1]->Kind, kPortLine);
    EXPECT_EQ(data->Ports[1]->KindText, "AL");
    EXPECT_EQ(data->Ports[30]->Kind, kPortTrunk);
    EXPECT_EQ(data->Ports[15]->Kind, kPortLine);  // TT14
}

TEST_F(PortsTest, Rd16WorkedExampleAndFindPort) {
    Decode("RD16", Image({1, 3, 7}));
    BuildPortList("RD16", *data);
    EXPECT_EQ(PortItems(*data),
              (std::vector<std::string>{
                  "200:SL",  "201:AL",  "202:SL",  "203:AL",  "204:AL",  "205:AL",  "206:AL",  "207:AL",
                  "210:AL",  "211:AL",  "212:AL",  "213:AL",  "214:AL",  "215:AL",  "216:AL",  "217:AL",
                  "220:STA", "221:D",   "222:STA", "223:D",   "224:STA", "225:D",   "226:STA", "227:D"}));
    EXPECT_EQ(data->Ports[9]->LineIndex, 10);  // 211: eight lines a board
    EXPECT_EQ(data->Ports[21]->Kind, kPortIntercomJack);

    EXPECT_EQ(FindPort(*data, 225), nullptr);
    TPortPtr* sta = FindPort(*data, 224);
    ASSERT_NE(sta, nullptr);
    EXPECT_EQ(sta, &data->Ports[20]);
    EXPECT_EQ((*sta)->Kind, kPortSTA);
    EXPECT_NE(FindPort(*data, 200), nullptr);
    EXPECT_NE(FindPort(*data, 217), nullptr);
    EXPECT_EQ(FindPort(*data, 208), nullptr);
    EXPECT_EQ(FindPort(*data, 0), nullptr);

    for (std::uint16_t attached : {std::uint16_t{kPortIntercom}, std::uint16_t{kPortGGS}}) {
        data->Ports[20]->Kind = attached;
        EXPECT_EQ(FindPort(*data, 224), nullptr) << attached;
    }
}

// One letter a port: T trunk, L line, P system phone, D intercom port, - empty.
std::string KindLetters(const TDataStream& data) {
    struct Kind { std::uint16_t kind; char letter; const char* text; };
    static const Kind kinds[] = {{kPortTrunk, 'T', "SL"}, {kPortLine, 'L', "AL"}, {kPortSTA, 'P', "STA"},
                                 {kPortIntercomJack, 'D', "D"}, {kPortEmpty, '-', ""}};
    std::string letters;
    for (const TPortPtr& p : data.Ports) {
        char letter = '?';
        for (const Kind& k : kinds)
            if (k.kind == p->Kind && k.text == p->KindText) letter = k.letter;
        letters += letter;
    }
    return letters;
}

TEST_F(PortsTest, Layouts) {
    struct Case { const char* model; const char* board; const char* kinds; };
    const Case cases[] = {
        {"KVT700-1", "LB71", "TLTLTLTLTL"},
        {"KVT700-1", "LB43", "TLTLTLLLLL"},
        {"KVT700-1", "LBQ619", "TLTLPDPDPD"},
        {"KVT250", "TT14", "LLLLLLLLLL"},
        {"KVT250", "TQ86", "LLLLLLPDPD"},
        {"KVT250", "Clear", "----------"},
        {"KVT250", "Double", ""},
        {"KVT250", "TT09", ""},  // an RD board on a KVT
        {"RD32", "LB28", "TLTLLLLL"},
        {"RD32", "LB19", "TLLLLLLL"},
        {"RD16", "TT09", "LLLLLLLL"},
        {"RD16", "TQ05", "PDPDPDPD"},
        {"RD16", "Clear", "--------"},
        {"RD16", "LB71", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + c.board);
        data->Composition[0].BoardName = c.board;
        data->CompositionCount = 1;
        BuildPortList(c.model, *data);
        EXPECT_EQ(KindLetters(*data), c.kinds);
    }
}

TEST_F(PortsTest, NumbersFollowEntryNotSlot) {
    Codes codes{1, 1, 1, 1, 1, 1, 255, 7, 2};  // slot 6 no board, slot 7 "Double" without ports
    Decode("KVT250", Image(codes));
    BuildPortList("KVT250", *data);
    ASSERT_EQ(data->Ports.size(), 70u);
    EXPECT_EQ(data->Ports.back()->Number, 279);
    EXPECT_EQ(data->Ports.back()->Board, 7);
    EXPECT_EQ(data->Ports[60]->Number, 270);
    EXPECT_EQ(data->Ports[60]->Kind, kPortLine);
}

TEST_F(PortsTest, Kvt700DropsLastTwoOfLongLists) {
    struct Case { const char* model; int entries; int kept; };
    const Case cases[] = {
        {"KVT700-1", 17, 15}, {"KVT700-1", 16, 14}, {"KVT700-1", 15, 15},
        {"KVT250", 17, 17},   {"RD32", 11, 11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + std::to_string(c.entries));
        Decode(c.model, Image(Codes(static_cast<std::size_t>(c.entries), 2)));
        ASSERT_EQ(data->CompositionCount, c.entries);
        BuildPortList(c.model, *data);
        EXPECT_EQ(data->CompositionCount, c.kept);
        const std::size_t perBoard = std::string(c.model).starts_with("RD") ? 8 : 10;
        EXPECT_EQ(data->Ports.size(), perBoard * static_cast<std::size_t>(c.kept));
    }
}

TEST_F(PortsTest, RebuildReplacesList) {
    Decode("KVT250", Image({1, 2}));
    BuildPortList("KVT250", *data);
    TPortPtr held = data->Ports[3];  // an editor may still hold a port
    data->CurrentPort = held;
    BuildPortList("KVT250", *data);
    EXPECT_EQ(data->Ports.size(), 20u);
    EXPECT_EQ(data->CurrentPort, nullptr);
    EXPECT_NE(data->Ports[3], held);
    EXPECT_EQ(held->Number, 203);

    for (std::int32_t bad : {-5, 1000}) {  // a count from nowhere
        data->CompositionCount = bad;
        BuildPortList("KVT250", *data);
        EXPECT_LE(data->Ports.size(), 500u) << bad;
    }
}

}  // namespace
}  // namespace stanset
