// Time settings with their defaults and steps.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "files/file_image.h"

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

constexpr int kTimeParameters = 26;  // T10 .. T35

// Parameter k is "T" + (10 + k).
struct TTimeParameter {
    const char* Label;
    const char* Description;
    std::uint16_t FactoryEighths;  // the factory value in 1/8 s
};

extern const std::array<TTimeParameter, kTimeParameters> kTimeParameterTable;

struct TTimeSettings {
    std::array<std::uint16_t, kTimeParameters> DefaultSteps{};  // the default as a number of steps
    std::array<float, kTimeParameters> Step{};                  // seconds
    std::array<float, kTimeParameters> Value{};                 // seconds
};

// Whether the editor offers parameter k on this engine's model and firmware.
bool TimeParameterShown(const TMainClass& e, int k);

// The count, kNoLink (the previous block stays) or kTimeOut.
int ReadTimeDefaults(TMainClass& e);
// The same; a failed link check is also told to the person.
int ReadTimeDefaults(TMainClass& e, TUserInteraction& ui);
// Parameters the block does not reach keep their step and default.
void DecodeTimeDefaults(TMainClass& e, TDataStream& d);

// The count, made even; kNoLink (buffer and count untouched) or kTimeOut (all zero).
int ReadTimeSettings(TMainClass& e);
// 1 sent, 0 no link, kTimeOut.
int WriteTimeSettings(TMainClass& e);
// Parameters the exchange does not have, or the block does not hold, decode as 0 s.
void DecodeTimeSettings(TMainClass& e, TDataStream& d);
// 48, 50 or 52 bytes by model and firmware; values in 1/8 s truncated, above 8191.875 s
// clamped; sets the table's changed flag.
void EncodeTimeSettings(TMainClass& e, const TDataStream& d);
// The factory values of all 26 parameters, count 52.
void ResetTimeSettings(TMainClass& e);

namespace timesettings {
void CopyToFileImage(const TMainClass& e, TFileImage& image);
bool CopyFromFileImage(TMainClass& e, const TFileImage& image);

// The defaults block travels in the file header instead of a section.
std::span<const std::uint8_t> DefaultsForHeader(const TMainClass& e);
// False, with the engine untouched, for a block longer than the engine's buffer.
bool CopyDefaultsFromHeader(TMainClass& e, std::span<const std::uint8_t> bytes);
}  // namespace timesettings

}  // namespace stanset
