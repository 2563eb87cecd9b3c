#include "tables/lines/trunk_lines.h"

#include <algorithm>

#include "engine/main_class.h"

namespace stanset {

int ReadTrunkLines(TMainClass& e) { return e.Link.ReadTable(rows::Trunks, e.Trunks, e.Identity.TrunkCount); }

int WriteTrunkLines(TMainClass& e) { return e.Link.WriteTable(rows::Trunks, e.Trunks, e.Identity.TrunkCount); }

void DecodeTrunkLines(TMainClass&, TDataStream&) {}

}  // namespace stanset
