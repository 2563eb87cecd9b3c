// System-wide settings.
#pragma once

#include <cstdint>

#include "files/file_image.h"
#include "link/codecs.h"

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

struct TAllSys {
    // Bits 0-7 of the flag byte, in bit order; each 0 or 1.
    std::uint8_t UniformTrunkLoad = 0;
    std::uint8_t IncomingBilling = 0;
    std::uint8_t ToneDialling = 0;
    std::uint8_t NoLocalOutgoingBilling = 0;
    std::uint8_t NoPhoneProgramming = 0;
    std::uint8_t AutoEraseBilling = 0;
    std::uint8_t DisaTrunkSignal = 0;
    std::uint8_t ZeroTrunkPrefix = 0;
    TTimeOfDay DayModeStart;
    TTimeOfDay NightModeStart;
};

// The count, kNoLink (buffer and count untouched) or kTimeOut (all zero).
int ReadSystemSettings(TMainClass& e);
// 1 sent, 0 no link, kTimeOut.
int WriteSystemSettings(TMainClass& e);
// Bytes the block does not hold read as 0.
void DecodeSystemSettings(TMainClass& e, TDataStream& d);
// Count 5; sets the table's changed flag.
void EncodeSystemSettings(TMainClass& e, const TDataStream& d);
void ClearSystemSettings(TMainClass& e);

namespace allsys {
void CopyToFileImage(const TMainClass& e, TFileImage& image);
bool CopyFromFileImage(TMainClass& e, const TFileImage& image);
}  // namespace allsys

}  // namespace stanset
