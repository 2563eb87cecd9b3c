// The billing buffer, the status shown in the main window, and the clock-drift check.
#pragma once

#include <cstdint>

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

// Always 1; an unreachable buffer is reported to the person and the image stays zero.
int ReadBillingBuffer(TMainClass& engine, TUserInteraction& ui);

// Live: also the billing counters and text and the exchange clock from the reply;
// clockCheck: also the drift question (which may open the clock window).
void DecodeStatus(TMainClass& engine, TDataStream& data, bool live, bool clockCheck, TUserInteraction& ui);

// The exchange clock of the last reply, in seconds since 1980-01-01.
std::uint64_t ExchangeClockSeconds(const TMainClass& engine);

// More than 475.2 seconds apart.
bool ClockDriftTooLarge(long long exchangeSeconds, long long pcSeconds);

}  // namespace stanset
