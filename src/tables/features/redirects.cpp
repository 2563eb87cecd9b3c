#include "tables/features/redirects.h"

#include <algorithm>

#include "engine/main_class.h"

namespace stanset {

int ReadRedirects(TMainClass& e) { return e.Link.ReadTable(rows::Redirects, e.Redirects, e.Identity.LineCount > 0 ? 1 : 0); }

int WriteRedirects(TMainClass& e) { return e.Link.WriteTable(rows::Redirects, e.Redirects, e.Identity.LineCount > 0 ? 1 : 0); }

void DecodeRedirects(TMainClass&, TDataStream&) {}

}  // namespace stanset
