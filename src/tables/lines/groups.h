// Groups of subscriber lines.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;
struct TFileImage;

namespace groups {
// Groups 10-29 live in records and slots 0-19.
constexpr int kSlots = 20;
constexpr int kFirstNumber = 10;
}  // namespace groups

// One group as the editors see it; the default is an empty group.
struct TGroup {
    std::array<std::uint8_t, 25> Trigger{};   // 0/1, numbered as a line's triggers
    std::uint8_t Priority = 0;
    std::uint8_t GGSNumber = 0;
    std::string DirectCall;                   // digits; empty = none
    std::array<std::int32_t, 5> CallString{}; // line directory numbers; 0 = empty place
    std::uint8_t CallStringCount = 0;
    std::uint8_t DayTable = 0;                // direction table of a group call; 0 = none
    std::uint8_t NightTable = 0;
    std::array<std::uint16_t, 5> Intercept{}; // group numbers 10-29; 0 = empty place
    std::uint16_t InterceptCount = 0;
    std::array<std::uint8_t, 200> SLOff{};    // closed trunks by trunk index

    friend bool operator==(const TGroup&, const TGroup&) = default;
};

// 1 all read, -1 no link, -5 a group failed all its attempts (the slots emptied).
int ReadGroups(TMainClass& e);
// 1 all accepted, -1 no link, -5 a group was refused.
int WriteGroups(TMainClass& e);
void DecodeGroups(TMainClass& e, TDataStream& d);
// Sets the group changed flag.
void EncodeGroups(TMainClass& e, const TDataStream& d);
// Every slot empty: count 0, zero bytes.
void ClearGroups(TMainClass& e);

namespace groups {
void CopyToFileImage(const TMainClass& e, TFileImage& image);
// False, with the engine untouched, for a record cut short or too long for a slot. Records
// missing at the end (no section in the file at all) come out empty.
bool CopyFromFileImage(TMainClass& e, const TFileImage& image);
}  // namespace groups

}  // namespace stanset
