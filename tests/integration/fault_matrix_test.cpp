// Every table and every header transfer of read-all and write-all against an exchange that
// fails in each way it can, over a pseudo-terminal. The link's retries and time-outs run in
// real time: bad sums and refusals cost next to nothing, a silent block about 8 s and a dead
// link check as much again. So silence is shown once in each place where it differs (the
// identification, a conference record read, a line written), and the link lost before a
// table is shown for every table on a line cut in virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "engine/main_class.h"
#include "engine/tables.h"
#include "simulator.h"
#include "support/fake_line.h"
#include "support/sim_engine.h"

namespace stanset {
namespace {

using sim::BlockAddress;
using sim::Bytes;

constexpr const char* kError = "Ошибка";

// What the configuration model holds of every table, copied so that a model can be compared
// with one decoded earlier.
struct ModelCopy {
    explicit ModelCopy(const TDataStream& d)
        : AllSys(d.AllSys),
          TimeSettings(d.TimeSettings),
          Keys(d.STAButtons),
          Intercoms(d.Intercoms),
          IntercomCount(d.IntercomCount),
          GGS(d.GGS),
          GGSCount(d.GGSCount),
          Lines(d.Lines),
          CommonBook(d.CommonBook ? d.CommonBook->Numbers : decltype(CommonBook){}),
          Redirects(d.Redirects),
          RedirectCount(d.RedirectCount),
          Conferences(d.Conferences),
          Directions(d.Directions),
          Groups(d.Groups),
          Trunks(d.Trunks),
          GroupBooks(d.GroupBooks),
          BWBook(d.BWBook) {
        for (const TPortPtr& p : d.Ports) ProgramNumbers.push_back(p ? p->Line.ProgramNumber : "");
    }

    TAllSys AllSys;
    TTimeSettings TimeSettings;
    std::array<TSTAButtonTable, 45> Keys;
    std::array<TDf, 64> Intercoms;
    std::uint16_t IntercomCount;
    std::array<TGGS, 64> GGS;
    std::uint16_t GGSCount;
    std::array<TAL, 500> Lines;
    std::array<std::string, 100> CommonBook;
    std::vector<std::string> ProgramNumbers;
    std::array<RedirectEntry, 500> Redirects;
    std::uint16_t RedirectCount;
    std::array<ConferenceRecord, 60> Conferences;
    DirectionTables Directions;
    std::array<TGroup, 60> Groups;
    std::array<TSL, 200> Trunks;
    std::array<TGroupExternNum, 20> GroupBooks;
    TDSBW_ExtNum BWBook;
};

// Field by field where the model's types have no comparison of their own.
auto Tie(const TAllSys& s) {
    return std::tie(s.UniformTrunkLoad, s.IncomingBilling, s.ToneDialling, s.NoLocalOutgoingBilling,
                    s.NoPhoneProgramming, s.AutoEraseBilling, s.DisaTrunkSignal, s.ZeroTrunkPrefix, s.DayModeStart,
                    s.NightModeStart);
}
auto Tie(const TSTAButtonTable& t) { return std::tie(t.KeyText, t.KeyCount, t.ConsoleBinding); }
auto Tie(const TDf& i) {
    return std::tie(i.AllALOpening, i.ResetInCall, i.DTMFOpening, i.DayTable, i.NightTable, i.LinkPort, i.OpenCode);
}
auto Tie(const TGGS& g) { return std::tie(g.AutoOff, g.LinkPort); }
auto Tie(const RedirectEntry& r) { return std::tie(r.State, r.Target); }
auto Tie(const ConferenceRecord& c) { return std::tie(c.MemberCount, c.Member); }
auto Tie(const TGroupExternNum& b) { return std::tie(b.Count, b.Numbers); }

template <typename T, std::size_t N>
bool SameTied(const std::array<T, N>& a, const std::array<T, N>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), [](const T& x, const T& y) { return Tie(x) == Tie(y); });
}

// One table of the exchange as the matrix sees it.
struct Table {
    const char* name;
    TTableIndex index;
    bool TDataStream::*selected;
    TRawImage TMainClass::*image;  // nullptr: the quick conferences, held as records
    BlockAddress (*address)(int block);
    int command, sub;              // where the faults are aimed
    int spare;                     // aimed requests that pass before a fault in the middle
    int failAt;                    // the block it strikes
    const char* readMessage;
    const char* writeMessage;      // nullptr: a failed write is not reported
    bool (*sameModel)(const ModelCopy&, const ModelCopy&);  // nullptr: no decoded form
    int (*read)(TMainClass&);
};

BlockAddress Indexed(int cmd, int i) { return {cmd, i}; }

// clang-format off
// In the order read-all reads them.
const Table kTables[] = {
    {"AllSys", kTabAllSys, &TDataStream::SelAllSys, &TMainClass::AllSys,
     [](int) { return BlockAddress{0x0A, -1}; }, 0x0A, -1, 0, 0,
     "Не могу прочитать таблицу общесистемных установок. Выход по time-out", nullptr,
     [](const ModelCopy& a, const ModelCopy& b) { return Tie(a.AllSys) == Tie(b.AllSys); }, ReadSystemSettings},
    {"TimeSettings", kTabTimeSettings, &TDataStream::SelTimeSettings, &TMainClass::TimeSettings,
     [](int) { return BlockAddress{0x09, -1}; }, 0x09, -1, 0, 0,
     "Не могу прочитать таблицу временных установок. Выход по time-out", nullptr,
     [](const ModelCopy& a, const ModelCopy& b) { return a.TimeSettings.Value == b.TimeSettings.Value; }, ReadTimeSettings},
    {"STAKeys", kTabSTAKeys, &TDataStream::SelSTAKeys, &TMainClass::STAKeys,
     [](int i) { return Indexed(0x60, i); }, 0x60, -1, 20, 20,
     "Не могу прочитать таблицу клавиш СТА. Выход по time-out", nullptr,
     [](const ModelCopy& a, const ModelCopy& b) { return SameTied(a.Keys, b.Keys); }, ReadKeyTables},
    {"Intercoms", kTabIntercoms, &TDataStream::SelIntercoms, &TMainClass::Intercoms,
     [](int i) { return Indexed(0x54, i); }, 0x54, -1, 2, 2,
     "Не могу прочитать таблицу домофонов. Выход по time-out", nullptr,
     [](const ModelCopy& a, const ModelCopy& b) { return a.IntercomCount == b.IntercomCount && SameTied(a.Intercoms, b.Intercoms); }, ReadIntercoms},
    {"GGS", kTabGGS, &TDataStream::SelGGS, &TMainClass::GGS,
     [](int i) { return Indexed(0x5C, i); }, 0x5C, -1, 3, 3,
     "Не могу прочитать таблицу ГГС-ов. Выход по time-out", nullptr,
     [](const ModelCopy& a, const ModelCopy& b) { return a.GGSCount == b.GGSCount && SameTied(a.GGS, b.GGS); }, ReadLoudspeakers},
    {"Lines", kTabLines, &TDataStream::SelLines, &TMainClass::Lines,
     [](int i) { return Indexed(0x4C, i); }, 0x4C, -1, 75, 75,
     "Не могу прочитать таблицы АЛ. Выход по time-out", "Не могу записать таблицу АЛ, нет связи с АТС.",
     [](const ModelCopy& a, const ModelCopy& b) { return a.Lines == b.Lines; }, ReadSubscriberLines},
    {"CommonBook", kTabCommonBook, &TDataStream::SelCommonBook, &TMainClass::CommonBook,
     [](int i) { return BlockAddress{0x0C + i, -1}; }, 0x0D, -1, 0, 1,
     "Не могу прочитать глобальную таблицу внешних номеров. Выход по time-out",
     "Не могу записать общую записную книжку, нет связи с АТС.",
     [](const ModelCopy& a, const ModelCopy& b) { return a.CommonBook == b.CommonBook; }, ReadCommonBook},
    {"Flash", kTabFlash, &TDataStream::SelFlash, &TMainClass::Flash,
     [](int) { return BlockAddress{0x40, 0x02}; }, 0x40, 0x02, 0, 0,
     "Не могу прочитать таблицу flash. Выход по time-out", "Не могу записать таблицу flash-установок, нет связи с АТС.",
     nullptr, ReadFlash},
    {"ProgNumbers", kTabProgNumbers, &TDataStream::SelProgNumbers, &TMainClass::ProgNumbers,
     [](int i) { return BlockAddress{0x40, 0x01 + 0x10 * i}; }, 0x40, 0x11, 0, 1,
     "Не могу прочитать таблицу программных номеров. Выход по time-out",
     "Не могу записать таблицу программных номеров, нет связи с АТС.",
     [](const ModelCopy& a, const ModelCopy& b) { return a.ProgramNumbers == b.ProgramNumbers; }, ReadProgramNumbers},
    {"Redirects", kTabRedirects, &TDataStream::SelRedirects, &TMainClass::Redirects,
     [](int) { return BlockAddress{0x40, 0x00}; }, 0x40, 0x00, 0, 0,
     "Не могу прочитать таблицу переадресаций. Выход по time-out",
     "Не могу записать таблицу переадресаций, нет связи с АТС.",
     [](const ModelCopy& a, const ModelCopy& b) { return a.RedirectCount == b.RedirectCount && SameTied(a.Redirects, b.Redirects); }, ReadRedirects},
    {"QuickConf", kTabQuickConf, &TDataStream::SelQuickConf, nullptr,
     [](int i) { return Indexed(0x64, i); }, 0x64, -1, 5, 5,
     "Не могу прочитать таблицы быстрых конференций. Выход по time-out", nullptr,
     [](const ModelCopy& a, const ModelCopy& b) { return SameTied(a.Conferences, b.Conferences); }, ReadConferences},
    {"Directions", kTabDirections, &TDataStream::SelDirections, &TMainClass::Directions,
     [](int i) { return Indexed(0x44, i); }, 0x44, -1, 25, 25,
     "Не могу прочитать таблицы наведения. Выход по time-out", "Не могу записать таблици наведения, нет связи с АТС.",
     [](const ModelCopy& a, const ModelCopy& b) { return a.Directions.Tables == b.Directions.Tables; }, ReadDirectionTables},
    {"Groups", kTabGroups, &TDataStream::SelGroups, &TMainClass::Groups,
     [](int i) { return Indexed(0x50, i); }, 0x50, -1, 10, 10,
     "Не могу прочитать таблицы групп. Выход по time-out", "Не могу записать групповые установки, нет связи с АТС.",
     [](const ModelCopy& a, const ModelCopy& b) { return a.Groups == b.Groups; }, ReadGroups},
    {"Trunks", kTabTrunks, &TDataStream::SelTrunks, &TMainClass::Trunks,
     [](int i) { return Indexed(0x48, i); }, 0x48, -1, 40, 40,
     "Не могу прочитать таблицы СЛ. Выход по time-out", "Не могу записать таблицу СЛ, нет связи с АТС.",
     [](const ModelCopy& a, const ModelCopy& b) { return a.Trunks == b.Trunks; }, ReadTrunkLines},
    // Block 2b + h is half h of book b; the fault strikes the second half of a book.
    {"GroupBooks", kTabGroupBooks, &TDataStream::SelGroupBooks, &TMainClass::GroupBooks,
     [](int i) { return BlockAddress{0x58, (i / 2) | (i % 2 ? 0x20 : 0)}; }, 0x58, -1, 21, 21,
     "Не могу прочитать групповые таблицы внешних номеров . Выход по time-out",
     "Не могу записать групповые зап. книжки, нет связи с АТС.",
     [](const ModelCopy& a, const ModelCopy& b) { return SameTied(a.GroupBooks, b.GroupBooks); }, ReadGroupBooks},
    {"BWBooks", kTabBWBooks, &TDataStream::SelBWBooks, &TMainClass::BWBooks,
     [](int) { return BlockAddress{0x40, 0x13}; }, 0x40, 0x13, 0, 0,
     "Не могу прочитать таблицы черно-белых книжек. Выход по time-out",
     "Не могу записать черно-белые зап. книжки, нет связи с АТС.",
     [](const ModelCopy& a, const ModelCopy& b) { return a.BWBook.Numbers == b.BWBook.Numbers; }, ReadBWBook},
};
// clang-format on

constexpr TTableIndex kWriteOrder[] = {
    kTabQuickConf, kTabAllSys,      kTabSTAKeys,   kTabIntercoms,  kTabGGS,    kTabTimeSettings,
    kTabCommonBook, kTabFlash,      kTabProgNumbers, kTabRedirects, kTabDirections, kTabGroups,
    kTabLines,     kTabTrunks,      kTabGroupBooks, kTabBWBooks,
};

const Table& TableOf(TTableIndex index) {
    return *std::find_if(std::begin(kTables), std::end(kTables), [&](const Table& t) { return t.index == index; });
}

// The table read or written right after this one (the first for the last). The test's
// parameter is a copy, so tables are found by their index.
const Table& NextRead(const Table& t) {
    const auto at = &TableOf(t.index) - kTables;
    return kTables[(at + 1) % std::size(kTables)];
}
const Table& NextWritten(const Table& t) {
    const auto at = std::find(std::begin(kWriteOrder), std::end(kWriteOrder), t.index) - kWriteOrder;
    return TableOf(kWriteOrder[(at + 1) % std::size(kWriteOrder)]);
}

// The table's raw image with its counts, whatever its shape.
Bytes ImageOf(const TMainClass& e, const Table& t) {
    Bytes out;
    if (!t.image) {
        for (const TConferenceSlot& c : e.QuickConf) {
            out.push_back(c.Present);
            out.push_back(c.Entries);
            out.insert(out.end(), c.Data.begin(), c.Data.end());
        }
        return out;
    }
    const TRawImage& image = e.*t.image;
    out = image.Bytes;
    for (auto n : image.Counts) {
        out.push_back(static_cast<std::uint8_t>(n));
        out.push_back(static_cast<std::uint8_t>(n >> 8));
    }
    return out;
}

void PrintTo(const Table& t, std::ostream* os) { *os << t.name; }

std::string CaseName(const ::testing::TestParamInfo<Table>& info) { return info.param.name; }

class FaultMatrix : public ::testing::Test {
protected:
    void Select(std::initializer_list<const Table*> tables) {
        for (bool TDataStream::*f : testing::SimEngine::kAll) (*s_.data).*f = false;
        for (const Table* t : tables) (*s_.data).*(t->selected) = true;
    }
    void Aim(const Table& t, sim::Faults f, int spare) {
        f.command = t.command;
        f.sub = t.sub;
        f.spare = spare;
        s_.exchange->SetFaults(f);
    }
    int Blocks(const Table& t) const {
        if (!t.image) return s_.engine->ConfParams[0];
        const sim::ExchangeState state = s_.exchange->State();
        int n = 0;
        // A table of one block answers every index with the same address.
        while (state.blocks.count(t.address(n)) && (n == 0 || t.address(n) != t.address(0))) ++n;
        return n;
    }
    // Every block of the table in the exchange replaced by `stale`.
    void Overwrite(const Table& t, const Bytes& stale) {
        const int n = Blocks(t);
        s_.ChangeExchange([&](sim::ExchangeState& s) {
            if (!t.image) {
                for (auto& c : s.conferences) c = {};
                return;
            }
            for (int i = 0; i < n; ++i) s.blocks[t.address(i)] = stale;
        });
    }
    // The exchange holds block i of the table exactly as the engine's image does.
    bool Holds(const Table& t, int i) const {
        const sim::ExchangeState state = s_.exchange->State();
        if (!t.image) {
            const TConferenceSlot& mine = s_.engine->QuickConf[i];
            const sim::ConferenceSlot& held = state.conferences.at(i);
            const auto size = static_cast<std::size_t>(mine.Entries) * s_.engine->ConfParams[2];
            return held.present == mine.Present && held.entries == mine.Entries &&
                   held.payload == Bytes(mine.Data.begin(), mine.Data.begin() + size);
        }
        const auto payload = (*s_.engine.*t.image).Payload(i);
        return state.blocks.at(t.address(i)) == Bytes(payload.begin(), payload.end());
    }
    Bytes Image(const Table& t) const { return ImageOf(*s_.engine, t); }
    // Spoils the start of the image, so that only a fresh read can make it right again.
    void Scribble(const Table& t) {
        if (!t.image) {
            s_.engine->QuickConf[0].Entries ^= 0xFF;
            return;
        }
        (*s_.engine.*t.image).Bytes[0] ^= 0xFF;
    }
    static bool AllZero(const Bytes& b) {
        return std::all_of(b.begin(), b.end(), [](auto x) { return x == 0; });
    }
    void Rearm() {
        s_.ui = testing::RecordingUI{};
        s_.engine->Changed.fill(true);
    }

    testing::SimEngine s_;
};

class TableFaults : public FaultMatrix, public ::testing::WithParamInterface<Table> {};

// A table that fails part-way through its read: its message, its image cleared and its model
// what an exchange without the table gives, never a half-read table; the read goes on.
TEST_P(TableFaults, ReadFailingInTheMiddleClearsTheTableAndGoesOn) {
    const Table& t = GetParam();
    const Table& next = NextRead(t);
    const sim::ExchangeState full = s_.exchange->State();

    Select({&t});
    Overwrite(t, {});
    ASSERT_EQ(s_.ReadAll(), 1);
    const ModelCopy empty(*s_.data);
    s_.exchange->SetState(full);

    Select({&t, &next});
    ASSERT_EQ(s_.ReadAll(), 1);
    ASSERT_TRUE(s_.ui.Messages.empty()) << s_.ui.Messages.front().first;
    ASSERT_FALSE(AllZero(Image(t)));
    if (t.sameModel) {
        ASSERT_FALSE(t.sameModel(ModelCopy(*s_.data), empty)) << "the sample must fill the table";
    }
    const Bytes nextImage = Image(next);

    Aim(t, {.badSum = -1}, t.spare);
    Scribble(next);
    Rearm();
    EXPECT_EQ(s_.ReadAll(), 1);
    ASSERT_EQ(s_.ui.Messages.size(), 1u);
    EXPECT_EQ(s_.ui.Messages[0], std::make_pair(std::string(t.readMessage), std::string(kError)));
    EXPECT_TRUE(AllZero(Image(t)));
    if (t.sameModel) {
        EXPECT_TRUE(t.sameModel(ModelCopy(*s_.data), empty));
    }
    EXPECT_EQ(Image(next), nextImage) << next.name << " read after it";
    EXPECT_EQ(s_.engine->Changed, decltype(s_.engine->Changed){});
    EXPECT_EQ(s_.ui.ProgressSteps.back(), std::make_pair(16, 16));
}

// Refused blocks: ten refusals of the first block are retried away; refusals from the middle
// on stop the table with the blocks before them written, the table's message where it has
// one, and the tables after it still written. Flags are cleared either way.
TEST_P(TableFaults, WriteRefusedTenTimesThenAlways) {
    const Table& t = GetParam();
    const Table& next = NextWritten(t);
    Select({&t, &next});
    ASSERT_EQ(s_.ReadAll(), 1);
    const int blocks = Blocks(t);
    ASSERT_GT(blocks, t.failAt);
    const Bytes stale{0xEE};
    auto expectFlags = [&] {
        for (int i = 0; i < kTableCount; ++i)
            EXPECT_EQ(s_.engine->Changed[i], i != t.index && i != next.index) << "flag " << i;
    };

    Overwrite(t, stale);
    Overwrite(next, stale);
    Aim(t, {.refuseWrites = 10}, 0);
    Rearm();
    EXPECT_EQ(s_.WriteAll(), 1);
    EXPECT_TRUE(s_.ui.Messages.empty());
    for (int i = 0; i < blocks; ++i) EXPECT_TRUE(Holds(t, i)) << "block " << i;
    EXPECT_TRUE(Holds(next, 0)) << next.name;
    expectFlags();

    Overwrite(t, stale);
    Overwrite(next, stale);
    Aim(t, {.refuseWrites = -1}, t.spare);
    Rearm();
    if (t.writeMessage) {
        EXPECT_EQ(s_.WriteAll(), -1);
        ASSERT_EQ(s_.ui.Messages.size(), 1u);
        EXPECT_EQ(s_.ui.Messages[0], std::make_pair(std::string(t.writeMessage), std::string(kError)));
    } else {
        EXPECT_EQ(s_.WriteAll(), 1);
        EXPECT_TRUE(s_.ui.Messages.empty());
    }
    for (int i = 0; i < blocks; ++i) EXPECT_EQ(Holds(t, i), i < t.failAt) << "block " << i;
    EXPECT_TRUE(Holds(next, 0)) << next.name << " written as well";
    expectFlags();
}

INSTANTIATE_TEST_SUITE_P(Tables, TableFaults, ::testing::ValuesIn(kTables), CaseName);

// The transfers before the tables: identification, billing buffer, conference parameters,
// time-settings defaults and composition.
struct Header {
    const char* name;
    int command, sub, spare;
    sim::Faults fault;
    int result;
    std::vector<std::pair<std::string, std::string>> messages;
};

void PrintTo(const Header& h, std::ostream* os) { *os << h.name; }

std::string HeaderName(const ::testing::TestParamInfo<Header>& info) { return info.param.name; }

class HeaderFaults : public FaultMatrix, public ::testing::WithParamInterface<Header> {};

// The configuration held before survives a read that stops in its header: identity, every
// image, the model and the changed flags. A billing buffer that cannot be read is no reason
// to stop.
TEST_P(HeaderFaults, ReadKeepsTheConfigurationHeldBefore) {
    const Header& h = GetParam();
    ASSERT_EQ(s_.ReadAll(), 1);
    s_.engine->Changed.fill(true);
    s_.engine->Changed[kTabLines] = false;
    const auto changed = s_.engine->Changed;
    const TStatusAndOptions identity = s_.engine->Identity;
    const auto status = s_.data->Status.Model + " " + s_.data->Status.VersionText + " " + s_.data->Status.Name;
    const auto ports = s_.data->Ports.size();
    const auto boards = s_.data->CompositionCount;
    const ModelCopy model(*s_.data);
    std::vector<Bytes> images;
    for (const Table& t : kTables) images.push_back(Image(t));
    const auto confParams = s_.engine->ConfParams;
    const TRawImage defaults = s_.engine->TimeDefaults;
    const TCompositionImage composition = s_.engine->Composition;

    sim::Faults f = h.fault;
    f.command = h.command;
    f.sub = h.sub;
    f.spare = h.spare;
    s_.exchange->SetFaults(f);
    s_.ui = testing::RecordingUI{};
    EXPECT_EQ(s_.ReadAll(), h.result);
    EXPECT_EQ(s_.ui.Messages, h.messages);
    if (h.result == 1) {
        EXPECT_EQ(s_.engine->Billing.Counts[0], 0);
        return;
    }
    EXPECT_TRUE(s_.engine->Identified);
    EXPECT_EQ(s_.engine->Identity.Model, identity.Model);
    EXPECT_EQ(s_.engine->Identity.Version, identity.Version);
    EXPECT_EQ(s_.engine->Identity.LineCount, identity.LineCount);
    EXPECT_EQ(s_.engine->Identity.LinkKey, identity.LinkKey);
    EXPECT_EQ(s_.data->Status.Model + " " + s_.data->Status.VersionText + " " + s_.data->Status.Name, status);
    EXPECT_EQ(s_.data->Ports.size(), ports);
    EXPECT_EQ(s_.data->CompositionCount, boards);
    EXPECT_EQ(s_.engine->Changed, changed);
    for (std::size_t i = 0; i < std::size(kTables); ++i) {
        const Table& t = kTables[i];
        EXPECT_EQ(Image(t), images[i]) << t.name;
        if (t.sameModel) {
            EXPECT_TRUE(t.sameModel(ModelCopy(*s_.data), model)) << t.name;
        }
    }
    EXPECT_EQ(s_.engine->ConfParams, confParams);
    EXPECT_EQ(s_.engine->TimeDefaults.Bytes, defaults.Bytes);
    EXPECT_EQ(s_.engine->TimeDefaults.Counts, defaults.Counts);
    EXPECT_EQ(s_.engine->Composition.BoardList.Bytes, composition.BoardList.Bytes);
    EXPECT_EQ(s_.engine->Composition.BoardList.Counts, composition.BoardList.Counts);
    for (std::size_t j = 0; j < composition.Boards.size(); ++j) {
        const TBoardRecord& now = s_.engine->Composition.Boards[j];
        EXPECT_TRUE(now.Count == composition.Boards[j].Count && now.Data == composition.Boards[j].Data) << "board " << j;
    }
}

// clang-format off
const Header kHeaders[] = {
    {"IdentificationUnanswered", 0x01, -1, 0, {.silent = true}, -1, {}},
    {"BillingBadSum", 0x40, 0x03, 0, {.badSum = -1}, 1,
     {{"Неправильно считаны данные состояния буфера тарификации.", "Ошибка."}}},
    {"ConferenceParametersBadSum", 0x40, 0x12, 0, {.badSum = -1}, -1,
     {{"Не могу прочитать таблицу параметров конференций. Выход по time-out.", kError}}},
    {"TimeDefaultsBadSum", 0x08, -1, 0, {.badSum = -1}, -1,
     {{"Не могу прочитать таблицу умолчаний врем. установок. Выход по time-out.", kError}}},
    {"BoardListBadSum", 0x40, 0x09, 0, {.badSum = -1}, -1,
     {{"Не могу прочитать таблицу состава АТС. Выход по time-out.", kError}}},
    {"FourthBoardBadSum", 0x40, 0x0A, 3, {.badSum = -1}, -1,
     {{"Не могу прочитать таблицу состава АТС. Выход по time-out.", kError}}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Header, HeaderFaults, ::testing::ValuesIn(kHeaders), HeaderName);

// Write-all refreshes the key; an identification that goes unanswered leaves the old one,
// which the exchange still holds, and the tables are written.
TEST_F(FaultMatrix, WriteWithTheIdentificationUnansweredStillWrites) {
    const Table& lines = TableOf(kTabLines);
    Select({&lines});
    ASSERT_EQ(s_.ReadAll(), 1);
    Overwrite(lines, {0xEE});
    s_.exchange->SetFaults({.silent = true, .command = 0x01});
    Rearm();
    EXPECT_EQ(s_.WriteAll(), 1);
    EXPECT_TRUE(s_.ui.Messages.empty());
    EXPECT_TRUE(Holds(lines, 149));
    EXPECT_FALSE(s_.engine->Changed[kTabLines]);
}

// The link dies in the middle of the quick conferences: the record being read goes
// unanswered (silence in that framing), the conferences are cleared with their message,
// and the direction tables after them, whose link check fails, keep what they held.
TEST_F(FaultMatrix, ReadWithTheLinkDyingInTheMiddle) {
    const Table& conf = TableOf(kTabQuickConf);
    const Table& directions = TableOf(kTabDirections);
    Select({&conf, &directions});
    ASSERT_EQ(s_.ReadAll(), 1);
    const ModelCopy before(*s_.data);
    const Bytes directionImage = Image(directions);

    Aim(conf, {.deadAfter = 5}, 0);
    Rearm();
    EXPECT_EQ(s_.ReadAll(), 1);
    ASSERT_EQ(s_.ui.Messages.size(), 1u);
    EXPECT_EQ(s_.ui.Messages[0], std::make_pair(std::string(conf.readMessage), std::string(kError)));
    EXPECT_TRUE(AllZero(Image(conf)));
    EXPECT_EQ(Image(directions), directionImage);
    EXPECT_TRUE(directions.sameModel(ModelCopy(*s_.data), before));
    EXPECT_EQ(s_.engine->Changed, decltype(s_.engine->Changed){});
}

// The link dies in the middle of writing the lines: the lines before stay written, the
// failure is reported, the flag is cleared.
TEST_F(FaultMatrix, WriteWithTheLinkDyingInTheMiddle) {
    const Table& lines = TableOf(kTabLines);
    Select({&lines});
    ASSERT_EQ(s_.ReadAll(), 1);
    Overwrite(lines, {0xEE});
    Aim(lines, {.deadAfter = lines.failAt}, 0);
    Rearm();
    EXPECT_EQ(s_.WriteAll(), -1);
    ASSERT_EQ(s_.ui.Messages.size(), 1u);
    EXPECT_EQ(s_.ui.Messages[0], std::make_pair(std::string(lines.writeMessage), std::string(kError)));
    EXPECT_TRUE(Holds(lines, lines.failAt - 1));
    EXPECT_FALSE(Holds(lines, lines.failAt));
    EXPECT_FALSE(s_.engine->Changed[kTabLines]);
}

// A line that can be cut: the pseudo-terminal until then, afterwards an exchange that
// never answers, in virtual time.
class CuttableLine : public TByteLine {
public:
    explicit CuttableLine(TByteLine& live) : to_(&live) {}
    void Cut() { to_ = &dead_; }

    void PurgeInput() override { to_->PurgeInput(); }
    void FlushOutput() override { to_->FlushOutput(); }
    void WriteByte(std::uint8_t b) override {
        if (CutWhen && CutWhen(b)) Cut();
        to_->WriteByte(b);
    }
    // Cuts the line right before the byte it says yes to.
    std::function<bool(std::uint8_t)> CutWhen;
    int ReadByte() override { return to_->ReadByte(); }
    int ReadBuffer(std::uint8_t* buf, int n) override { return to_->ReadBuffer(buf, n); }
    int ReadByteWithin(unsigned ms) override { return to_->ReadByteWithin(ms); }
    void Pause(unsigned ms) override { to_->Pause(ms); }

private:
    TByteLine* to_;
    testing::FakeLine dead_;
};

// An engine that has read the sample exchange over a line the test can cut.
class LinkLost : public ::testing::Test {
protected:
    void SetUp() override {
        exchange_.Start();
        port_.Open(exchange_.SlavePath());
        ASSERT_EQ(engine_.ReadAll(ui_, data_), 1);
    }

    sim::Simulator exchange_{sim::MakeSample({})};
    TCommPort port_;
    CuttableLine line_{port_};
    testing::TempDir dir_;
    testing::RecordingUI ui_;
    TMainClass engine_{ui_, {dir_.Path(), "", &line_}};
    std::shared_ptr<TDataStream> data_ = std::make_shared<TDataStream>();
};

// Every table read once the link is gone: no link, and the image it held stays to be
// decoded again.
TEST_F(LinkLost, EveryTableKeepsWhatItHeld) {
    line_.Cut();
    for (const Table& t : kTables) {
        const Bytes before = ImageOf(engine_, t);
        EXPECT_EQ(t.read(engine_), kNoLink) << t.name;
        EXPECT_EQ(ImageOf(engine_, t), before) << t.name;
    }
}

// The link lost between the time-settings defaults and the boards: the read stops, and
// the exchange read before is still described by its own boards and ports.
TEST_F(LinkLost, BeforeTheBoardsTheReadStops) {
    const auto boards = engine_.Composition.BoardList.Bytes;
    const std::size_t ports = data_->Ports.size();
    bool defaultsAsked = false;
    line_.CutWhen = [&](std::uint8_t b) {
        defaultsAsked = defaultsAsked || b == rows::TimeDefaults.command;
        return defaultsAsked && b == 0x00;  // the link check before the board list
    };
    EXPECT_EQ(engine_.ReadAll(ui_, data_), kNoLink);
    EXPECT_EQ(engine_.Composition.BoardList.Bytes, boards);
    EXPECT_EQ(data_->Ports.size(), ports);
}

}  // namespace
}  // namespace stanset
