// What the main window shows of the exchange, and which tables its firmware has.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace stanset {

struct TStatus {
    std::string Name;
    std::string VersionText;
    std::string Serial;
    std::string UnitsText;
    std::string BillingText;
    std::string Model;
    std::uint16_t STACount = 0;
    std::uint16_t DirectionCount = 0;
    std::uint16_t LineCount = 0;
    std::uint16_t TrunkCount = 0;
};

struct TTableVerRWFlags {
    std::array<std::uint8_t, 12> MonthDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool HasAllSys = true;
    bool HasLines = true;
    bool LinesFrom24_3 = false;
    bool From24_4 = false;
    bool AutoDialFrom24_3 = false;
    bool HasTrunks = true;
    bool HasQuickConf = false;
    bool HasGroups = true;
    bool GroupsFrom24_3 = false;
    bool HasBWBooks = false;
    bool HasTimeDefaults = false;
    bool HasTimeSettings = true;
    bool HasCommonBook = true;
    bool HasRedirects = true;
    bool HasProgNumbers = true;
    bool HasFlash = true;
    bool HasDirections = true;
    bool HasIntercoms = true;
    bool HasGroupBooks = true;
    bool HasGGS = true;
    bool HasSTAKeys = false;
};

// A version that cannot be parsed counts as new enough for every flag.
TTableVerRWFlags MakeTableVerRWFlags(const std::string& model, const std::string& version);

// "used из total. Cвободно free%"; ok is false when the fill cannot be computed (the
// free share is then shown as 0).
std::string BillingFillText(std::uint16_t used, std::uint16_t total, bool& ok);

}  // namespace stanset
