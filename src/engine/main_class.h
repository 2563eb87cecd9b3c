// The engine: the port, the identity of the exchange, one raw image per table, and the
// two long operations, reading and writing all selected tables.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/data_stream.h"
#include "engine/ports.h"
#include "engine/user_interaction.h"
#include "link/comm_port.h"
#include "link/identification.h"
#include "link/link.h"
#include "link/status.h"

namespace stanset {

// Position of each table in the panels and the changed flags.
enum TTableIndex : int {
    kTabLines,
    kTabTrunks,
    kTabGroups,
    kTabDirections,
    kTabAllSys,
    kTabIntercoms,
    kTabGGS,
    kTabRedirects,
    kTabFlash,
    kTabCommonBook,
    kTabGroupBooks,
    kTabProgNumbers,
    kTabQuickConf,
    kTabSTAKeys,
    kTabTimeSettings,
    kTabBWBooks,
    kTableCount
};

// How a table fared in the last ReadAll or WriteAll.
enum class TTableOutcome : std::uint8_t {
    NotRun,  // not selected, not present on this exchange's firmware, or the operation stopped before it
    Done,
    Absent,  // the exchange has none of this table (no blocks to move)
    Failed,  // timed out, refused, or the link was lost
};

struct TEngineOptions {
    std::string workDir;  // empty: the current directory
    std::string device;   // a device path that overrides the options file's port
    TByteLine* line = nullptr;  // talk over this line instead of a serial port (tests, fuzzing)
};

class TMainClass {
public:
    TMainClass(TUserInteraction& ui, TEngineOptions options = {});
    ~TMainClass();
    TMainClass(const TMainClass&) = delete;
    TMainClass& operator=(const TMainClass&) = delete;

    void ResetState();
    // Closes the port at the end of the program; a refused close is reported.
    void Shutdown(TUserInteraction& ui);

    // 1 done, -1 no link (or a read that had to stop), -2 firmware older than 23,8.
    int ReadAll(TUserInteraction& ui, std::shared_ptr<TDataStream> data);
    // 1 all sent, -1 no link or a table reported a failure.
    int WriteAll(TUserInteraction& ui, std::shared_ptr<TDataStream> data);

    // Closes the port if open and opens it again on PortName (or the device override);
    // throws ECommError.
    void ReopenPort();
    const std::string& Device() const { return device_; }

    TStatusAndOptions Identity;
    std::shared_ptr<TTableVerRWFlags> VersionFlags;
    TCommPort Port;
    TLink Link;
    bool Identified = false;
    TIdentReply Reply;

    TRawImage TimeDefaults{1, 100};
    TCompositionImage Composition;
    TRawImage Billing{1, 100};
    std::array<std::uint8_t, 5> ConfParams{};
    std::array<TConferenceSlot, TQuickConfCommand::maxRecords> QuickConf{};
    TRawImage TimeSettings{1, 255};
    TRawImage AllSys{1, 100};
    TRawImage Intercoms{10, 64};
    TRawImage GGS{10, 64};
    TRawImage CommonBook{3, 255};
    TRawImage GroupBooks{40, 255};  // book b: blocks 2b and 2b + 1
    TRawImage Redirects{1, 500};
    TRawImage Lines{500, 128};
    TRawImage ProgNumbers{2, 255};
    TRawImage Flash{1, 500};
    TRawImage Directions{100, 255};
    TRawImage STAKeys{150, 255};
    TRawImage Groups{20, 255};
    TRawImage Trunks{200, 255};
    TRawImage BWBooks{1, 255};

    bool Ready = false;
    std::array<bool, kTableCount> Changed{};
    // Filled by ReadAll and WriteAll, by table index; callers that must not trust a table
    // the exchange did not deliver or accept (a backup, a verified write) look here.
    std::array<TTableOutcome, kTableCount> Outcomes{};

private:
    struct SavedIdentity {
        TIdentReply reply;
        TStatusAndOptions identity;
    };
    void StartUp(TUserInteraction& ui);
    void OpenPort(TUserInteraction& ui, const char* failureMessage);
    int ReadAllSteps(TUserInteraction& ui, TDataStream& data);
    int ReadComposition();
    void Restore(const SavedIdentity& saved, TDataStream& data);
    void ReadTables(TUserInteraction& ui, TDataStream& data);
    int WriteTables(TUserInteraction& ui, TDataStream& data);

    std::string device_;
};

}  // namespace stanset
