// Quick conferences: numbered lists of subscriber lines the exchange calls together.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;
struct TFileImage;

struct ConferenceRecord {
    std::int32_t MemberCount = 0;
    std::array<std::int32_t, 255> Member{};  // logical numbers of the member lines; 0 = empty
};

// The records are e.ConfParams[0] (at most 60); e.ConfParams[2] is the size of one member
// entry. Entries of any size but one byte are carried, never interpreted: such records
// decode to empty conferences and the encoder leaves their slots as they were read.

// The parameter block into e.ConfParams (zeroed first): 0, -1 no link, -5 time-out.
int ReadConferenceParams(TMainClass& e);
// 0, -1 no link, -2 no records, -5 time-out (all slots then clear).
int ReadConferences(TMainClass& e);
// 0, -1 no link, -2 no records, -5 a record refused (the records after it are not sent).
int WriteConferences(TMainClass& e);
// Records start empty; entries that name no line are skipped, the others keep their order.
void DecodeConferences(TMainClass& e, TDataStream& d);
// Every record is written present, p = m + 1; members that name no line are left out.
// Sets the changed flag.
void EncodeConferences(TMainClass& e, TDataStream& d);
void ClearConferences(TMainClass& e);

// The editor's member list of one conference: items whose first three characters are a
// line's number ("205 (1034)"). An index outside the records stores nothing.
void StoreConference(TDataStream& d, int index, std::span<const std::string> items);

namespace conferences {
void CopyToFileImage(const TMainClass& e, TFileImage& image);
bool CopyFromFileImage(TMainClass& e, const TFileImage& image);
}  // namespace conferences

}  // namespace stanset
