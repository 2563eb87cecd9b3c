#include "tables/features/loudspeakers.h"

#include <algorithm>

#include "engine/main_class.h"

namespace stanset {

int ReadLoudspeakers(TMainClass& e) { return e.Link.ReadTable(rows::GGS, e.GGS, e.Identity.GGSBlocks); }

int WriteLoudspeakers(TMainClass& e) { return e.Link.WriteTable(rows::GGS, e.GGS, e.Identity.GGSBlocks); }

void DecodeLoudspeakers(TMainClass&, TDataStream&) {}

}  // namespace stanset
