// Shared value codecs: packed digits, firmware versions, the exchange's date
// and time counting, the numbering plans of the model families and the text code of a
// system-phone key. Everything here is pure: no state, no I/O, no exit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "bytes.h"  // ClearBit, SetBit, TestBit, MakeWord, SplitWord, Sum8, XorBytes

namespace stanset {

// The conversion error of the plain decimal string-to-integer conversion: a text that is
// empty, holds a character that is not a decimal digit, or does not fit an int.
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const std::string& text);
};

// Plain decimal string-to-integer conversion: an optional '+' or '-', then one or more
// decimal digits, nothing else (no blanks). Throws EConvertError otherwise, and when the
// number does not fit an int.
int StrToInt(std::string_view text);

// ---- packed digits ------------------------------------------------------------------

// Bytes to text. Mode 0: the bytes first to last, mode 1: last to first, each as two
// upper-case hex digits, high nibble first; then every '0' (filler nibble) is removed and
// every 'A' becomes '0'. Any other mode gives the empty text.
std::string BcdToText(std::span<const std::uint8_t> bytes, int mode);
inline std::string BcdToText(const std::uint8_t* bytes, std::size_t count, int mode) {
    return BcdToText(std::span<const std::uint8_t>(bytes, bytes ? count : 0), mode);
}

// Text to bytes: every '0' becomes 'A', an odd length gets a filler '0', then the text is
// decoded as hex (upper or lower case), two characters a byte, high nibble first; with
// swap the two nibbles of every written byte are exchanged. Returns the count written.
//  - Never writes beyond `out`: when out is too small, only the first out.size() bytes
//    are written (what fits) and that count is returned.
//  - A text holding any character that is not a hex digit (after the '0' -> 'A' step) is
//    refused as a whole: nothing is written and 0 is returned. (A refused text then looks
//    like the empty text to the caller, which keeps the zero-terminated and
//    nibble-terminated layouts of the phone books intact; a filler or zero byte made of a
//    stray character would end an entry early.)
std::size_t TextToBcd(std::string_view text, std::span<std::uint8_t> out, bool swap);

// Four upper-case hex digits: b's two digits, then a's (WordToHex(0x34, 0x12) = "1234").
std::string WordToHex(std::uint8_t a, std::uint8_t b);

// ---- firmware versions ----------------------------------------------------------------

// Versions are "major,minor" with one or two minor digits ("23,8" counts as "23,08").
// Returns 2 if first is newer, 1 if equal, 0 if older; -1 if first is malformed, -2 if
// second is malformed (-2 wins when both are). Malformed: no comma, not one or two
// characters after the (first) comma, an empty major number, any character other than a
// decimal digit besides the comma, or a number too large for 64 bits.
int CompareVersions(std::string_view first, std::string_view second);

// ---- exchange time ----------------------------------------------------------------------

// Month-length table the date functions take; February gains a day in a leap year.
using TMonthTable = std::array<std::uint8_t, 12>;
inline constexpr TMonthTable kMonthDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

struct TDateTime {
    int year = 1980;
    int month = 1;  // 1-12
    int day = 1;    // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
    friend bool operator==(const TDateTime&, const TDateTime&) = default;
};

struct TTimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
    // No milliseconds: the exchange counts whole seconds.
    friend bool operator==(const TTimeOfDay&, const TTimeOfDay&) = default;
};

// Seconds since 1980-01-01 00:00:00 to a date and time; every year divisible by 4 is a
// leap year. When a custom table's months do not cover the day of the year, month and
// day are 0 (kMonthDays always covers it).
TDateTime SecondsToDateTime(const TMonthTable& months, std::uint64_t seconds);
inline TDateTime SecondsToDateTime(std::uint64_t seconds) {
    return SecondsToDateTime(kMonthDays, seconds);
}

// Date and time to seconds since 1980-01-01, as unsigned 32-bit (the exchange's arithmetic):
// a moment outside 1980-01-01 00:00:00 .. 2116-02-06 06:28:15 wraps modulo 2^32.
// Month indices beyond the table's twelve add nothing.
std::uint32_t DateTimeToSeconds(const TMonthTable& months, int year, int month, int day,
                                int hour, int minute, int second);
inline std::uint32_t DateTimeToSeconds(const TDateTime& dt,
                                       const TMonthTable& months = kMonthDays) {
    return DateTimeToSeconds(months, dt.year, dt.month, dt.day, dt.hour, dt.minute,
                             dt.second);
}

// seconds mod 86400 split into hours, minutes, seconds.
TTimeOfDay SecondsToTime(std::uint64_t seconds);
// hour * 3600 + minute * 60 + second (64-bit: no overflow for any int arguments).
std::int64_t TimeToSeconds(int hour, int minute, int second);

// ---- numbering plans ----------------------------------------------------------------------
// Models are tested by substring: "KVT" (both KVT models), "RD" (RD16, RD32, RD900), or
// the full names "RD16" / "RD32". Number texts go through StrToInt (EConvertError). A
// result that would not fit an int is -1 too.

// 0-based line index -> directory number; -1 for a model of neither family.
int LineIndexToNumber(std::string_view model, int index);
// Directory number text -> 1-based line number; -1 for any model but KVT, RD16, RD32.
int NumberToLineIndex(std::string_view number, std::string_view model);
// 0-based trunk index -> directory number; -1 for a model of neither family.
int TrunkIndexToNumber(std::string_view model, int index);
// Directory number text -> 0-based trunk index; -1 for any model but KVT, RD16, RD32.
int NumberToTrunkIndex(std::string_view number, std::string_view model);
// 1-based system-phone index -> number; -1 for any model but KVT, RD16, RD32.
int STAIndexToNumber(int index, std::string_view model);
// System-phone number -> 0-based index; -1 for any model but KVT, RD16, RD32, so that
// a key table of an unknown model counts as not attached instead of ending the program.
int GetLogSTA(std::string_view model, int number);

// ---- system-phone keys ------------------------------------------------------------------

// The text of one system-phone key to its value and kind bytes (the table of
// shapes; blanks are removed first). A text of no recognised shape leaves both outputs
// untouched. Throws EConvertError where the table reads a digit and finds none; the
// outputs are then untouched too.
void StrToWord1(std::string_view text, std::uint8_t& value, std::uint8_t& kind);

}  // namespace stanset
