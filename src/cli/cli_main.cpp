// stanset-cli: the engine, the configuration files and the constructor without a window,
// for backups, scripts and version control.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "cli/config_json.h"
#include "cli/console_ui.h"
#include "engine/clock.h"
#include "engine/main_class.h"
#include "engine/status.h"
#include "files/config_file.h"
#include "files/constructor.h"

using namespace stanset;
using namespace stanset::cli;

namespace fs = std::filesystem;

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

constexpr const char* kNoLinkText = "Нет связи со станцией.";

// A usage error found after parsing (a board name, a time, a table list).
struct TUsageError {
    std::string text;
};

void Say(const std::string& text) { std::fprintf(stderr, "stanset-cli: %s\n", text.c_str()); }

// A line for the commands that work on files only: nothing is ever sent.
class TNoLine : public TByteLine {
public:
    void PurgeInput() override {}
    void FlushOutput() override {}
    void WriteByte(std::uint8_t) override {}
    int ReadByte() override { return -1; }
    int ReadBuffer(std::uint8_t*, int) override { return 0; }
    int ReadByteWithin(unsigned) override { return -1; }
    void Pause(unsigned) override {}
};

// A folder of our own for the engine of a command that must leave the working folder as
// it is (dump, diff): the engine creates its folder and options file wherever it starts.
class TScratchDir {
public:
    TScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "stanset-cli-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TScratchDir() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    TScratchDir(const TScratchDir&) = delete;
    TScratchDir& operator=(const TScratchDir&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

struct TCommon {
    std::string device;
    std::string port;
    std::string workdir;

    std::string WorkDir() const {
        if (!workdir.empty()) return workdir;
        std::error_code ec;
        const fs::path p = fs::current_path(ec);
        return ec ? std::string(".") : p.string();
    }
    // The device the engine opens instead of the options file's port, if any.
    std::string Device() const {
        if (!device.empty()) return device;
        if (port.empty()) return {};
        static const std::regex kPortName("COM([1-9][0-9]{0,2})");
        std::smatch m;
        if (!std::regex_match(port, m, kPortName) || std::stoi(m[1]) > 255)
            throw TUsageError{"--port takes a name COM1 ... COM255, not \"" + port + "\""};
        return port;
    }
};

TSelection SelectionOf(const std::string& tables) {
    if (tables.empty()) return AllTables();
    TSelection selection{};
    std::string error;
    if (!ParseTables(tables, selection, error)) throw TUsageError{error};
    return selection;
}

// An engine on the exchange's line; empty (the reason already shown) when the port
// could not be opened.
std::unique_ptr<TMainClass> ExchangeEngine(const TCommon& common, TConsoleUI& ui) {
    auto engine = std::make_unique<TMainClass>(ui, TEngineOptions{common.WorkDir(), common.Device()});
    if (!engine->Ready) return nullptr;
    return engine;
}

// Link check and identification, as the engine starts its own operations; the identity
// goes into the engine. False, with the system's message, when there is no exchange.
bool IdentifyExchange(TMainClass& engine, TUserInteraction& ui, bool withBilling) {
    if (engine.Link.CheckLink() != 1) {
        ui.Message(kNoLinkText, "");
        return false;
    }
    TIdentReply reply;
    if (engine.Link.Identify(reply.Buffer, reply.Length) != 1) {
        ui.Message(kNoLinkText, "");
        return false;
    }
    if (withBilling) ReadBillingBuffer(engine, ui);
    TStatusAndOptions identity = engine.Identity;
    if (!DecodeIdentification(reply, identity, true)) {
        ui.Message("Ошибка чтения кода устройства", "");
        return false;
    }
    engine.Reply = reply;
    engine.Identity = identity;
    return true;
}

std::string ClockText(const TExchangeClock& c) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", c.Year % 10000, c.Month % 100, c.Day % 100,
                  c.Hour % 100, c.Minute % 100, c.Second % 100);
    return text;
}

void PrintJson(const TJson& json) {
    std::cout << json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    std::cout.flush();
}

// A configuration file loaded into an engine of its own, with the tables it holds.
struct TLoadedFile {
    TScratchDir scratch;
    TNoLine line;
    std::unique_ptr<TMainClass> engine;
    std::shared_ptr<TDataStream> data;
    TFileList files;
    TSelection selection{};
};

// Loads the tables of the selection that the file holds; an explicitly named table the
// file lacks is an error, since taking it as empty would invent a table.
bool LoadFile(const std::string& path, const TSelection& wanted, bool explicitTables, const TCommon& common,
              TConsoleUI& ui, TLoadedFile& out) {
    // Names are read where the technician keeps them; nothing is created for a dump.
    const std::string workdir = common.WorkDir();
    std::error_code ec;
    const bool hasNames = fs::is_directory(fs::path(workdir) / "dat", ec);
    out.engine = std::make_unique<TMainClass>(ui, TEngineOptions{out.scratch.Path(), {}, &out.line});
    out.data = std::make_shared<TDataStream>(hasNames ? workdir : std::string());

    std::string reason;
    if (!out.files.ReadFile(path, reason)) {
        // The load below says it in the system's words.
        out.selection = wanted;
    } else {
        for (const TCliTable& t : kCliTables) {
            if (!wanted[t.index]) continue;
            if (HoldsTable(out.files, t.index)) {
                out.selection[t.index] = true;
            } else if (explicitTables) {
                Say(path + " holds no table " + t.name);
                return false;
            }
        }
        if (std::none_of(out.selection.begin(), out.selection.end(), [](bool b) { return b; })) {
            Say(path + " holds none of the tables asked for");
            return false;
        }
    }
    ApplySelection(out.selection, *out.data);
    return LoadConfiguration(*out.engine, *out.data, out.files, path, ui) == TLoadResult::Loaded;
}

// Saves the engine's selected tables as the save panel does; an existing file is moved
// to ats.bak first when force allows it.
bool SaveTables(TMainClass& engine, TDataStream& data, const std::string& path, bool force, TConsoleUI& ui) {
    TFileList files;
    ui.SetAnswer(force);
    const TSaveResult r = SaveConfiguration(engine, data, files, path, ui);
    ui.SetAnswer(false);
    return r == TSaveResult::Saved;
}

bool RefuseExisting(const std::string& path, bool force) {
    std::error_code ec;
    if (force || !fs::exists(path, ec)) return false;
    Say(path + " exists; --force moves it to ats.bak in the working folder first");
    return true;
}

// ---- subcommands ------------------------------------------------------------------------

int RunInfo(const TCommon& common) {
    TConsoleUI ui;
    auto engine = ExchangeEngine(common, ui);
    if (!engine) return kFailed;
    TDataStream data;
    if (!IdentifyExchange(*engine, ui, true)) return kFailed;
    DecodeStatus(*engine, data, true, false, ui);

    const auto exchange = static_cast<long long>(ExchangeClockSeconds(*engine));
    const auto pc = static_cast<long long>(PcClockSeconds());
    Say("exchange clock " + ClockText(data.Clock) + ", " + std::to_string(exchange - pc) +
        " s against the PC clock");
    if (ClockDriftTooLarge(exchange, pc))
        Say("Время в АТС заметно отличается от времени в Вашем компьютере (set-clock sets it)");

    const TStatusAndOptions& id = engine->Identity;
    TJson out;
    out["Model"] = id.Model;
    out["Version"] = id.Version;
    out["VersionText"] = data.Status.VersionText;
    out["Serial"] = id.Serial;
    out["ExchangeName"] = id.ExchangeName;
    out["UnitCount"] = id.UnitCount;
    out["TrunkCount"] = id.TrunkCount;
    out["LineCount"] = id.LineCount;
    out["IntercomBlocks"] = id.IntercomBlocks;
    out["DirectionCount"] = id.DirectionCount;
    out["GGSBlocks"] = id.GGSBlocks;
    out["STACount"] = id.STACount;
    out["TimeUnit"] = id.TimeUnit;
    out["BillingTotal"] = data.BillingTotal;
    out["BillingUsed"] = data.BillingUsed;
    out["BillingText"] = data.Status.BillingText;
    out["Clock"] = ClockText(data.Clock);
    PrintJson(out);
    return kOk;
}

// Read-all; false with the system's message when it did not get as far as the tables.
bool ReadExchange(TMainClass& engine, std::shared_ptr<TDataStream> data, TConsoleUI& ui) {
    const int r = engine.ReadAll(ui, std::move(data));
    if (r == -2) ui.Message("Stanset_M работает с версиями рабочей программы от 22.9 и выше.", "");
    else if (r < 0) ui.Message(kNoLinkText, "");
    if (r < 0) return false;
    if (engine.Identity.UnitCount != 1) {
        Say("an exchange of several units: its tables are not read");
        return false;
    }
    return true;
}

int RunRead(const TCommon& common, const std::string& out, const TSelection& selection, bool force) {
    if (RefuseExisting(out, force)) return kFailed;
    TConsoleUI ui;
    auto engine = ExchangeEngine(common, ui);
    if (!engine) return kFailed;
    auto data = std::make_shared<TDataStream>(common.WorkDir());
    ApplySelection(selection, *data);
    if (!ReadExchange(*engine, data, ui)) return kFailed;

    // A backup must not claim a table the exchange did not deliver.
    int result = kOk;
    for (const TCliTable& t : kCliTables) {
        if (selection[t.index] && engine->Outcomes[t.index] == TTableOutcome::Failed) {
            Say(std::string("table ") + t.name + " was not read and is left out of " + out);
            (*data).*t.selected = false;
            result = kFailed;
        }
    }
    if (!SaveTables(*engine, *data, out, force, ui)) return kFailed;
    return result;
}

// What was sent, to compare with what the exchange gives back.
struct TSentImages {
    explicit TSentImages(const TMainClass& e) : quickConf(e.QuickConf) {
        for (const TCliTable& t : kCliTables)
            if (auto image = ImageOf(t.index)) images[t.index] = e.*image;
    }
    static TRawImage TMainClass::*ImageOf(int table) {
        switch (table) {
            case kTabLines: return &TMainClass::Lines;
            case kTabTrunks: return &TMainClass::Trunks;
            case kTabGroups: return &TMainClass::Groups;
            case kTabDirections: return &TMainClass::Directions;
            case kTabAllSys: return &TMainClass::AllSys;
            case kTabIntercoms: return &TMainClass::Intercoms;
            case kTabGGS: return &TMainClass::GGS;
            case kTabRedirects: return &TMainClass::Redirects;
            case kTabFlash: return &TMainClass::Flash;
            case kTabCommonBook: return &TMainClass::CommonBook;
            case kTabGroupBooks: return &TMainClass::GroupBooks;
            case kTabProgNumbers: return &TMainClass::ProgNumbers;
            case kTabSTAKeys: return &TMainClass::STAKeys;
            case kTabTimeSettings: return &TMainClass::TimeSettings;
            case kTabBWBooks: return &TMainClass::BWBooks;
            default: return nullptr;
        }
    }
    // The first block that came back different, or -1.
    int FirstDifference(const TMainClass& e, int table) const {
        if (table == kTabQuickConf) {
            for (std::size_t i = 0; i < quickConf.size(); ++i) {
                const TConferenceSlot &a = quickConf[i], &b = e.QuickConf[i];
                if (a.Present != b.Present || (a.Present && (a.Entries != b.Entries || a.Data != b.Data)))
                    return static_cast<int>(i);
            }
            return -1;
        }
        const TRawImage& sent = *images[static_cast<std::size_t>(table)];
        const TRawImage& back = e.*ImageOf(table);
        for (int b = 0; b < sent.BlockCount(); ++b) {
            const auto x = sent.Payload(b), y = back.Payload(b);
            if (!std::equal(x.begin(), x.end(), y.begin(), y.end())) return b;
        }
        return -1;
    }

    std::array<std::optional<TRawImage>, kTableCount> images;
    std::array<TConferenceSlot, TQuickConfCommand::maxRecords> quickConf;
};

int RunWrite(const TCommon& common, const std::string& in, const TSelection& wanted, bool explicitTables,
             bool force, bool verify) {
    TConsoleUI ui;
    auto engine = ExchangeEngine(common, ui);
    if (!engine) return kFailed;
    auto data = std::make_shared<TDataStream>(common.WorkDir());

    TFileList files;
    TSelection selection{};
    std::string reason;
    if (files.ReadFile(in, reason)) {
        for (const TCliTable& t : kCliTables) {
            if (!wanted[t.index]) continue;
            if (HoldsTable(files, t.index)) {
                selection[t.index] = true;
            } else if (explicitTables) {
                // Writing it would clear the exchange's table.
                Say(in + " holds no table " + t.name + "; nothing written");
                return kFailed;
            }
        }
    } else {
        selection = wanted;  // the load below reports the file
    }
    ApplySelection(selection, *data);
    if (LoadConfiguration(*engine, *data, files, in, ui) != TLoadResult::Loaded) return kFailed;

    const TStatusAndOptions fileIdentity = engine->Identity;
    const TIdentReply fileReply = engine->Reply;
    if (!IdentifyExchange(*engine, ui, false)) return kFailed;
    if (engine->Identity.Model != files.Status.Model) {
        if (!force) {
            Say(in + " is a configuration of " + files.Status.Model + ", the exchange is " +
                engine->Identity.Model + "; nothing written (--force writes it all the same)");
            return kFailed;
        }
        Say(in + " is a configuration of " + files.Status.Model + ", the exchange is " + engine->Identity.Model +
            "; written as --force asks");
    }
    // As after a load in the window: write-all starts from the file's identity and
    // identifies the exchange itself.
    engine->Identity = fileIdentity;
    engine->Reply = fileReply;

    const TSentImages sent(*engine);
    const int r = engine->WriteAll(ui, data);
    int result = r < 0 ? kFailed : kOk;
    if (r < 0 && engine->Outcomes == decltype(engine->Outcomes){}) ui.Message("Нет связи с АТС", "Ошибка");
    for (const TCliTable& t : kCliTables) {
        if (engine->Outcomes[t.index] == TTableOutcome::Failed) {
            Say(std::string("table ") + t.name + " was not written completely");
            result = kFailed;
        }
    }
    if (!verify || result != kOk) return result;

    // Read back only what was written, and compare it block by block.
    if (!ReadExchange(*engine, data, ui)) return kFailed;
    for (const TCliTable& t : kCliTables) {
        if (!selection[t.index] || engine->Outcomes[t.index] == TTableOutcome::NotRun) continue;
        if (engine->Outcomes[t.index] == TTableOutcome::Failed) {
            Say(std::string("table ") + t.name + " could not be read back");
            result = kFailed;
        } else if (const int b = sent.FirstDifference(*engine, t.index); b >= 0) {
            Say(std::string("table ") + t.name + " differs from what was written (block " + std::to_string(b) + ")");
            result = kFailed;
        }
    }
    if (result == kOk) Say("verified: the exchange holds what was written");
    return result;
}

int RunDump(const TCommon& common, const std::string& file, const TSelection& wanted, bool explicitTables) {
    TConsoleUI ui;
    TLoadedFile loaded;
    if (!LoadFile(file, wanted, explicitTables, common, ui, loaded)) return kFailed;
    PrintJson(DumpConfiguration(*loaded.engine, *loaded.data, loaded.files.Status, loaded.selection));
    return kOk;
}

int RunDiff(const TCommon& common, const std::string& a, const std::string& b, const TSelection& wanted,
            bool explicitTables) {
    TConsoleUI ui;
    TLoadedFile first, second;
    if (!LoadFile(a, wanted, explicitTables, common, ui, first)) return kFailed;
    if (!LoadFile(b, wanted, explicitTables, common, ui, second)) return kFailed;
    const auto lines = DiffConfigurations(DumpConfiguration(*first.engine, *first.data, first.files.Status, first.selection),
                                          DumpConfiguration(*second.engine, *second.data, second.files.Status,
                                                            second.selection));
    for (const std::string& line : lines) std::cout << line << '\n';
    std::cout.flush();
    return lines.empty() ? kOk : kFailed;
}

std::vector<std::string> SplitBoards(const std::string& list) {
    std::vector<std::string> boards;
    std::string::size_type from = 0;
    for (;;) {
        const auto comma = list.find(',', from);
        boards.push_back(list.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    return boards;
}

int RunNew(const TCommon& common, const TConstructorChoice& choice, const std::string& out, bool force) {
    const auto& offered = BoardsFor(choice.model);
    for (const std::string& board : choice.boards)
        if (std::find(offered.begin(), offered.end(), board) == offered.end())
            throw TUsageError{"no board \"" + board + "\" for " + choice.model};
    if (choice.secondUnit && choice.model != "KVT250") throw TUsageError{"--second-unit is for a KVT250 only"};
    if (static_cast<int>(choice.boards.size()) > SlotCount(choice.model))
        throw TUsageError{choice.model + " has " + std::to_string(SlotCount(choice.model)) + " slots, --boards names " +
                          std::to_string(choice.boards.size())};
    if (RefuseExisting(out, force)) return kFailed;

    TConsoleUI ui;
    TNoLine line;
    TMainClass engine(ui, TEngineOptions{common.WorkDir(), {}, &line});
    TDataStream data(common.WorkDir());
    if (!CreateConfiguration(engine, data, choice)) {
        Say("the constructor refused this composition");
        return kFailed;
    }
    ApplySelection(AllTables(), data);
    return SaveTables(engine, data, out, force, ui) ? kOk : kFailed;
}

std::optional<TDateTime> ParseTime(const std::string& text) {
    static const std::regex kShape(R"((\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2}):(\d{2}))");
    std::smatch m;
    if (!std::regex_match(text, m, kShape)) return std::nullopt;
    TDateTime t{std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4]), std::stoi(m[5]), std::stoi(m[6])};
    // The exchange counts days from 1980 in 16 bits.
    if (t.year < 1980 || t.year > 2099 || t.month < 1 || t.month > 12 || t.hour > 23 || t.minute > 59 ||
        t.second > 59)
        return std::nullopt;
    const int leap = t.year % 4 == 0 && t.month == 2 ? 1 : 0;
    if (t.day < 1 || t.day > kMonthDays[static_cast<std::size_t>(t.month - 1)] + leap) return std::nullopt;
    return t;
}

int RunSetClock(const TCommon& common, const std::string& time) {
    TDateTime when = PcNow();
    if (!time.empty()) {
        const auto t = ParseTime(time);
        if (!t) throw TUsageError{"--time takes \"YYYY-MM-DD HH:MM:SS\", not \"" + time + "\""};
        when = *t;
    }
    TConsoleUI ui;
    auto engine = ExchangeEngine(common, ui);
    if (!engine) return kFailed;
    // The time unit of this exchange decides how the time of day is sent.
    if (!IdentifyExchange(*engine, ui, false)) return kFailed;
    if (time.empty()) when = PcNow();
    if (!SetClock(*engine, when)) {
        ui.Message(kNoLinkText, "Ошибка");
        return kFailed;
    }
    return kOk;
}

void AddCommon(CLI::App& sub, TCommon& common) {
    auto* device = sub.add_option("--device", common.device, "serial device path (a tty, a USB adapter, a pty)");
    auto* port = sub.add_option("--port", common.port, "port by its options-file name, COMn")->excludes(device);
    device->excludes(port);
    sub.add_option("--workdir", common.workdir, "working folder (dat, names files, options file)");
}

void AddWorkdir(CLI::App& sub, TCommon& common) {
    sub.add_option("--workdir", common.workdir, "working folder (dat, names files, options file)");
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"stanset-cli: read, write, keep and compare the configuration of a Велетон exchange"};
    app.require_subcommand(1, 1);
    app.footer(
        "Tables (--tables, comma-separated, default all): lines, trunks, groups, directions, allsys,\n"
        "intercoms, ggs, redirects, flash, commonbook, groupbooks, prognumbers, conferences, stakeys,\n"
        "timesettings, bwbooks.\n"
        "Without --device or --port the port of Stanset_M.cfg in the working folder is used;\n"
        "COMn is /dev/ttyUSB(n-1) when it exists, else /dev/ttyS(n-1).\n"
        "Exit codes: 0 success, 1 the operation failed, 2 usage error.");

    TCommon common;
    std::string tables, file, fileB, time, model, version = "24.7", boards;
    bool force = false, verify = false, secondUnit = false;

    auto* info = app.add_subcommand("info", "link check, identification, billing buffer and status as JSON");
    AddCommon(*info, common);

    auto* read = app.add_subcommand("read", "read the exchange into a configuration file");
    AddCommon(*read, common);
    read->add_option("--out", file, "configuration file to write")->required();
    read->add_option("--tables", tables, "tables to read");
    read->add_flag("--force", force, "replace an existing file (the old one becomes ats.bak)");

    auto* write = app.add_subcommand("write", "write a configuration file into the exchange");
    AddCommon(*write, common);
    write->add_option("--in", file, "configuration file to write")->required();
    write->add_option("--tables", tables, "tables to write");
    write->add_flag("--force", force, "write even when the file is of another model");
    write->add_flag("--verify", verify, "read the written tables back and compare them");

    auto* dump = app.add_subcommand("dump", "print a configuration file as JSON");
    AddWorkdir(*dump, common);
    dump->add_option("FILE", file, "configuration file")->required();
    dump->add_option("--tables", tables, "tables to print");

    auto* diff = app.add_subcommand("diff", "the differences between two configuration files");
    AddWorkdir(*diff, common);
    diff->add_option("A", file, "first configuration file")->required();
    diff->add_option("B", fileB, "second configuration file")->required();
    diff->add_option("--tables", tables, "tables to compare");
    diff->footer("Exit code 0 when equal, 1 when they differ.");

    auto* create = app.add_subcommand("new", "build a configuration file without an exchange (the constructor)");
    AddWorkdir(*create, common);
    create->add_option("--model", model, "KVT700, KVT250, RD32 or RD16")
        ->required()
        ->check(CLI::IsMember(kConstructorModels));
    create->add_option("--version", version, "firmware version")->capture_default_str()->check(CLI::IsMember(kConstructorVersions));
    create->add_option("--boards", boards, "board of every slot in order, empty for an empty slot: LB71,TT14,,LBQ619")
        ->required();
    create->add_flag("--second-unit", secondUnit, "the second unit of a KVT250");
    create->add_option("--out", file, "configuration file to write")->required();
    create->add_flag("--force", force, "replace an existing file (the old one becomes ats.bak)");

    auto* setClock = app.add_subcommand("set-clock", "set the exchange clock to the PC clock or to a given time");
    AddCommon(*setClock, common);
    setClock->add_option("--time", time, "\"YYYY-MM-DD HH:MM:SS\" instead of the PC clock");

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kUsage;
    }

    try {
        const bool explicitTables = !tables.empty();
        if (*info) return RunInfo(common);
        if (*read) return RunRead(common, file, SelectionOf(tables), force);
        if (*write) return RunWrite(common, file, SelectionOf(tables), explicitTables, force, verify);
        if (*dump) return RunDump(common, file, SelectionOf(tables), explicitTables);
        if (*diff) return RunDiff(common, file, fileB, SelectionOf(tables), explicitTables);
        if (*create) return RunNew(common, {model, version, SplitBoards(boards), secondUnit}, file, force);
        if (*setClock) return RunSetClock(common, time);
    } catch (const TUsageError& e) {
        Say(e.text);
        return kUsage;
    } catch (const std::exception& e) {
        // Whatever the core did not expect must still end with a message, not a crash.
        Say(std::string("unexpected failure: ") + e.what());
        return kFailed;
    }
    return kUsage;
}
