#include "phonebooks/common_book.h"

#include <algorithm>

#include "engine/main_class.h"

namespace stanset {

int ReadCommonBook(TMainClass& e) { return e.Link.ReadTable(rows::CommonBook, e.CommonBook, 3); }

int WriteCommonBook(TMainClass& e) { return e.Link.WriteTable(rows::CommonBook, e.CommonBook, 3); }

void DecodeCommonBook(TMainClass&, TDataStream&) {}

}  // namespace stanset
