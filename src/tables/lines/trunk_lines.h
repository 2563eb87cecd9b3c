// Trunk lines (СЛ).
#pragma once

#include <cstdint>
#include <string>

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;
struct TFileImage;

// One trunk as the editors see it. Flags are 0/1; the default is the state a reset block
// decodes to.
struct TSL {
    std::uint8_t Dir01 = 0;
    std::uint8_t Dir02 = 0;
    std::uint8_t Dir03 = 0;
    std::uint8_t Dir04 = 0;
    std::uint8_t Dir05 = 0;
    std::uint8_t OutgoingCall = 0;
    std::uint8_t Dir9 = 0;
    std::uint8_t AutoOFFSL = 0;
    std::uint8_t FAX = 0;
    std::uint8_t TarINCall = 0;
    std::uint8_t ToneDial = 0;
    std::uint8_t ReplacementSignal = 0;
    std::uint8_t RetreatInCall = 0;
    std::uint8_t DISA = 0;
    std::uint8_t NotInterCityTar = 0;
    std::uint8_t OFFDISAForRetreatSignal = 0;
    std::uint8_t SignalToSLForDISA = 0;
    std::uint8_t ActivePauseAfter8 = 0;
    std::int32_t DayTable = -1;    // direction table number; -1 none
    std::int32_t NightTable = -1;
    std::int32_t MGDigit = 8;      // long-distance digit 0-9
    std::int32_t SLType = 1;       // 1-4
    std::string AutoDial;          // at most 8 of 0-9 * # P A T
    std::int32_t BlockedWith = -1; // directory number of the partner trunk; -1 none

    friend bool operator==(const TSL&, const TSL&) = default;
};

// 1 all read, -1 no link, -2 no trunks, -5 a trunk failed all its attempts (image zeroed).
int ReadTrunkLines(TMainClass& e);
// 1 all accepted (also when there are no trunks), -1 no link, -5 a trunk was refused.
int WriteTrunkLines(TMainClass& e);
void DecodeTrunkLines(TMainClass& e, TDataStream& d);
// Sets the trunk changed flag.
void EncodeTrunkLines(TMainClass& e, const TDataStream& d);
// Every slot to the default block.
void ResetTrunkLines(TMainClass& e);

namespace trunks {
void CopyToFileImage(const TMainClass& e, TFileImage& image);
// False, with the engine untouched, for a record cut short or too long for a slot. Records
// missing at the end (no section in the file at all) come out empty.
bool CopyFromFileImage(TMainClass& e, const TFileImage& image);
}  // namespace trunks

}  // namespace stanset
