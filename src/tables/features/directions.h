// Direction tables (таблицы наведения).
#pragma once

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

struct DirectionTables {};

int ReadDirectionTables(TMainClass& e);
int WriteDirectionTables(TMainClass& e);
void DecodeDirectionTables(TMainClass& e, TDataStream& d);

}  // namespace stanset
