#include "tables/features/flash.h"

#include <algorithm>

#include "engine/main_class.h"

namespace stanset {

int ReadFlash(TMainClass& e) { return e.Link.ReadTable(rows::Flash, e.Flash, e.Identity.LineCount > 0 ? 1 : 0); }

int WriteFlash(TMainClass& e) { return e.Link.WriteTable(rows::Flash, e.Flash, e.Identity.LineCount > 0 ? 1 : 0); }

}  // namespace stanset
