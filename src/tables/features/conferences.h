// Quick conferences.
#pragma once

#include <array>
#include <cstdint>

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

struct ConferenceRecord {
    std::int32_t MemberCount = 0;
    std::array<std::int32_t, 255> Member{};  // logical numbers of the member lines; 0 = empty
};

int ReadConferences(TMainClass& e);
int WriteConferences(TMainClass& e);
void DecodeConferences(TMainClass& e, TDataStream& d);

}  // namespace stanset
