#include "tables/features/directions.h"

#include <algorithm>

#include "engine/main_class.h"

namespace stanset {

int ReadDirectionTables(TMainClass& e) { return e.Link.ReadTable(rows::Directions, e.Directions, e.Identity.DirectionCount); }

int WriteDirectionTables(TMainClass& e) { return e.Link.WriteTable(rows::Directions, e.Directions, e.Identity.DirectionCount); }

void DecodeDirectionTables(TMainClass&, TDataStream&) {}

}  // namespace stanset
