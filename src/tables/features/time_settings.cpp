#include "tables/features/time_settings.h"

#include <algorithm>

#include "engine/main_class.h"

namespace stanset {

int ReadTimeDefaults(TMainClass& e) { return e.Link.ReadTable(rows::TimeDefaults, e.TimeDefaults, 1); }

void DecodeTimeDefaults(TMainClass&, TDataStream&) {}

int ReadTimeSettings(TMainClass& e) { return e.Link.ReadTable(rows::TimeSettings, e.TimeSettings, 1); }

// 1 sent, 0 no link.
int WriteTimeSettings(TMainClass& e) {
    const int r = e.Link.WriteTable(rows::TimeSettings, e.TimeSettings, 1);
    return r == kNoLink ? 0 : r < 0 ? r : 1;
}

void DecodeTimeSettings(TMainClass&, TDataStream&) {}

}  // namespace stanset
