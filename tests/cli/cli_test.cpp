// stanset-cli end to end: the built program against the simulated exchange over a
// pseudo-terminal, and on configuration files; the diff format on small fixtures.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "cli/config_json.h"
#include "files/config_file.h"
#include "files/constructor.h"
#include "simulator.h"
#include "support/fake_line.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "tables/lines/subscriber_lines.h"

namespace stanset {
namespace {

namespace fs = std::filesystem;
using cli::TJson;

struct TRun {
    int code = -1;
    std::string out, err;
};

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Quoted(const std::string& arg) {
    std::string q = "'";
    for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class CliTest : public ::testing::Test {
protected:
    // The program in the test's working folder, stdout and stderr kept apart.
    TRun Cli(const std::vector<std::string>& args) {
        std::string command = "cd " + Quoted(dir_.Path()) + " && " + Quoted(STANSET_CLI_PATH);
        for (const std::string& a : args) command += " " + Quoted(a);
        command += " >" + Quoted(Path("stdout")) + " 2>" + Quoted(Path("stderr"));
        const int status = std::system(command.c_str());
        TRun run;
        run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = ReadText(Path("stdout"));
        run.err = ReadText(Path("stderr"));
        return run;
    }
    void StartExchange(sim::ExchangeState state = sim::MakeSample({})) {
        exchange_ = std::make_unique<sim::Simulator>(std::move(state));
        exchange_->Start();
    }
    void TearDown() override {
        if (exchange_) exchange_->Stop();
    }
    std::vector<std::string> OnExchange(std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"--device", exchange_->SlavePath()});
        return args;
    }
    std::string Path(const std::string& name) const { return (fs::path(dir_.Path()) / name).string(); }
    TJson Dump(const std::string& file, std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"dump", file};
        args.insert(args.end(), extra.begin(), extra.end());
        const TRun run = Cli(args);
        EXPECT_EQ(run.code, 0) << run.err;
        return run.code == 0 ? TJson::parse(run.out) : TJson{};
    }
    static const TJson* Record(const TJson& table, int number) {
        for (const TJson& r : table)
            if (r.at("Number") == number) return &r;
        return nullptr;
    }
    bool Wrote() const {
        for (const std::string& line : exchange_->Transcript())
            if (line.rfind("write", 0) == 0) return true;
        return false;
    }

    testing::TempDir dir_;
    std::unique_ptr<sim::Simulator> exchange_;
};

// An engine that talks to nobody, for building files in process.
struct TFileEngine {
    explicit TFileEngine(const std::string& workDir) : engine(ui, TEngineOptions{workDir, {}, &line}) {}
    testing::RecordingUI ui;
    testing::FakeLine line;
    TMainClass engine;
    std::shared_ptr<TDataStream> data = std::make_shared<TDataStream>();
    TFileList files;
};

// A copy of a backup with line 207 edited as a technician would, through the core's own
// operations.
void SaveWithLine207Edited(const std::string& workDir, const std::string& from, const std::string& to,
                           const std::function<void(TAL&)>& edit) {
    TFileEngine f(workDir);
    ASSERT_EQ(LoadConfiguration(f.engine, *f.data, f.files, from, f.ui), TLoadResult::Loaded);
    edit(f.data->Lines[7]);
    EncodeSubscriberLines(f.engine, *f.data);
    ASSERT_EQ(SaveConfiguration(f.engine, *f.data, f.files, to, f.ui), TSaveResult::Saved);
}

TEST_F(CliTest, InfoPrintsTheExchangeAsOneJsonObject) {
    StartExchange();
    const TRun run = Cli(OnExchange({"info"}));
    ASSERT_EQ(run.code, 0) << run.err;
    const TJson info = TJson::parse(run.out);
    EXPECT_EQ(info["Model"], "KVT700-1");
    EXPECT_EQ(info["Version"], "24,7");
    EXPECT_EQ(info["VersionText"], "VX 7.7 / 24,7");
    EXPECT_EQ(info["Serial"], "1742");
    EXPECT_EQ(info["ExchangeName"], "Офис Велетон");
    EXPECT_EQ(info["LineCount"], 150);
    EXPECT_EQ(info["TrunkCount"], 75);
    EXPECT_EQ(info["STACount"], 45);
    EXPECT_EQ(info["TimeUnit"], 6);
    EXPECT_EQ(info["BillingTotal"], 10000);
    EXPECT_EQ(info["BillingUsed"], 337);
    EXPECT_TRUE(std::regex_match(info["Clock"].get<std::string>(),
                                 std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")));
    for (const char* key : {"UnitCount", "IntercomBlocks", "DirectionCount", "GGSBlocks", "BillingText"})
        EXPECT_TRUE(info.contains(key)) << key;
    // The drift goes to stderr, never into the JSON and never as a question.
    EXPECT_NE(run.err.find("against the PC clock"), std::string::npos);
}

TEST_F(CliTest, ReadSavesTheSampleAndDumpShowsItsValues) {
    StartExchange();
    const TRun read = Cli(OnExchange({"read", "--out", "backup.ats"}));
    ASSERT_EQ(read.code, 0) << read.err;

    const TJson d = Dump("backup.ats");
    EXPECT_EQ(d["identity"]["Model"], "KVT700-1");
    for (const cli::TCliTable& t : cli::kCliTables) EXPECT_TRUE(d.contains(t.name)) << t.name;
    ASSERT_EQ(d["lines"].size(), 150u);
    const TJson* line = Record(d["lines"], 207);
    ASSERT_TRUE(line);
    EXPECT_EQ((*line)["DirectCall"], "1234");
    EXPECT_EQ((*Record(d["lines"], 201))["ProgramNumber"], "10");
    EXPECT_EQ((*Record(d["lines"], 203))["SLOff"], TJson::parse("[200, 260, 340]"));
    EXPECT_EQ((*Record(d["trunks"], 200))["DayTable"], 1);
    EXPECT_EQ((*Record(d["groups"], 10))["CallString"], TJson::parse("[201, 203, 205, 207, 209]"));
    EXPECT_EQ((*Record(d["intercoms"], 1))["OpenCode"], "1203");
    EXPECT_EQ(d["commonbook"]["Numbers"][0]["Number"], "84951234567");
    EXPECT_EQ(d["allsys"]["DayModeStart"], "08:00:00");

    // A second backup into the same file is refused; --force keeps the old one as ats.bak.
    const std::string before = ReadText(Path("backup.ats"));
    EXPECT_EQ(Cli(OnExchange({"read", "--out", "backup.ats", "--tables", "lines"})).code, 1);
    EXPECT_EQ(ReadText(Path("backup.ats")), before);
    ASSERT_EQ(Cli(OnExchange({"read", "--out", "backup.ats", "--tables", "lines", "--force"})).code, 0);
    EXPECT_EQ(ReadText(Path("ats.bak")), before);
    const TJson partial = Dump("backup.ats");
    EXPECT_TRUE(partial.contains("lines"));
    EXPECT_FALSE(partial.contains("trunks"));  // not claimed empty: simply not there
}

TEST_F(CliTest, ATableThatTimesOutIsNamedAndLeftOutOfTheBackup) {
    sim::ExchangeState state = sim::MakeSample({});
    state.blocks[{0x4C, 3}] = sim::Bytes(129, 1);  // longer than a line block: never accepted
    StartExchange(std::move(state));
    const TRun run = Cli(OnExchange({"read", "--out", "backup.ats", "--tables", "lines,trunks"}));
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("Не могу прочитать таблицы АЛ. Выход по time-out"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("table lines"), std::string::npos) << run.err;

    const TJson d = Dump("backup.ats");
    EXPECT_FALSE(d.contains("lines"));
    EXPECT_EQ(d["trunks"].size(), 75u);
    EXPECT_EQ(Cli({"dump", "backup.ats", "--tables", "lines"}).code, 1);
}

TEST_F(CliTest, WriteRefusesAFileOfAnotherModelUnlessForced) {
    StartExchange();
    ASSERT_EQ(Cli({"new", "--model", "KVT250", "--boards", "LB71,TT14", "--out", "kvt250.ats"}).code, 0);
    exchange_->ClearTranscript();
    const TRun refused = Cli(OnExchange({"write", "--in", "kvt250.ats", "--tables", "allsys"}));
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("KVT250"), std::string::npos) << refused.err;
    EXPECT_FALSE(Wrote());

    EXPECT_EQ(Cli(OnExchange({"write", "--in", "kvt250.ats", "--tables", "allsys", "--force"})).code, 0);
    EXPECT_TRUE(Wrote());
}

TEST_F(CliTest, WriteSendsTheFileAndVerifiesItOrNamesTheTablesThatFailed) {
    StartExchange();
    ASSERT_EQ(Cli(OnExchange({"read", "--out", "backup.ats"})).code, 0);

    SaveWithLine207Edited(dir_.Path(), Path("backup.ats"), Path("edited.ats"),
                          [](TAL& line) { line.DirectCall = "1235"; });
    ASSERT_FALSE(HasFatalFailure());
    const sim::Bytes before = exchange_->State().blocks.at({0x4C, 7});
    const TRun run = Cli(OnExchange({"write", "--in", "edited.ats", "--verify"}));
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(exchange_->State().blocks.at({0x4C, 7}), before);
    ASSERT_EQ(Cli(OnExchange({"read", "--out", "after.ats"})).code, 0);
    EXPECT_EQ(Cli({"diff", "edited.ats", "after.ats"}).code, 0);

    // Refused intercom blocks: write-all shows nothing for them, the tool still fails.
    sim::Faults faults;
    faults.refuseWrites = -1;
    exchange_->SetFaults(faults);
    const TRun failed = Cli(OnExchange({"write", "--in", "edited.ats", "--tables", "intercoms,groups"}));
    EXPECT_EQ(failed.code, 1);
    EXPECT_NE(failed.err.find("table intercoms"), std::string::npos) << failed.err;
    EXPECT_NE(failed.err.find("table groups"), std::string::npos) << failed.err;
}

// Loading a file clears the tables it lacks; written, that would wipe them on the exchange.
TEST_F(CliTest, APartialBackupWritesOnlyTheTablesItHolds) {
    StartExchange();
    ASSERT_EQ(Cli(OnExchange({"read", "--out", "lines.ats", "--tables", "lines"})).code, 0);
    auto wroteTo = [&](const std::string& prefix) {
        for (const std::string& line : exchange_->Transcript())
            if (line.rfind(prefix, 0) == 0) return true;
        return false;
    };
    exchange_->ClearTranscript();
    ASSERT_EQ(Cli(OnExchange({"write", "--in", "lines.ats"})).code, 0);
    EXPECT_TRUE(wroteTo("write cc"));
    EXPECT_FALSE(wroteTo("write c8"));  // trunks
    EXPECT_FALSE(wroteTo("write d0"));  // groups

    exchange_->ClearTranscript();
    EXPECT_EQ(Cli(OnExchange({"write", "--in", "lines.ats", "--tables", "lines,trunks"})).code, 1);
    EXPECT_FALSE(Wrote());
}

TEST_F(CliTest, DiffNamesEveryChangedFieldAndExitsOneOnlyWhenTheyDiffer) {
    StartExchange();
    ASSERT_EQ(Cli(OnExchange({"read", "--out", "a.ats"})).code, 0);
    SaveWithLine207Edited(dir_.Path(), Path("a.ats"), Path("b.ats"), [](TAL& line) {
        line.DirectCall = "1235";
        line.Trigger[lines::DTMF_ON] ^= 1;
    });
    ASSERT_FALSE(HasFatalFailure());
    const TRun same = Cli({"diff", "a.ats", "a.ats"});
    EXPECT_EQ(same.code, 0);
    EXPECT_EQ(same.out, "");

    const TRun changed = Cli({"diff", "a.ats", "b.ats"});
    EXPECT_EQ(changed.code, 1);
    const int dtmf = Dump("a.ats")["lines"][7]["Trigger"]["DTMF_ON"];
    EXPECT_EQ(changed.out, "lines 207 Trigger.DTMF_ON: " + std::to_string(dtmf) + " -> " + std::to_string(dtmf ^ 1) +
                               "\nlines 207 DirectCall: 1234 -> 1235\n");
    EXPECT_EQ(Cli({"diff", "a.ats", "b.ats", "--tables", "trunks"}).code, 0);
}

TEST_F(CliTest, NewWritesWhatTheConstructorBuilds) {
    struct Case {
        TConstructorChoice choice;
        std::string boards;
    };
    const Case cases[] = {
        {{"KVT700", "24.7", {"LB71", "TT14", "", "LBQ619"}, false}, "LB71,TT14,,LBQ619"},
        {{"KVT250", "24.7", {"LB43", "TQ86"}, true}, "LB43,TQ86"},
        {{"RD16", "24.7", {"LB28", "TT09", "", "", "", "TQ05"}, false}, "LB28,TT09,,,,TQ05"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.boards);
        std::vector<std::string> args{"new", "--model", c.choice.model, "--boards", c.boards, "--out", "cli.ats"};
        if (c.choice.secondUnit) args.push_back("--second-unit");
        ASSERT_EQ(Cli(args).code, 0);

        TFileEngine f(dir_.Path());
        ASSERT_TRUE(CreateConfiguration(f.engine, *f.data, c.choice));
        ASSERT_EQ(SaveConfiguration(f.engine, *f.data, f.files, Path("core.ats"), f.ui), TSaveResult::Saved);
        EXPECT_EQ(ReadText(Path("cli.ats")), ReadText(Path("core.ats")));
        fs::remove(Path("cli.ats"));
        fs::remove(Path("core.ats"));
    }
}

TEST_F(CliTest, SetClockSetsTheGivenTime) {
    StartExchange();
    ASSERT_EQ(Cli(OnExchange({"set-clock", "--time", "2020-02-29 12:00:05"})).code, 0);
    const TRun info = Cli(OnExchange({"info"}));
    ASSERT_EQ(info.code, 0);
    EXPECT_EQ(TJson::parse(info.out)["Clock"], "2020-02-29 12:00:00");  // whole time units of 6 s
}

TEST_F(CliTest, UsageErrorsExitTwoAndHelpExitsZero) {
    const std::vector<std::vector<std::string>> usage = {
        {},
        {"frob"},
        {"read"},
        {"read", "--out", "x.ats", "--tables", "lines,bogus"},
        {"read", "--out", "x.ats", "--tables", "lines,"},
        {"info", "--device", "/dev/null", "--port", "COM1"},
        {"info", "--port", "LPT1"},
        {"new", "--model", "KVT700", "--boards", "LB71,XX", "--out", "x.ats"},
        {"new", "--model", "RD16", "--boards", "LB28,LB28,LB28,LB28,LB28,LB28,LB28", "--out", "x.ats"},
        {"new", "--model", "KVT999", "--boards", "", "--out", "x.ats"},
        {"set-clock", "--time", "2021-02-29 00:00:00"},
        {"diff", "only-one.ats"},
    };
    for (const auto& args : usage) {
        const TRun run = Cli(args);
        EXPECT_EQ(run.code, 2) << (args.empty() ? "(none)" : args[0]) << " " << run.err;
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_FALSE(fs::exists(Path("x.ats")));
    for (const char* sub : {"", "info", "read", "write", "dump", "diff", "new", "set-clock"}) {
        std::vector<std::string> args;
        if (*sub) args.push_back(sub);
        args.push_back("--help");
        const TRun run = Cli(args);
        EXPECT_EQ(run.code, 0) << sub;
        EXPECT_NE(run.out.find("--help"), std::string::npos) << sub;
    }
}

TEST_F(CliTest, BrokenFilesExitOneWithAMessage) {
    TFileEngine f(dir_.Path());
    ASSERT_TRUE(CreateConfiguration(f.engine, *f.data, {"KVT700", "24.7", {"LB71", "TT14"}, false}));
    ASSERT_EQ(SaveConfiguration(f.engine, *f.data, f.files, Path("good.ats"), f.ui), TSaveResult::Saved);
    const std::string good = ReadText(Path("good.ats"));
    std::ofstream(Path("cut.ats"), std::ios::binary) << good.substr(0, good.size() - 7);
    std::mt19937 random(7);
    std::string noise(5000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    std::ofstream(Path("noise.ats"), std::ios::binary) << noise;

    for (const char* file : {"cut.ats", "noise.ats", "missing.ats"}) {
        SCOPED_TRACE(file);
        const TRun dump = Cli({"dump", file});
        EXPECT_EQ(dump.code, 1);
        EXPECT_FALSE(dump.err.empty());
        EXPECT_EQ(dump.out, "");
        EXPECT_EQ(Cli({"diff", "good.ats", file}).code, 1);
    }
}

TEST(CliDiffTest, OneLinePerDifferingFieldWithTheRecordItBelongsTo) {
    struct Case {
        const char* before;
        const char* after;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {R"({"lines":[{"Number":205,"DirectCall":"1234"}]})", R"({"lines":[{"Number":205,"DirectCall":"1235"}]})",
         {"lines 205 DirectCall: 1234 -> 1235"}},
        // Records are matched by number, not by place.
        {R"({"lines":[{"Number":201,"Priority":1},{"Number":205,"Priority":2}]})",
         R"({"lines":[{"Number":205,"Priority":2},{"Number":201,"Priority":1}]})",
         {}},
        {R"({"lines":[{"Number":205,"Trigger":{"DTMF_ON":0}}]})", R"({"lines":[{"Number":205,"Trigger":{"DTMF_ON":1}}]})",
         {"lines 205 Trigger.DTMF_ON: 0 -> 1"}},
        {R"({"lines":[{"Number":205,"SLOff":[200]}]})", R"({"lines":[{"Number":205,"SLOff":[200,202]}]})",
         {"lines 205 SLOff: [200] -> [200,202]"}},
        {R"({"allsys":{"DayModeStart":"08:00:00"}})", R"({"allsys":{"DayModeStart":"07:30:00"}})",
         {"allsys DayModeStart: 08:00:00 -> 07:30:00"}},
        {R"({"commonbook":{"Numbers":[{"Entry":"070","Number":""}]}})",
         R"({"commonbook":{"Numbers":[{"Entry":"070","Number":"123"}]}})",
         {"commonbook Numbers 070 Number: \"\" -> 123"}},
        {R"({"ggs":[{"Number":1,"LinkPort":"257"}]})", R"({"ggs":[]})", {"ggs 1: (record) -> (none)"}},
        {R"({"lines":[]})", R"({})", {"lines: (table) -> (none)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        EXPECT_EQ(cli::DiffConfigurations(TJson::parse(c.before), TJson::parse(c.after)), c.lines);
    }
}

TEST(CliTablesTest, TableListsAreParsedInPanelOrder) {
    cli::TSelection s{};
    std::string error;
    ASSERT_TRUE(cli::ParseTables("bwbooks,lines", s, error));
    EXPECT_TRUE(s[kTabLines] && s[kTabBWBooks]);
    EXPECT_EQ(std::count(s.begin(), s.end(), true), 2);
    for (const char* bad : {"", ",", "lines,,trunks", "Lines", "lines,"}) EXPECT_FALSE(cli::ParseTables(bad, s, error)) << bad;
    EXPECT_EQ(cli::kCliTables[kTabQuickConf].name, std::string("conferences"));
    for (int i = 0; i < kTableCount; ++i) EXPECT_EQ(cli::kCliTables[i].index, i);
}

}  // namespace
}  // namespace stanset
