#include "tables/lines/groups.h"

#include <algorithm>

#include "engine/main_class.h"

namespace stanset {

int ReadGroups(TMainClass& e) { return e.Link.ReadTable(rows::Groups, e.Groups, 20); }

int WriteGroups(TMainClass& e) { return e.Link.WriteTable(rows::Groups, e.Groups, 20); }

void DecodeGroups(TMainClass&, TDataStream&) {}

}  // namespace stanset
