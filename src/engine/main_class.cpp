#include "engine/main_class.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "engine/status.h"
#include "engine/tables.h"

namespace stanset {

namespace fs = std::filesystem;

namespace {

constexpr const char* kOpenFailedExisting =
    "Исключение! Непонятная ошибка при открытии СОМ-порта. Проверьте номер СОМ-порта.";
constexpr const char* kOpenFailedCreated =
    "Исключение! Непонятная ошибка при открытии СОМ-порта.  Проверьте номер СОМ-порта. (1)";

std::string CurrentDir() {
    std::error_code ec;
    const fs::path p = fs::current_path(ec);
    return ec ? std::string(".") : p.string();
}

}  // namespace

TMainClass::TMainClass(TUserInteraction& ui, TEngineOptions options)
    : Link(options.line ? *options.line : static_cast<TByteLine&>(Port)), device_(std::move(options.device)) {
    ResetState();
    Identity.WorkDir = options.workDir.empty() ? CurrentDir() : options.workDir;
    StartUp(ui);
    if (options.line) Ready = true;
}

TMainClass::~TMainClass() {
    // Whoever could be told has been told by Shutdown; here the port just goes.
    try {
        Port.Close();
    } catch (const ECommError&) {
    }
}

void TMainClass::Shutdown(TUserInteraction& ui) {
    try {
        Port.Close();
    } catch (const ECommError&) {
        ui.Message("Исключение! Непонятная ошибка при закрытии СОМ-порта.", "");
    }
}

void TMainClass::ResetState() {
    Identified = false;
    Reply.Length = 0;
    TimeDefaults.Counts[0] = 0;
    TimeSettings.Counts[0] = 0;
    AllSys.Counts[0] = 0;
    Billing.Counts[0] = 0;
    Composition.BoardList.Counts[0] = 0;
    for (auto& board : Composition.Boards) board.Count = 0;
    std::fill(Intercoms.Counts.begin(), Intercoms.Counts.end(), 0);
    std::fill(STAKeys.Counts.begin(), STAKeys.Counts.begin() + 100, 0);
}

void TMainClass::StartUp(TUserInteraction& ui) {
    const fs::path work(Identity.WorkDir);
    std::error_code ec;
    fs::create_directories(work / "dat", ec);
    if (ec || !fs::is_directory(work / "dat", ec)) ui.Message("Ошибка создания директории DAT.", "Ошибка");

    // The options file holds the port number in its first byte; it is exactly two bytes.
    const fs::path cfg = work / "Stanset_M.cfg";
    const char* openFailure = nullptr;
    if (!fs::exists(cfg, ec)) {
        Identity.PortName = "COM1";
        std::ofstream out(cfg, std::ios::binary);
        out.put(0x01).put(0x01);
        out.close();
        if (!out) ui.Message("Не могу записать данные в файл конфигурации(002).", "Ошибка");
        openFailure = kOpenFailedCreated;
    } else {
        std::ifstream in(cfg, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (bytes.size() == 2) {
            Identity.PortName = "COM" + std::to_string(static_cast<unsigned char>(bytes[0]));
            openFailure = kOpenFailedExisting;
        } else {
            Identity.PortName = "COM";
            ui.Message("Ошибочный формат файла(размер!=2).", "Ошибка");
        }
    }
    // A device given on the command line is opened whatever the options file says.
    if (!device_.empty()) {
        Identity.PortName = device_;
        if (!openFailure) openFailure = kOpenFailedExisting;
    }
    if (openFailure && &Link.Line() == &Port) OpenPort(ui, openFailure);
}

void TMainClass::OpenPort(TUserInteraction& ui, const char* failureMessage) {
    try {
        Port.SetPortName(Identity.PortName);
        Port.Open(Identity.PortName);
        Port.PurgeInput();
        Ready = true;
    } catch (const ECommError&) {
        ui.Message(failureMessage, "");
    }
}

void TMainClass::ReopenPort() {
    Port.Close();
    Port.SetPortName(Identity.PortName);
    Port.Open(Identity.PortName);
}

void TMainClass::Restore(const SavedIdentity& saved, TDataStream& data) {
    Reply = saved.reply;
    Identity = saved.identity;
    Link.LinkKey = saved.identity.LinkKey;
    struct NoQuestions : TUserInteraction {
        void Message(const std::string&, const std::string&) override {}
        bool Ask(const std::string&, const std::string&) override { return false; }
        void Progress(int, int) override {}
        void OpenClockWindow(TMainClass&) override {}
    } quiet;
    DecodeStatus(*this, data, false, false, quiet);
}

int TMainClass::ReadAll(TUserInteraction& ui, std::shared_ptr<TDataStream> data) {
    try {
        return ReadAllSteps(ui, *data);
    } catch (const ECommError&) {
        // The port failed under the transfer (a device pulled out): no link.
        return kNoLink;
    }
}

int TMainClass::ReadAllSteps(TUserInteraction& ui, TDataStream& data) {
    Outcomes.fill(TTableOutcome::NotRun);
    TByteLine& line = Link.Line();
    line.Pause(200);
    bool up = false;
    for (int check = 0; check < 3 && !up; ++check) {
        if (check > 0) line.Pause(300);
        up = Link.CheckLink() == 1;
    }
    if (!up) return kNoLink;

    const bool hadIdentity = Identified;
    const SavedIdentity saved{Reply, Identity};
    // The header blocks are read in place; a read that stops must not leave the
    // configuration held before with them cleared.
    const auto confParams = ConfParams;
    const TRawImage timeDefaults = TimeDefaults;
    const TCompositionImage composition = Composition;
    const auto versionFlags = VersionFlags;
    // Ends the read with the exchange read before still described.
    auto abandon = [&](int result) {
        ConfParams = confParams;
        TimeDefaults = timeDefaults;
        Composition = composition;
        VersionFlags = versionFlags;
        if (hadIdentity) Restore(saved, data);
        return result;
    };

    TIdentReply reply;
    if (Link.Identify(reply.Buffer, reply.Length) != 1) return abandon(kNoLink);
    ReadBillingBuffer(*this, ui);
    TStatusAndOptions identity = Identity;
    if (!DecodeIdentification(reply, identity, true)) {
        ui.Message("Ошибка чтения кода устройства", "");
        return abandon(kNoLink);
    }
    Reply = reply;
    Identity = identity;
    DecodeStatus(*this, data, true, true, ui);

    VersionFlags = std::make_shared<TTableVerRWFlags>(MakeTableVerRWFlags(Identity.Model, Identity.Version));
    const bool kvt = Identity.Model.find("KVT") != std::string::npos;

    if (VersionFlags->HasQuickConf && kvt) {
        ConfParams.fill(0);
        TRawImage params(1, static_cast<int>(ConfParams.size()));
        const int r = Link.ReadTable(rows::ConfParams, params, 1);
        if (r == kTimeOut) {
            ui.Message("Не могу прочитать таблицу параметров конференций. Выход по time-out.", "Ошибка");
            return abandon(kNoLink);
        }
        std::copy_n(params.Bytes.begin(), ConfParams.size(), ConfParams.begin());
    }

    if (!VersionFlags->HasTimeDefaults) return abandon(-2);

    if (ReadTimeDefaults(*this, ui) == kTimeOut) {
        ui.Message("Не могу прочитать таблицу умолчаний врем. установок. Выход по time-out.", "Ошибка");
        return abandon(kNoLink);
    }
    DecodeTimeDefaults(*this, data);

    const int boards = ReadComposition();
    if (boards == kTimeOut) {
        ui.Message("Не могу прочитать таблицу состава АТС. Выход по time-out.", "Ошибка");
        return abandon(kNoLink);
    }
    // Without the boards the ports cannot be built; going on would describe the exchange
    // with the composition of the one read before.
    if (boards < 0) return abandon(kNoLink);
    DecodeComposition(Identity.Model, Composition, data);
    BuildPortList(Identity.Model, data);

    ReadTables(ui, data);
    Identified = true;
    Changed.fill(false);
    return 1;
}

int TMainClass::ReadComposition() {
    const int r = Link.ReadTable(rows::BoardList, Composition.BoardList, 1);
    if (r < 0) return r;
    Composition.Boards.fill(TBoardRecord{});
    for (int j = 0; j < Composition.BoardList.Counts[0]; ++j)
        if (Link.ReadBoard(j, Composition.Boards[j]) < 0) return kTimeOut;
    return 1;
}

namespace {

struct TReadStep {
    TTableIndex table;
    bool TDataStream::*selected;
    bool (*condition)(const TMainClass&);
    int (*read)(TMainClass&);
    void (*decode)(TMainClass&, TDataStream&);
    const char* timeoutMessage;
};

bool Always(const TMainClass&) { return true; }
bool QuickConfPresent(const TMainClass& e) {
    return e.VersionFlags && e.VersionFlags->HasQuickConf && e.Identity.Model.find("KVT") != std::string::npos;
}
bool BWBooksPresent(const TMainClass& e) { return e.VersionFlags && e.VersionFlags->HasBWBooks; }
void NoDecoder(TMainClass&, TDataStream&) {}

// clang-format off
const TReadStep kReadSteps[] = {
    {kTabAllSys,       &TDataStream::SelAllSys,       Always,           ReadSystemSettings,  DecodeSystemSettings,  "Не могу прочитать таблицу общесистемных установок. Выход по time-out"},
    {kTabTimeSettings, &TDataStream::SelTimeSettings, Always,           ReadTimeSettings,    DecodeTimeSettings,    "Не могу прочитать таблицу временных установок. Выход по time-out"},
    {kTabSTAKeys,      &TDataStream::SelSTAKeys,      Always,           ReadKeyTables,       DecodeKeyTables,       "Не могу прочитать таблицу клавиш СТА. Выход по time-out"},
    {kTabIntercoms,    &TDataStream::SelIntercoms,    Always,           ReadIntercoms,       DecodeIntercoms,       "Не могу прочитать таблицу домофонов. Выход по time-out"},
    {kTabGGS,          &TDataStream::SelGGS,          Always,           ReadLoudspeakers,    DecodeLoudspeakers,    "Не могу прочитать таблицу ГГС-ов. Выход по time-out"},
    {kTabLines,        &TDataStream::SelLines,        Always,           ReadSubscriberLines, DecodeSubscriberLines, "Не могу прочитать таблицы АЛ. Выход по time-out"},
    {kTabCommonBook,   &TDataStream::SelCommonBook,   Always,           ReadCommonBook,      DecodeCommonBook,      "Не могу прочитать глобальную таблицу внешних номеров. Выход по time-out"},
    {kTabFlash,        &TDataStream::SelFlash,        Always,           ReadFlash,           NoDecoder,             "Не могу прочитать таблицу flash. Выход по time-out"},
    {kTabProgNumbers,  &TDataStream::SelProgNumbers,  Always,           ReadProgramNumbers,  DecodeProgramNumbers,  "Не могу прочитать таблицу программных номеров. Выход по time-out"},
    {kTabRedirects,    &TDataStream::SelRedirects,    Always,           ReadRedirects,       DecodeRedirects,       "Не могу прочитать таблицу переадресаций. Выход по time-out"},
    {kTabQuickConf,    &TDataStream::SelQuickConf,    QuickConfPresent, ReadConferences,     DecodeConferences,     "Не могу прочитать таблицы быстрых конференций. Выход по time-out"},
    {kTabDirections,   &TDataStream::SelDirections,   Always,           ReadDirectionTables, DecodeDirectionTables, "Не могу прочитать таблицы наведения. Выход по time-out"},
    {kTabGroups,       &TDataStream::SelGroups,       Always,           ReadGroups,          DecodeGroups,          "Не могу прочитать таблицы групп. Выход по time-out"},
    {kTabTrunks,       &TDataStream::SelTrunks,       Always,           ReadTrunkLines,      DecodeTrunkLines,      "Не могу прочитать таблицы СЛ. Выход по time-out"},
    {kTabGroupBooks,   &TDataStream::SelGroupBooks,   Always,           ReadGroupBooks,      DecodeGroupBooks,      "Не могу прочитать групповые таблицы внешних номеров . Выход по time-out"},
    {kTabBWBooks,      &TDataStream::SelBWBooks,      BWBooksPresent,   ReadBWBook,          DecodeBWBook,          "Не могу прочитать таблицы черно-белых книжек. Выход по time-out"},
};
// clang-format on

}  // namespace

void TMainClass::ReadTables(TUserInteraction& ui, TDataStream& data) {
    constexpr int steps = static_cast<int>(std::size(kReadSteps));
    ui.Progress(0, steps);
    // An exchange of several units has its tables read unit by unit elsewhere.
    if (Identity.UnitCount != 1) return;
    int position = 0;
    for (const TReadStep& step : kReadSteps) {
        if (data.*step.selected && step.condition(*this)) {
            const int r = step.read(*this);
            if (r == kTimeOut) ui.Message(step.timeoutMessage, "Ошибка");
            Outcomes[step.table] = r == kNoBlocks ? TTableOutcome::Absent
                                   : r < 0       ? TTableOutcome::Failed
                                                 : TTableOutcome::Done;
            step.decode(*this, data);
        }
        ui.Progress(++position, steps);
    }
}

int TMainClass::WriteAll(TUserInteraction& ui, std::shared_ptr<TDataStream> data) {
    try {
        return WriteTables(ui, *data);
    } catch (const ECommError&) {
        return kNoLink;
    }
}

namespace {

enum class TFailure { NotReported, ZeroIsNoLink, Negative };

struct TWriteStep {
    TTableIndex table;
    bool TDataStream::*selected;
    bool (*condition)(const TMainClass&);
    int (*write)(TMainClass&, TUserInteraction&);
    TFailure failure;
    const char* message;
    // For the outcome, whatever the message says: the result that means the exchange has
    // none of the table, and whether 0 means the link check failed.
    int absent;
    bool zeroIsNoLink;
};

constexpr int kNeverAbsent = 1 << 30;

template <int (*Write)(TMainClass&)>
int Plain(TMainClass& e, TUserInteraction&) {
    return Write(e);
}
bool HasQuickConf(const TMainClass& e) { return e.VersionFlags && e.VersionFlags->HasQuickConf; }

// clang-format off
const TWriteStep kWriteSteps[] = {
    {kTabQuickConf,    &TDataStream::SelQuickConf,    HasQuickConf,   Plain<WriteConferences>,     TFailure::NotReported,  nullptr, kNoBlocks, false},
    {kTabAllSys,       &TDataStream::SelAllSys,       Always,         Plain<WriteSystemSettings>,  TFailure::NotReported,  nullptr, kNeverAbsent, true},
    {kTabSTAKeys,      &TDataStream::SelSTAKeys,      Always,         WriteKeyTables,              TFailure::NotReported,  nullptr, kNeverAbsent, false},
    {kTabIntercoms,    &TDataStream::SelIntercoms,    Always,         Plain<WriteIntercoms>,       TFailure::NotReported,  nullptr, kNoLink, false},
    {kTabGGS,          &TDataStream::SelGGS,          Always,         Plain<WriteLoudspeakers>,    TFailure::NotReported,  nullptr, kNoLink, false},
    {kTabTimeSettings, &TDataStream::SelTimeSettings, Always,         Plain<WriteTimeSettings>,    TFailure::ZeroIsNoLink, "Не могу записать временные установки, нет связи с АТС.", kNeverAbsent, true},
    {kTabCommonBook,   &TDataStream::SelCommonBook,   Always,         Plain<WriteCommonBook>,      TFailure::Negative,     "Не могу записать общую записную книжку, нет связи с АТС.", kNeverAbsent, false},
    {kTabFlash,        &TDataStream::SelFlash,        Always,         Plain<WriteFlash>,           TFailure::Negative,     "Не могу записать таблицу flash-установок, нет связи с АТС.", kNoBlocks, false},
    {kTabProgNumbers,  &TDataStream::SelProgNumbers,  Always,         Plain<WriteProgramNumbers>,  TFailure::Negative,     "Не могу записать таблицу программных номеров, нет связи с АТС.", kNoBlocks, false},
    {kTabRedirects,    &TDataStream::SelRedirects,    Always,         Plain<WriteRedirects>,       TFailure::Negative,     "Не могу записать таблицу переадресаций, нет связи с АТС.", kNoBlocks, false},
    {kTabDirections,   &TDataStream::SelDirections,   Always,         Plain<WriteDirectionTables>, TFailure::Negative,     "Не могу записать таблици наведения, нет связи с АТС.", kNeverAbsent, false},
    {kTabGroups,       &TDataStream::SelGroups,       Always,         Plain<WriteGroups>,          TFailure::Negative,     "Не могу записать групповые установки, нет связи с АТС.", kNeverAbsent, false},
    {kTabLines,        &TDataStream::SelLines,        Always,         Plain<WriteSubscriberLines>, TFailure::Negative,     "Не могу записать таблицу АЛ, нет связи с АТС.", kNeverAbsent, false},
    {kTabTrunks,       &TDataStream::SelTrunks,       Always,         Plain<WriteTrunkLines>,      TFailure::Negative,     "Не могу записать таблицу СЛ, нет связи с АТС.", kNeverAbsent, false},
    {kTabGroupBooks,   &TDataStream::SelGroupBooks,   Always,         Plain<WriteGroupBooks>,      TFailure::Negative,     "Не могу записать групповые зап. книжки, нет связи с АТС.", kNeverAbsent, false},
    {kTabBWBooks,      &TDataStream::SelBWBooks,      BWBooksPresent, Plain<WriteBWBook>,          TFailure::Negative,     "Не могу записать черно-белые зап. книжки, нет связи с АТС.", kNeverAbsent, false},
};
// clang-format on

}  // namespace

int TMainClass::WriteTables(TUserInteraction& ui, TDataStream& data) {
    Outcomes.fill(TTableOutcome::NotRun);
    VersionFlags = std::make_shared<TTableVerRWFlags>(MakeTableVerRWFlags(Identity.Model, Identity.Version));
    constexpr int steps = static_cast<int>(std::size(kWriteSteps));
    ui.Progress(0, steps);
    if (Link.CheckLink() < 0) return kNoLink;

    // A fresh key; an unreadable reply keeps the identity the images were made for.
    TIdentReply reply;
    if (Link.Identify(reply.Buffer, reply.Length) == 1) {
        TStatusAndOptions identity = Identity;
        if (DecodeIdentification(reply, identity, true)) {
            Reply = reply;
            Identity = identity;
        }
    }
    int result = 1;
    int position = 1;
    ui.Progress(position, steps);
    for (int i = 0; i < steps; ++i) {
        const TWriteStep& step = kWriteSteps[i];
        if (data.*step.selected && step.condition(*this)) {
            const int r = step.write(*this, ui);
            Changed[step.table] = false;
            const bool failed = (step.failure == TFailure::ZeroIsNoLink && r == 0) ||
                                (step.failure == TFailure::Negative && r < 0);
            if (failed) {
                ui.Message(step.message, "Ошибка");
                result = kNoLink;
            }
            const bool lost = failed || r < 0 || (step.zeroIsNoLink && r == 0);
            Outcomes[step.table] = r == step.absent ? TTableOutcome::Absent
                                   : lost           ? TTableOutcome::Failed
                                                    : TTableOutcome::Done;
        }
        if (i + 1 < steps) ui.Progress(++position, steps);
    }
    return result;
}

}  // namespace stanset
