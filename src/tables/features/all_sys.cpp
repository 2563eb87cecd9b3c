#include "tables/features/all_sys.h"

#include <algorithm>

#include "engine/main_class.h"

namespace stanset {

int ReadSystemSettings(TMainClass& e) { return e.Link.ReadTable(rows::AllSys, e.AllSys, 1); }

// 1 sent, 0 no link.
int WriteSystemSettings(TMainClass& e) {
    const int r = e.Link.WriteTable(rows::AllSys, e.AllSys, 1);
    return r == kNoLink ? 0 : r < 0 ? r : 1;
}

void DecodeSystemSettings(TMainClass&, TDataStream&) {}

}  // namespace stanset
