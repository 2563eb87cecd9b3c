// An engine connected to a simulated exchange over a pseudo-terminal, in a working folder
// of its own: the fixture of the tests that run tables end to end.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "engine/main_class.h"
#include "simulator.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace stanset::testing {

class SimEngine {
public:
    explicit SimEngine(sim::SampleOptions sample = {}) : SimEngine(sim::MakeSample(sample)) {}
    explicit SimEngine(sim::ExchangeState state) {
        exchange = std::make_unique<sim::Simulator>(std::move(state));
        exchange->Start();
        engine = std::make_unique<TMainClass>(ui, TEngineOptions{dir.Path(), exchange->SlavePath()});
    }
    ~SimEngine() {
        engine.reset();
        exchange->Stop();
    }

    // Read-all of everything selected; the result of ReadAll.
    int ReadAll() { return engine->ReadAll(ui, data); }
    int WriteAll() { return engine->WriteAll(ui, data); }

    // Selects exactly the tables given (members of TDataStream such as &TDataStream::SelLines).
    void Select(std::initializer_list<bool TDataStream::*> tables) {
        for (bool TDataStream::*f : kAll) (*data).*f = false;
        for (bool TDataStream::*f : tables) (*data).*f = true;
    }

    void ChangeExchange(auto edit) {
        sim::ExchangeState s = exchange->State();
        edit(s);
        exchange->SetState(s);
    }
    sim::Bytes Held(int command, int address) const { return exchange->State().blocks.at({command, address}); }

    static constexpr bool TDataStream::*kAll[] = {
        &TDataStream::SelTimeSettings, &TDataStream::SelAllSys,      &TDataStream::SelCommonBook,
        &TDataStream::SelRedirects,    &TDataStream::SelProgNumbers, &TDataStream::SelFlash,
        &TDataStream::SelDirections,   &TDataStream::SelTrunks,      &TDataStream::SelLines,
        &TDataStream::SelGroups,       &TDataStream::SelIntercoms,   &TDataStream::SelGroupBooks,
        &TDataStream::SelGGS,          &TDataStream::SelSTAKeys,     &TDataStream::SelQuickConf,
        &TDataStream::SelBWBooks,
    };

    TempDir dir;
    RecordingUI ui;
    std::unique_ptr<sim::Simulator> exchange;
    std::unique_ptr<TMainClass> engine;
    std::shared_ptr<TDataStream> data = std::make_shared<TDataStream>();
};

}  // namespace stanset::testing
