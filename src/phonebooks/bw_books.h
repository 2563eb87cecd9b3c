// The black and white book: five white sections and the black book, ten numbers each,
// in one block (firmware 24,4 and later).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;
struct TFileImage;

inline constexpr int kBWSections = 6;  // white sections 1-5, then the black book
inline constexpr int kBWSectionEntries = 10;
inline constexpr int kBWEntries = kBWSections * kBWSectionEntries;
inline constexpr std::size_t kBWNumberLength = 8;
inline constexpr std::size_t kBWEntryBytes = 4;

struct TDSBW_ExtNum {
    std::array<std::string, 100> Numbers;  // entry 10 s + j: number j of section s
    std::int32_t Count = kBWEntries;
};

int ReadBWBook(TMainClass& e);
int WriteBWBook(TMainClass& e);
// Count 60; entries past the 60th are ignored.
void DecodeBWBook(TMainClass& e, TDataStream& d);
// Entries 0-59; sets the changed flag.
void EncodeBWBook(TMainClass& e, const TDataStream& d);
void ClearBWBook(TMainClass& e);

namespace bwbooks {
void CopyToFileImage(const TMainClass& e, TFileImage& image);
// False, with the engine untouched, for a record cut short; records missing at the end
// come out empty, so a file without the section clears the table.
bool CopyFromFileImage(TMainClass& e, const TFileImage& image);
}  // namespace bwbooks

}  // namespace stanset
