// Group phone books: twenty numbers for each of the groups 10-29, each book in two blocks
// of ten (engine blocks 2g and 2g + 1).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;
struct TFileImage;

inline constexpr int kGroupBooks = 20;
inline constexpr int kGroupBookEntries = 20;
inline constexpr int kFirstBookGroup = 10;  // book g belongs to group g + 10

struct TGroupExternNum {
    std::uint16_t Count = kGroupBookEntries;
    std::array<std::string, 100> Numbers;  // entry i is labelled BookEntryCode(i)
};

int ReadGroupBooks(TMainClass& e);
int WriteGroupBooks(TMainClass& e);
// Count 20 in every book; entries a block does not reach are empty.
void DecodeGroupBooks(TMainClass& e, TDataStream& d);
// Entries 0-19 of every book; sets the changed flag.
void EncodeGroupBooks(TMainClass& e, const TDataStream& d);
void ClearGroupBooks(TMainClass& e);

// The editor's list: item of book g is the group number, two blanks, the group's name.
std::string GroupBookItem(int book, std::string_view groupName);
// The book of a list item (its first two characters are the group), or -1.
int GroupBookOfItem(std::string_view item);

namespace groupbooks {
void CopyToFileImage(const TMainClass& e, TFileImage& image);
// False, with the engine untouched, for a record cut short; records missing at the end
// come out empty, so a file without the section clears the table.
bool CopyFromFileImage(TMainClass& e, const TFileImage& image);
}  // namespace groupbooks

}  // namespace stanset
