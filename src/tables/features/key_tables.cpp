#include "tables/features/key_tables.h"

#include <algorithm>

#include "engine/main_class.h"

namespace stanset {

int ReadKeyTables(TMainClass& e) { return e.Link.ReadTable(rows::STAKeys, e.STAKeys, e.Identity.STACount); }

int WriteKeyTables(TMainClass& e, TUserInteraction& ui) {
    if (e.Identity.STACount == 0) {
        ui.Message("Макс. кол-во СТА = 0 (1)", "");
        return 0;
    }
    return e.Link.WriteTable(rows::STAKeys, e.STAKeys, e.Identity.STACount);
}

void DecodeKeyTables(TMainClass&, TDataStream&) {}

}  // namespace stanset
