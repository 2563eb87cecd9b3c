// The common phone book: thirty numbers shared by all lines, in three blocks of ten.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;
struct TFileImage;

inline constexpr int kCommonBookEntries = 30;
inline constexpr int kCommonBookBlocks = 3;

struct TGlobalExtNum {
    std::uint16_t Count = kCommonBookEntries;
    std::array<std::string, 100> Numbers;  // entry i is labelled BookEntryCode(i)
};

int ReadCommonBook(TMainClass& e);
int WriteCommonBook(TMainClass& e);
// Count 30; entries a block does not reach are empty.
void DecodeCommonBook(TMainClass& e, TDataStream& d);
// Entries 0 .. Count-1 (at most 30) into their blocks; sets the changed flag.
void EncodeCommonBook(TMainClass& e, const TDataStream& d);
void ClearCommonBook(TMainClass& e);

namespace commonbook {
void CopyToFileImage(const TMainClass& e, TFileImage& image);
// False, with the engine untouched, for a record cut short; records missing at the end
// come out empty, so a file without the section clears the table.
bool CopyFromFileImage(TMainClass& e, const TFileImage& image);
}  // namespace commonbook

}  // namespace stanset
