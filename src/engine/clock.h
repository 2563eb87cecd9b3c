// Setting the exchange clock.
#pragma once

#include <array>
#include <cstdint>

#include "link/codecs.h"

namespace stanset {

class TMainClass;

// Day count since 1980 and the time of day in time units, low bytes first. A time of day
// that does not fit 16 bits (a very small time unit) is clamped, never wrapped.
std::array<std::uint8_t, 4> MakeClockPayload(const TDateTime& t, std::uint8_t timeUnit);

// False when the link check fails or the exchange never acknowledges.
bool SetClock(TMainClass& engine, const TDateTime& t);

// The PC's local clock.
TDateTime PcNow();
std::uint64_t PcClockSeconds();

}  // namespace stanset
