// Read-all and write-all of the engine against the simulated exchange over a pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/clock.h"
#include "engine/main_class.h"
#include "engine/status.h"
#include "simulator.h"
#include "support/recording_ui.h"
#include "support/sim_engine.h"
#include "support/temp_dir.h"

namespace stanset {
namespace {

using sim::Bytes;
using testing::RecordingUI;

class EngineSimTest : public ::testing::Test {
protected:
    void Start(sim::SampleOptions sample = {}) {
        exchange_ = std::make_unique<sim::Simulator>(sim::MakeSample(sample));
        exchange_->Start();
        engine_ = std::make_unique<TMainClass>(ui_, TEngineOptions{dir_.Path(), exchange_->SlavePath()});
        ASSERT_TRUE(engine_->Ready);
    }
    void TearDown() override {
        engine_.reset();
        if (exchange_) exchange_->Stop();
    }
    void Change(auto edit) {
        sim::ExchangeState s = exchange_->State();
        edit(s);
        exchange_->SetState(s);
    }
    bool Requested(const std::string& prefix) const {
        for (const auto& line : exchange_->Transcript())
            if (line.rfind(prefix, 0) == 0) return true;
        return false;
    }
    Bytes Held(int command, int address) const { return exchange_->State().blocks.at({command, address}); }
    static Bytes Payload(const TRawImage& image, int block) {
        auto p = image.Payload(block);
        return {p.begin(), p.end()};
    }
    static void SelectAll(TDataStream& d, bool on) {
        for (bool TDataStream::*f : testing::SimEngine::kAll) d.*f = on;
    }

    testing::TempDir dir_;
    RecordingUI ui_;
    std::unique_ptr<sim::Simulator> exchange_;
    std::unique_ptr<TMainClass> engine_;
    std::shared_ptr<TDataStream> data_ = std::make_shared<TDataStream>();
};

TEST_F(EngineSimTest, ReadAllOfTheFullSample) {
    Start();
    engine_->Changed.fill(true);
    ASSERT_EQ(engine_->ReadAll(ui_, data_), 1);
    EXPECT_TRUE(ui_.Messages.empty()) << ui_.Messages.front().first;
    EXPECT_TRUE(ui_.Questions.empty());

    const TStatus& st = data_->Status;
    EXPECT_EQ(st.Model, "KVT700-1");
    EXPECT_EQ(st.VersionText, "VX 7.7 / 24,7");
    EXPECT_EQ(st.Name, "Офис Велетон");
    EXPECT_EQ(st.Serial, "1742");
    EXPECT_EQ(st.BillingText, "337 из 10000. Cвободно 96,60%");
    EXPECT_EQ(st.LineCount, 150);
    EXPECT_EQ(st.UnitsText, "");
    ASSERT_TRUE(engine_->VersionFlags);
    EXPECT_TRUE(engine_->VersionFlags->HasBWBooks);
    EXPECT_EQ(engine_->ConfParams[0], 10);
    EXPECT_TRUE(engine_->Identified);
    EXPECT_EQ(engine_->Changed, decltype(engine_->Changed){});

    EXPECT_EQ(data_->CompositionCount, 15);
    EXPECT_EQ(data_->Composition[0].BoardName, "LB71");
    EXPECT_FALSE(data_->Composition[0].FactoryNumber.empty());
    EXPECT_EQ(data_->Ports.size(), 150u);
    ASSERT_NE(FindPort(*data_, 201), nullptr);

    // Sixteen steps after the start at 0.
    ASSERT_EQ(ui_.ProgressSteps.size(), 17u);
    EXPECT_EQ(ui_.ProgressSteps.front(), std::make_pair(0, 16));
    EXPECT_EQ(ui_.ProgressSteps.back(), std::make_pair(16, 16));

    EXPECT_EQ(engine_->Lines.BlocksRead, 150);
    EXPECT_EQ(Payload(engine_->Lines, 149), Held(0x4C, 149));
    EXPECT_EQ(Payload(engine_->Trunks, 74), Held(0x48, 74));
    EXPECT_EQ(Payload(engine_->STAKeys, 44), Held(0x60, 44));
    EXPECT_EQ(Payload(engine_->GroupBooks, 39), Held(0x58, 0x33));
    EXPECT_EQ(Payload(engine_->ProgNumbers, 1), Held(0x40, 0x11));
    EXPECT_EQ(Payload(engine_->BWBooks, 0), Held(0x40, 0x13));
    EXPECT_EQ(engine_->QuickConf[9].Entries, exchange_->State().conferences[9].entries);
}

TEST_F(EngineSimTest, EachModelReadsWhatItHas) {
    struct Case {
        const char* model;
        const char* firmware;
        bool confParams, quickConf, bwBooks;
    } cases[] = {
        {"KVT250", "24,3", true, true, false},
        {"RD16", "24,7", false, false, true},
        {"RD32", "24,4", false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        TearDown();
        ui_ = RecordingUI{};
        Start({c.model, c.firmware});
        ASSERT_EQ(engine_->ReadAll(ui_, data_), 1);
        EXPECT_EQ(data_->Status.Model, c.model);
        EXPECT_EQ(data_->Status.VersionText, std::string("VX 7.7 / ") + c.firmware);
        EXPECT_FALSE(data_->Ports.empty());
        EXPECT_EQ(Requested("read 40 12"), c.confParams);
        EXPECT_EQ(Requested("conf-read"), c.quickConf);
        EXPECT_EQ(Requested("read 40 13"), c.bwBooks);
        EXPECT_EQ(engine_->Lines.BlocksRead, engine_->Identity.LineCount);
    }
}

TEST_F(EngineSimTest, NothingSelectedStillIdentifiesAndRebuildsPorts) {
    Start();
    SelectAll(*data_, false);
    ASSERT_EQ(engine_->ReadAll(ui_, data_), 1);
    EXPECT_EQ(data_->Status.Model, "KVT700-1");
    EXPECT_FALSE(data_->Ports.empty());
    EXPECT_TRUE(Requested("read 40 12"));
    EXPECT_TRUE(Requested("read 08"));
    EXPECT_FALSE(Requested("read 4c"));
    EXPECT_FALSE(Requested("read 0a"));
    EXPECT_EQ(ui_.ProgressSteps.back(), std::make_pair(16, 16));
}

TEST_F(EngineSimTest, AnExchangeOfTwoUnitsHasNoTableRead) {
    Start();
    Change([](sim::ExchangeState& s) { s.ident[4] |= 0x02; });
    ASSERT_EQ(engine_->ReadAll(ui_, data_), 1);
    EXPECT_EQ(engine_->Identity.UnitCount, 2);
    EXPECT_FALSE(Requested("read 4c"));
    EXPECT_FALSE(data_->Ports.empty());
}

TEST_F(EngineSimTest, OldFirmwareIsRefusedAndThePreviousExchangeStays) {
    Start();
    ASSERT_EQ(engine_->ReadAll(ui_, data_), 1);
    exchange_->SetState(sim::MakeSample({"KVT250", "23,7"}));
    EXPECT_EQ(engine_->ReadAll(ui_, data_), -2);
    EXPECT_EQ(engine_->Identity.Model, "KVT700-1");
    EXPECT_EQ(engine_->Identity.Version, "24,7");
    EXPECT_EQ(data_->Status.VersionText, "VX 7.7 / 24,7");
    EXPECT_EQ(data_->Status.Name, "Офис Велетон");
    EXPECT_TRUE(engine_->VersionFlags->HasBWBooks);  // the flags of the exchange still described
}

TEST_F(EngineSimTest, ATableThatTimesOutIsReportedClearedAndTheReadGoesOn) {
    Start();
    Change([](sim::ExchangeState& s) { s.blocks[{0x4C, 3}] = Bytes(129, 1); });
    ASSERT_EQ(engine_->ReadAll(ui_, data_), 1);
    ASSERT_EQ(ui_.Messages.size(), 1u);
    EXPECT_EQ(ui_.Messages[0], std::make_pair(std::string("Не могу прочитать таблицы АЛ. Выход по time-out"),
                                              std::string("Ошибка")));
    EXPECT_EQ(engine_->Lines.BlocksRead, 0);
    EXPECT_TRUE(std::all_of(engine_->Lines.Counts.begin(), engine_->Lines.Counts.end(), [](auto n) { return n == 0; }));
    EXPECT_EQ(Payload(engine_->Trunks, 0), Held(0x48, 0));  // read after the lines
}

// The three reads a configuration cannot do without end the read-all, and the model and
// the identity stay as they were.
TEST_F(EngineSimTest, ATimeOutOnTheStructureEndsTheReadAndKeepsTheModel) {
    struct Case {
        const char* message;
        void (*spoil)(sim::ExchangeState&);
    } cases[] = {
        {"Не могу прочитать таблицу состава АТС. Выход по time-out.",
         [](sim::ExchangeState& s) { s.boards[2] = Bytes(13, 1); }},
        {"Не могу прочитать таблицу умолчаний врем. установок. Выход по time-out.",
         [](sim::ExchangeState& s) { s.blocks[{0x08, -1}] = Bytes(101, 1); }},
        {"Не могу прочитать таблицу параметров конференций. Выход по time-out.",
         [](sim::ExchangeState& s) { s.blocks[{0x40, 0x12}] = Bytes(6, 1); }},
    };
    Start();
    ASSERT_EQ(engine_->ReadAll(ui_, data_), 1);
    const auto ports = data_->Ports.size();
    const auto good = exchange_->State();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        sim::ExchangeState s = sim::MakeSample({"KVT250", "24,7"});
        c.spoil(s);
        exchange_->SetState(s);
        ui_.Messages.clear();
        EXPECT_EQ(engine_->ReadAll(ui_, data_), -1);
        EXPECT_TRUE(ui_.Showed(c.message));
        EXPECT_EQ(engine_->Identity.Model, "KVT700-1");
        EXPECT_EQ(data_->Status.Model, "KVT700-1");
        EXPECT_EQ(data_->Ports.size(), ports);
        exchange_->SetState(good);
    }
}

TEST_F(EngineSimTest, AnUnknownDeviceCodeEndsTheReadWithAMessage) {
    Start();
    Change([](sim::ExchangeState& s) { s.ident[5] = 12; });
    EXPECT_EQ(engine_->ReadAll(ui_, data_), -1);
    EXPECT_TRUE(ui_.Showed("Ошибка чтения кода устройства"));
    EXPECT_FALSE(engine_->Identified);
}

TEST_F(EngineSimTest, ClockDriftAsksAndOpensTheClockWindow) {
    Start();
    Change([](sim::ExchangeState& s) { s.clockOffsetSeconds = 3600; });
    ui_.Answer = true;
    ASSERT_EQ(engine_->ReadAll(ui_, data_), 1);
    ASSERT_EQ(ui_.Questions.size(), 1u);
    EXPECT_EQ(ui_.Questions[0], "Время в АТС заметно отличается от времени в Вашем компьютере, переустановим время в АТС?");
    EXPECT_EQ(ui_.ClockWindows, 1);
}

TEST_F(EngineSimTest, SetClockReadsBackWithinOneTimeUnit) {
    Start();
    ASSERT_EQ(engine_->ReadAll(ui_, data_), 1);
    const TDateTime t{2020, 2, 29, 12, 0, 5};
    ASSERT_TRUE(SetClock(*engine_, t));
    ASSERT_EQ(engine_->ReadAll(ui_, data_), 1);
    const TExchangeClock& c = data_->Clock;
    EXPECT_EQ(std::make_tuple(c.Year, c.Month, c.Day, c.Hour, c.Minute), std::make_tuple(2020, 2, 29, 12, 0));
    EXPECT_LE(c.Second, 12);
}

TEST_F(EngineSimTest, WriteAllSendsTheImagesAndClearsTheFlagsOfWhatItSent) {
    Start();
    ASSERT_EQ(engine_->ReadAll(ui_, data_), 1);
    engine_->Lines.Block(5)[0] ^= 0x01;
    engine_->Changed.fill(true);
    SelectAll(*data_, false);
    data_->SelLines = data_->SelIntercoms = data_->SelTimeSettings = true;
    exchange_->ClearTranscript();
    ASSERT_EQ(engine_->WriteAll(ui_, data_), 1);
    EXPECT_TRUE(ui_.Messages.empty());
    EXPECT_EQ(Held(0x4C, 5), Payload(engine_->Lines, 5));
    EXPECT_TRUE(Requested("ident"));
    EXPECT_FALSE(Requested("write c8"));
    EXPECT_FALSE(engine_->Changed[kTabLines]);
    EXPECT_FALSE(engine_->Changed[kTabIntercoms]);
    EXPECT_TRUE(engine_->Changed[kTabTrunks]);

    // Refused blocks: the unreported intercoms and the reported lines; flags cleared anyway.
    engine_->Changed.fill(true);
    SelectAll(*data_, false);
    data_->SelIntercoms = true;
    exchange_->SetFaults({.refuseWrites = -1});
    EXPECT_EQ(engine_->WriteAll(ui_, data_), 1);
    EXPECT_TRUE(ui_.Messages.empty());
    data_->SelLines = true;
    EXPECT_EQ(engine_->WriteAll(ui_, data_), -1);
    EXPECT_TRUE(ui_.Showed("Не могу записать таблицу АЛ, нет связи с АТС."));
    EXPECT_FALSE(engine_->Changed[kTabLines]);
    EXPECT_FALSE(engine_->Changed[kTabIntercoms]);
}

}  // namespace
}  // namespace stanset
