#include "phonebooks/bw_books.h"

#include <algorithm>

#include "engine/main_class.h"

namespace stanset {

int ReadBWBook(TMainClass& e) { return e.Link.ReadTable(rows::BWBooks, e.BWBooks, 1); }

int WriteBWBook(TMainClass& e) { return e.Link.WriteTable(rows::BWBooks, e.BWBooks, 1); }

void DecodeBWBook(TMainClass&, TDataStream&) {}

}  // namespace stanset
