// Trunk lines (СЛ).
#pragma once

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

struct TSL {};

int ReadTrunkLines(TMainClass& e);
int WriteTrunkLines(TMainClass& e);
void DecodeTrunkLines(TMainClass& e, TDataStream& d);

}  // namespace stanset
