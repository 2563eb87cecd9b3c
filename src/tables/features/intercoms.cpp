#include "tables/features/intercoms.h"

#include <algorithm>

#include "engine/main_class.h"

namespace stanset {

int ReadIntercoms(TMainClass& e) { return e.Link.ReadTable(rows::Intercoms, e.Intercoms, e.Identity.IntercomBlocks); }

int WriteIntercoms(TMainClass& e) { return e.Link.WriteTable(rows::Intercoms, e.Intercoms, e.Identity.IntercomBlocks); }

void DecodeIntercoms(TMainClass&, TDataStream&) {}

}  // namespace stanset
