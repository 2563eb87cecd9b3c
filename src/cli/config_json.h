// The command-line tool's view of a configuration: table names, the decoded records as
// JSON, and the field-by-field differences between two such dumps.
#pragma once

#include <array>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/main_class.h"

namespace stanset {

struct TRWFileStatus;

namespace cli {

using TJson = nlohmann::ordered_json;
// Which tables take part, by table index.
using TSelection = std::array<bool, kTableCount>;

struct TCliTable {
    const char* name;
    TTableIndex index;
    bool TDataStream::*selected;
};

// The sixteen tables in panel order, with the names the tool takes and prints.
extern const std::array<TCliTable, kTableCount> kCliTables;

TSelection AllTables();
// "lines,trunks": the tables named; false with a reason for an unknown or empty name.
bool ParseTables(const std::string& list, TSelection& selection, std::string& error);
// The selection into the model's selection flags.
void ApplySelection(const TSelection& selection, TDataStream& data);

TJson IdentityJson(const TRWFileStatus& status);
// "identity", then one key per selected table with its decoded records; names come from
// the model's names list.
TJson DumpConfiguration(const TMainClass& engine, const TDataStream& data, const TRWFileStatus& status,
                        const TSelection& selection);

// One line per differing field, "lines 205 DirectCall: 1234 -> 1235"; empty when equal.
std::vector<std::string> DiffConfigurations(const TJson& before, const TJson& after);

}  // namespace cli
}  // namespace stanset
