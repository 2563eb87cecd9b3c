// Shared value codecs.
#include "link/codecs.h"

#include <charconv>
#include <limits>
#include <optional>
#include <system_error>
#include <utility>

namespace stanset {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view s) {
    for (char c : s)
        if (!IsDigit(c)) return false;
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsKvt(std::string_view model) { return model.find("KVT") != std::string_view::npos; }
bool IsRd(std::string_view model) { return model.find("RD") != std::string_view::npos; }
bool IsRd16Or32(std::string_view model) { return model == "RD16" || model == "RD32"; }

// One version text as the decimal number of its digits with the minor part widened to two
// digits ("23,8" -> 2308); nothing when malformed.
std::optional<std::uint64_t> VersionNumber(std::string_view text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    const std::string_view major = text.substr(0, comma);
    const std::string_view minor = text.substr(comma + 1);
    if (major.empty() || (minor.size() != 1 && minor.size() != 2)) return std::nullopt;
    if (!AllDigits(major) || !AllDigits(minor)) return std::nullopt;
    std::string digits(major);
    if (minor.size() == 1) digits += '0';
    digits += minor;
    std::uint64_t value = 0;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || ptr != digits.data() + digits.size()) return std::nullopt;
    return value;
}

}  // namespace

EConvertError::EConvertError(const std::string& text)
    : std::runtime_error("'" + text + "' is not a valid integer value") {}

int StrToInt(std::string_view text) {
    std::string_view body = text;
    if (!body.empty() && (body.front() == '+' || body.front() == '-')) body.remove_prefix(1);
    if (body.empty() || !AllDigits(body)) throw EConvertError(std::string(text));
    // from_chars takes a leading '-' but not '+'.
    const char* first = text.data() + (text.front() == '+' ? 1 : 0);
    const char* last = text.data() + text.size();
    int value = 0;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last) throw EConvertError(std::string(text));
    return value;
}

// ---- packed digits ------------------------------------------------------------------

std::string BcdToText(std::span<const std::uint8_t> bytes, int mode) {
    if (mode != 0 && mode != 1) return {};
    std::string text;
    text.reserve(bytes.size() * 2);
    // Writing the hex text, removing every '0' and turning 'A' into '0' is, nibble by
    // nibble: drop 0x0, write 0xA as '0', every other nibble as its hex digit.
    auto put = [&text](unsigned nibble) {
        if (nibble == 0) return;
        text += nibble == 0xA ? '0' : kHexDigits[nibble];
    };
    const std::size_t n = bytes.size();
    for (std::size_t k = 0; k < n; ++k) {
        const std::uint8_t b = bytes[mode == 0 ? k : n - 1 - k];
        put(b >> 4);
        put(b & 0x0F);
    }
    return text;
}

std::size_t TextToBcd(std::string_view text, std::span<std::uint8_t> out, bool swap) {
    // Step 1 ('0' -> 'A') and the hex decoding, nibble by nibble; a refused text writes nothing.
    std::string nibbles;
    nibbles.reserve(text.size() + 1);
    for (char c : text) {
        const int v = c == '0' ? 0xA : HexValue(c);
        if (v < 0) return 0;
        nibbles += static_cast<char>(v);
    }
    if (nibbles.size() % 2 != 0) nibbles += '\0';  // step 2: the filler nibble
    std::size_t count = nibbles.size() / 2;
    if (count > out.size()) count = out.size();  // write what fits
    for (std::size_t k = 0; k < count; ++k) {
        unsigned high = static_cast<unsigned char>(nibbles[2 * k]);
        unsigned low = static_cast<unsigned char>(nibbles[2 * k + 1]);
        if (swap) std::swap(high, low);
        out[k] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return count;
}

std::string WordToHex(std::uint8_t a, std::uint8_t b) {
    return {kHexDigits[b >> 4], kHexDigits[b & 0x0F], kHexDigits[a >> 4], kHexDigits[a & 0x0F]};
}

// ---- firmware versions ----------------------------------------------------------------

int CompareVersions(std::string_view first, std::string_view second) {
    const auto a = VersionNumber(first);
    const auto b = VersionNumber(second);
    if (!b) return -2;
    if (!a) return -1;
    if (*a > *b) return 2;
    if (*a == *b) return 1;
    return 0;
}

// ---- exchange time ----------------------------------------------------------------------

TDateTime SecondsToDateTime(const TMonthTable& months, std::uint64_t seconds) {
    TDateTime dt;
    const std::uint64_t ofDay = seconds % 86400;
    dt.second = static_cast<int>(ofDay % 60);
    dt.minute = static_cast<int>(ofDay / 60 % 60);
    dt.hour = static_cast<int>(ofDay / 3600 % 24);

    const std::uint64_t days = seconds / 86400;
    std::uint64_t a = days % 1461;
    std::uint64_t year = 4 * (days / 1461);
    bool leap = true;
    if (a >= 366) {
        year += (a - 366) / 365 + 1;
        a = (a - 366) % 365;
        leap = false;
    }
    dt.year = static_cast<int>(year + 1980);

    dt.month = 0;
    dt.day = 0;
    for (std::size_t i = 0; i < months.size(); ++i) {
        const std::uint64_t len = months[i] + ((i == 1 && leap) ? 1u : 0u);
        if (a < len) {
            dt.month = static_cast<int>(i + 1);
            dt.day = static_cast<int>(a + 1);
            break;
        }
        a -= len;
    }
    return dt;
}

std::uint32_t DateTimeToSeconds(const TMonthTable& months, int year, int month, int day,
                                int hour, int minute, int second) {
    // 64-bit throughout, then the exchange's unsigned 32-bit count (modulo 2^32).
    const std::int64_t y = year;
    std::int64_t d = 365 * y + (y - 1977) / 4 - 722700;
    for (int i = 0; i < month - 1 && i < static_cast<int>(months.size()); ++i) d += months[i];
    if (y % 4 == 0 && month > 2) d += 1;
    d += static_cast<std::int64_t>(day) - 1;
    const std::int64_t s = d * 86400 + static_cast<std::int64_t>(hour) * 3600 +
                           static_cast<std::int64_t>(minute) * 60 + second;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(s));
}

TTimeOfDay SecondsToTime(std::uint64_t seconds) {
    const std::uint64_t s = seconds % 86400;
    return {static_cast<int>(s / 3600), static_cast<int>(s / 60 % 60), static_cast<int>(s % 60)};
}

std::int64_t TimeToSeconds(int hour, int minute, int second) {
    return static_cast<std::int64_t>(hour) * 3600 + static_cast<std::int64_t>(minute) * 60 +
           second;
}

// ---- numbering plans ----------------------------------------------------------------------
// Integer division and remainder truncate toward zero, as C++ does.

namespace {
// Numbers typed by hand reach these plans; far outside every plan they would overflow.
int Planned(std::int64_t v) {
    return v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max() ? -1 : static_cast<int>(v);
}
}  // namespace

int LineIndexToNumber(std::string_view model, int index) {
    const std::int64_t i = index;
    if (IsKvt(model)) return Planned(200 + i);
    if (IsRd(model)) return Planned(200 + 10 * (i / 8) + i % 8);
    return -1;
}

int NumberToLineIndex(std::string_view number, std::string_view model) {
    const std::int64_t n = StrToInt(number);
    if (IsKvt(model)) return Planned(n - 199);
    if (IsRd16Or32(model)) return Planned(8 * ((n - 200) / 10) + (n - 200) % 10 + 1);
    return -1;
}

int TrunkIndexToNumber(std::string_view model, int index) {
    const std::int64_t i = index;
    if (IsKvt(model)) return Planned(200 + 2 * i);
    if (IsRd(model)) return Planned(200 + 10 * (i / 2) + 2 * (i % 2));
    return -1;
}

int NumberToTrunkIndex(std::string_view number, std::string_view model) {
    const std::int64_t n = StrToInt(number);
    if (IsKvt(model)) return Planned((n - 200) / 2);
    if (IsRd16Or32(model)) {
        const std::int64_t t = (n - 200) / 10;
        const std::int64_t u = (n - 200) % 10;
        return Planned(2 * t + (8 * t + u) % 2 + (n % 10 != 0 ? 1 : 0));
    }
    return -1;
}

int STAIndexToNumber(int index, std::string_view model) {
    const std::int64_t i = index;
    if (IsKvt(model)) return Planned(204 + 10 * ((i - 1) / 3) + 2 * ((i - 1) % 3));
    if (IsRd16Or32(model)) return Planned(200 + 10 * ((i - 1) / 4) + 2 * ((i - 1) % 4));
    return -1;
}

int GetLogSTA(std::string_view model, int number) {
    const std::int64_t d = static_cast<std::int64_t>(number) - 200;
    if (IsKvt(model)) return Planned((d - 4 * (d / 10) - 4) / 2);
    if (IsRd16Or32(model)) return Planned((d % 10) / 2 + 4 * (d / 10));
    return -1;
}

// ---- system-phone keys ------------------------------------------------------------------

void StrToWord1(std::string_view text, std::uint8_t& value, std::uint8_t& kind) {
    std::string t;
    t.reserve(text.size());
    for (char c : text)
        if (c != ' ') t += c;
    const std::size_t len = t.size();
    if (len == 0) return;

    // d(k): decimal value of the k-th character (first = 1); nib(k): d(k), or 0xA for 0.
    auto d = [&t](std::size_t k) -> unsigned {
        const char c = t[k - 1];
        if (!IsDigit(c)) throw EConvertError(std::string(1, c));
        return static_cast<unsigned>(c - '0');
    };
    auto nib = [&d](std::size_t k) -> unsigned {
        const unsigned v = d(k);
        return v == 0 ? 0xA : v;
    };
    // Both bytes are computed before either output is written.
    auto set = [&value, &kind](unsigned v, unsigned k) {
        value = static_cast<std::uint8_t>(v);
        kind = static_cast<std::uint8_t>(k);
    };

    const char first = t[0];
    if (first == 'C' && len == 5) return set(nib(5), 0x8F);
    if (first == 'S') {
        if (len == 4 && (t[3] == '0' || t[3] == '2')) return set(nib(3) * 16 + nib(4), 0xAA);
        if (len == 5 && t[2] == '2') return set(nib(4) * 16 + nib(5), 0xAB);
        if (len == 5 && t[2] == '3') return set(nib(4) * 16 + nib(5), 0xAC);
        return;
    }
    switch (first) {
        case '0':
            if (len == 2) return set(0xA0 + d(2), 0x00);
            if (len == 3) return set(nib(2) * 16 + nib(3), 0x0A);
            return;
        case '1':
            if (len == 2) return set(0x10 + d(2), 0x00);
            if (len == 3) return set(nib(2) * 16 + nib(3), 0x01);
            if (len == 4) {
                const unsigned v = nib(3) * 16 + nib(4);
                return set(v, 0x10 + nib(2));
            }
            return;
        case '2':
            if (len == 3) return set(nib(2) * 16 + nib(3), 0x02);
            return;
        case '3':
            if (len == 3) return set(nib(2) * 16 + nib(3), 0x03);
            return;
        case '5':
            if (len == 2) return set(0x55, 0x00);
            if (len == 3) return set(nib(2) * 16 + nib(3), 0x05);
            return;
        case '7':
            if (len == 3) return set(d(2) * 16 + nib(3), 0x07);
            return;
        case '9':
            if (len == 1) return set(9, 0x00);
            return;
        default:
            return;
    }
}

}  // namespace stanset
