#include "tables/lines/subscriber_lines.h"

#include <algorithm>

#include "engine/main_class.h"

namespace stanset {

int ReadSubscriberLines(TMainClass& e) { return e.Link.ReadTable(rows::Lines, e.Lines, e.Identity.LineCount); }

int WriteSubscriberLines(TMainClass& e) { return e.Link.WriteTable(rows::Lines, e.Lines, e.Identity.LineCount); }

void DecodeSubscriberLines(TMainClass&, TDataStream&) {}

}  // namespace stanset
