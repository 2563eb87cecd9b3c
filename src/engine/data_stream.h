// The decoded, editable configuration of one exchange.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/ports.h"
#include "files/names_list.h"
#include "link/status.h"
#include "phonebooks/bw_books.h"
#include "phonebooks/common_book.h"
#include "phonebooks/group_books.h"
#include "tables/features/all_sys.h"
#include "tables/features/conferences.h"
#include "tables/features/directions.h"
#include "tables/features/intercoms.h"
#include "tables/features/key_tables.h"
#include "tables/features/loudspeakers.h"
#include "tables/features/redirects.h"
#include "tables/features/time_settings.h"
#include "tables/lines/groups.h"
#include "tables/lines/subscriber_lines.h"
#include "tables/lines/trunk_lines.h"

namespace stanset {

struct TExchangeClock {
    std::int32_t Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

struct TDataStream {
    // Without a working folder the names stay in memory.
    explicit TDataStream(const std::string& workDir = {})
        : CommonBook(std::make_unique<TGlobalExtNum>()),
          NamesList(workDir.empty() ? std::make_shared<TNamesList>(TNamesList::TMemoryOnly{})
                                    : std::make_shared<TNamesList>(workDir)) {
        Ports.reserve(150);
    }

    TStatus Status;

    // Which tables take part in the next read, write, save or load.
    bool SelTimeSettings = true;
    bool SelAllSys = true;
    bool SelCommonBook = true;
    bool SelRedirects = true;
    bool SelProgNumbers = true;
    bool SelFlash = true;
    bool SelDirections = true;
    bool SelTrunks = true;
    bool SelLines = true;
    bool SelGroups = true;
    bool SelIntercoms = true;
    bool SelGroupBooks = true;
    bool SelGGS = true;
    bool SelSTAKeys = true;
    bool SelQuickConf = true;
    bool SelBWBooks = true;

    TExchangeClock Clock;
    std::uint16_t BillingTotal = 0;
    std::uint16_t BillingUsed = 0;

    TAllSys AllSys;
    TTimeSettings TimeSettings;
    std::array<TSTAButtonTable, 45> STAButtons;
    std::array<TATSConfig, 50> Composition;
    std::int32_t CompositionCount = 0;
    bool CompositionTrimmed = false;  // the KVT700's last two entries are already left out
    std::array<TDf, 64> Intercoms;
    std::uint16_t IntercomCount = 0;
    std::array<TGGS, 64> GGS;
    std::uint16_t GGSCount = 0;
    std::unique_ptr<TGlobalExtNum> CommonBook;
    std::array<TGroupExternNum, 20> GroupBooks;
    std::array<TGroup, 60> Groups;
    std::array<TAL, 500> Lines;
    std::array<TSL, 200> Trunks;
    std::array<RedirectEntry, 500> Redirects;
    std::uint16_t RedirectCount = 0;
    DirectionTables Directions;
    std::array<ConferenceRecord, 60> Conferences;
    TDSBW_ExtNum BWBook;

    TPortPtr CurrentPort;
    std::vector<TPortPtr> Ports;
    std::shared_ptr<TNamesList> NamesList;
};

}  // namespace stanset
