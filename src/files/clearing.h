// Returning tables to their empty or factory state, in memory only.
#pragma once

#include <array>

#include "engine/main_class.h"

namespace stanset {

// The tables a ticked box may clear: those the exchange's model and firmware have.
std::array<bool, kTableCount> ClearableTables(const TMainClass& e);

// Clears, decodes and marks as changed every ticked table that is available.
void ClearTables(TMainClass& e, TDataStream& d, const std::array<bool, kTableCount>& ticked);

}  // namespace stanset
