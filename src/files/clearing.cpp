#include "files/clearing.h"

#include "engine/tables.h"

namespace stanset {

namespace {

struct TClearStep {
    TTableIndex table;
    bool TTableVerRWFlags::*available;
    void (*clear)(TMainClass&);
    void (*decode)(TMainClass&, TDataStream&);
};

// Program numbers go first: their decoder writes into the line records.
// clang-format off
const TClearStep kSteps[] = {
    {kTabProgNumbers,  &TTableVerRWFlags::HasProgNumbers,  ClearProgramNumbers,  DecodeProgramNumbers},
    {kTabLines,        &TTableVerRWFlags::HasLines,        ClearSubscriberLines, DecodeSubscriberLines},
    {kTabTrunks,       &TTableVerRWFlags::HasTrunks,       ResetTrunkLines,      DecodeTrunkLines},
    {kTabDirections,   &TTableVerRWFlags::HasDirections,   ClearDirectionTables, DecodeDirectionTables},
    {kTabGroups,       &TTableVerRWFlags::HasGroups,       ClearGroups,          DecodeGroups},
    {kTabGroupBooks,   &TTableVerRWFlags::HasGroupBooks,   ClearGroupBooks,      DecodeGroupBooks},
    {kTabGGS,          &TTableVerRWFlags::HasGGS,          ClearLoudspeakers,    DecodeLoudspeakers},
    {kTabIntercoms,    &TTableVerRWFlags::HasIntercoms,    ClearIntercoms,       DecodeIntercoms},
    {kTabSTAKeys,      &TTableVerRWFlags::HasSTAKeys,      ClearKeyTables,       DecodeKeyTables},
    {kTabFlash,        &TTableVerRWFlags::HasFlash,        ClearFlash,           nullptr},
    {kTabCommonBook,   &TTableVerRWFlags::HasCommonBook,   ClearCommonBook,      DecodeCommonBook},
    {kTabTimeSettings, &TTableVerRWFlags::HasTimeSettings, ResetTimeSettings,    DecodeTimeSettings},
    {kTabQuickConf,    &TTableVerRWFlags::HasQuickConf,    ClearConferences,     DecodeConferences},
    {kTabAllSys,       &TTableVerRWFlags::HasAllSys,       ClearSystemSettings,  DecodeSystemSettings},
    {kTabRedirects,    &TTableVerRWFlags::HasRedirects,    ClearRedirects,       DecodeRedirects},
    {kTabBWBooks,      &TTableVerRWFlags::HasBWBooks,      ClearBWBook,          DecodeBWBook},
};
// clang-format on

}  // namespace

std::array<bool, kTableCount> ClearableTables(const TMainClass& e) {
    const TTableVerRWFlags flags = MakeTableVerRWFlags(e.Identity.Model, e.Identity.Version);
    std::array<bool, kTableCount> out{};
    for (const TClearStep& s : kSteps) out[s.table] = flags.*s.available;
    return out;
}

void ClearTables(TMainClass& e, TDataStream& d, const std::array<bool, kTableCount>& ticked) {
    const auto available = ClearableTables(e);
    for (const TClearStep& s : kSteps) {
        if (!ticked[s.table] || !available[s.table]) continue;
        s.clear(e);
        if (s.decode) s.decode(e, d);
        e.Changed[s.table] = true;
    }
}

}  // namespace stanset
