#include "engine/clock.h"

#include <algorithm>
#include <ctime>

#include "engine/main_class.h"

namespace stanset {

std::array<std::uint8_t, 4> MakeClockPayload(const TDateTime& t, std::uint8_t timeUnit) {
    const std::uint32_t days = DateTimeToSeconds(kMonthDays, t.year, t.month, t.day, 0, 0, 0) / 86400u;
    const std::uint32_t unit = timeUnit ? timeUnit : 6;
    const auto units = std::min<std::uint32_t>(static_cast<std::uint32_t>(TimeToSeconds(t.hour, t.minute, t.second)) / unit, 0xFFFF);
    const auto day16 = std::min<std::uint32_t>(days, 0xFFFF);
    return {static_cast<std::uint8_t>(day16 & 0xFF), static_cast<std::uint8_t>(day16 >> 8),
            static_cast<std::uint8_t>(units & 0xFF), static_cast<std::uint8_t>(units >> 8)};
}

bool SetClock(TMainClass& engine, const TDateTime& t) {
    const auto payload = MakeClockPayload(t, engine.Identity.TimeUnit);
    if (engine.Link.CheckLink() < 0) return false;
    // Only the fresh key is wanted; an unreadable reply leaves the identity as it was.
    TIdentReply reply;
    if (engine.Link.Identify(reply.Buffer, reply.Length) == 1) {
        TStatusAndOptions fresh = engine.Identity;
        if (DecodeIdentification(reply, fresh, true)) {
            engine.Reply = reply;
            engine.Identity = fresh;
        }
    }
    return engine.Link.SendClock(payload);
}

TDateTime PcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::uint64_t PcClockSeconds() {
    const TDateTime t = PcNow();
    return DateTimeToSeconds(kMonthDays, t.year, t.month, t.day, t.hour, t.minute, t.second);
}

}  // namespace stanset
