#include "phonebooks/group_books.h"

#include <algorithm>

#include "engine/main_class.h"

namespace stanset {

int ReadGroupBooks(TMainClass& e) { return e.Link.ReadTable(rows::GroupBooks, e.GroupBooks, 40); }

int WriteGroupBooks(TMainClass& e) { return e.Link.WriteTable(rows::GroupBooks, e.GroupBooks, 40); }

void DecodeGroupBooks(TMainClass&, TDataStream&) {}

}  // namespace stanset
