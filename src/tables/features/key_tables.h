// System-phone (СТА) key tables.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

struct TSTAButtonTable {
    std::array<std::string, 255> KeyText;  // as the user writes them; "" = empty key
    std::uint16_t KeyCount = 0;
    std::int32_t ConsoleBinding = -1;      // system phone this table serves as a console
};

int ReadKeyTables(TMainClass& e);
int WriteKeyTables(TMainClass& e, TUserInteraction& ui);
void DecodeKeyTables(TMainClass& e, TDataStream& d);

}  // namespace stanset
