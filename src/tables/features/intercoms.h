// Intercoms (домофоны).
#pragma once

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

struct TDf {};

int ReadIntercoms(TMainClass& e);
int WriteIntercoms(TMainClass& e);
void DecodeIntercoms(TMainClass& e, TDataStream& d);

}  // namespace stanset
