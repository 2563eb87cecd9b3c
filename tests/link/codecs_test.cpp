// Shared value codecs: worked examples and edge cases, table-driven.
#include "link/codecs.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace stanset {
namespace {

using Bytes = std::vector<std::uint8_t>;

// ---- packed digits ------------------------------------------------------------------

TEST(CodecsBcd, BcdToText) {
    struct Case { Bytes bytes; int mode; std::string text; };
    const Case cases[] = {
        {{0x2A, 0x51}, 0, "2051"},
        {{0x70}, 0, "7"},           // filler nibble dropped
        {{0x00, 0x00}, 0, ""},
        {{0xAA}, 0, "00"},
        {{0x2A, 0x51}, 1, "5120"},  // last byte first
        {{0x2A, 0x51}, 2, ""},      // unknown mode
        {{0x2A, 0x51}, -1, ""},
        {{0xBC, 0xDE, 0xF1}, 0, "BCDEF1"},
        {{0x01, 0x20}, 0, "12"},
        {{}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(BcdToText(c.bytes, c.mode), c.text);
        EXPECT_EQ(BcdToText(c.bytes.data(), c.bytes.size(), c.mode), c.text);
    }
}

TEST(CodecsBcd, TextToBcd) {
    struct Case { std::string text; bool swap; Bytes bytes; };
    const Case cases[] = {
        {"205", false, {0x2A, 0x50}},
        {"205", true, {0xA2, 0x05}},
        {"", false, {}},
        {"0", false, {0xA0}},
        {"1234", false, {0x12, 0x34}},
        {"1234", true, {0x21, 0x43}},
        {"bcdef", false, {0xBC, 0xDE, 0xF0}},  // lower-case hex is hex
        {"BCDEF", false, {0xBC, 0xDE, 0xF0}},
        {"12-4", false, {}},  // a non-hex character refuses the whole text
        {"12 4", false, {}},
        {"+7", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text + (c.swap ? " swap" : ""));
        std::array<std::uint8_t, 8> out;
        out.fill(0xEE);
        ASSERT_EQ(TextToBcd(c.text, out, c.swap), c.bytes.size());
        for (std::size_t k = 0; k < out.size(); ++k)
            EXPECT_EQ(out[k], k < c.bytes.size() ? c.bytes[k] : 0xEE) << "byte " << k;
    }
}

TEST(CodecsBcd, TextToBcdWritesOnlyWhatFits) {
    std::array<std::uint8_t, 3> buf{0xEE, 0xEE, 0xEE};
    EXPECT_EQ(TextToBcd("1234567", std::span(buf).first(2), false), 2u);
    EXPECT_EQ(buf, (std::array<std::uint8_t, 3>{0x12, 0x34, 0xEE}));
    EXPECT_EQ(TextToBcd("12", std::span<std::uint8_t>(), false), 0u);
}

TEST(CodecsBcd, DigitTextsRoundTrip) {
    for (const std::string text : {"0", "00", "205", "1000", "9876543210", "0001"}) {
        std::array<std::uint8_t, 8> out{};
        const std::size_t n = TextToBcd(text, out, false);
        EXPECT_EQ(BcdToText(std::span(out).first(n), 0), text);
    }
}

TEST(CodecsBcd, WordToHex) {
    EXPECT_EQ(WordToHex(0x34, 0x12), "1234");
    EXPECT_EQ(WordToHex(0x05, 0x8F), "8F05");
    EXPECT_EQ(WordToHex(0xAB, 0x0C), "0CAB");
    EXPECT_EQ(WordToHex(0x00, 0x00), "0000");
}

// ---- firmware versions ----------------------------------------------------------------

TEST(CodecsVersion, CompareVersions) {
    struct Case { const char* first; const char* second; int result; };
    const Case cases[] = {
        {"22,9", "23,8", 0},
        {"24,10", "24,4", 2},
        {"24,4", "24,4", 1},
        {"23,8", "23,08", 1},
        {"24,3", "24,30", 0},  // 2403 against 2430
        {"24,7", "23,8", 2},
        {"244", "23,8", -1},   // no comma
        {"23,8", "244", -2},
        {"244", "x", -2},      // -2 wins
        {"", "23,8", -1},
        {"23,8", "", -2},
        {"23,", "23,8", -1},
        {"23,123", "23,8", -1},
        {",8", "23,8", -1},
        {"2a,8", "23,8", -1},
        {"23,8x", "23,8", -1},
        {"23,-1", "23,8", -1},
        {" 23,8", "23,8", -1},
        {"23,8,1", "23,8", -1},
        {"99999999999999999999,1", "23,8", -1},  // too large
        {"23,8", "184467440737095516,15", 0},     // 2^64 - 1 still fits
        {"23,8", "184467440737095516,16", -2},    // 2^64 does not
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.first) + " vs " + c.second);
        EXPECT_EQ(CompareVersions(c.first, c.second), c.result);
    }
}

// ---- exchange time ----------------------------------------------------------------------

TEST(CodecsTime, Examples) {
    EXPECT_EQ(SecondsToDateTime(kMonthDays, 0), (TDateTime{1980, 1, 1, 0, 0, 0}));
    EXPECT_EQ(DateTimeToSeconds(kMonthDays, 1984, 3, 1, 0, 0, 0), 131414400u);  // 1521 days
    EXPECT_EQ(DateTimeToSeconds(kMonthDays, 2020, 2, 29, 0, 0, 0) / 86400, 14669u);
    EXPECT_EQ(SecondsToDateTime(14669ull * 86400 + 45296), (TDateTime{2020, 2, 29, 12, 34, 56}));
    EXPECT_EQ(SecondsToDateTime(31622399), (TDateTime{1980, 12, 31, 23, 59, 59}));
    EXPECT_EQ(DateTimeToSeconds(TDateTime{1981, 1, 1, 0, 0, 0}), 31622400u);
    // No century rule: 2100 is a leap year here.
    EXPECT_EQ(DateTimeToSeconds(TDateTime{2100, 3, 1, 0, 0, 0}) -
                  DateTimeToSeconds(TDateTime{2100, 2, 28, 0, 0, 0}),
              2u * 86400);
}

TEST(CodecsTime, RoundTripAgainstACalendar) {
    // Walk day by day with an independent calendar (leap = year divisible by 4) over all
    // of the unsigned 32-bit range.
    int year = 1980, month = 1, day = 1;
    for (std::uint32_t days = 0; days < 49710; ++days) {
        const int ofDay = static_cast<int>((days * 7919u) % 86400u);
        const TDateTime expected{year, month, day, ofDay / 3600, ofDay / 60 % 60, ofDay % 60};
        const std::uint32_t s = days * 86400u + static_cast<std::uint32_t>(ofDay);
        ASSERT_EQ(SecondsToDateTime(kMonthDays, s), expected) << "day " << days;
        ASSERT_EQ(DateTimeToSeconds(expected), s) << "day " << days;

        const int len = kMonthDays[month - 1] + (month == 2 && year % 4 == 0 ? 1 : 0);
        if (++day > len) {
            day = 1;
            if (++month > 12) month = 1, ++year;
        }
    }
    EXPECT_EQ(year, 2116);
}

TEST(CodecsTime, MonthTableIsUsed) {
    const TMonthTable empty{};
    // Only February's leap day is left: 1980 has one day, 1981 none.
    EXPECT_EQ(SecondsToDateTime(empty, 0), (TDateTime{1980, 2, 1, 0, 0, 0}));
    EXPECT_EQ(SecondsToDateTime(empty, 366ull * 86400), (TDateTime{1981, 0, 0, 0, 0, 0}));
    EXPECT_EQ(DateTimeToSeconds(empty, 1980, 12, 1, 0, 0, 0), 86400u);
}

TEST(CodecsTime, TimeOfDay) {
    EXPECT_EQ(SecondsToTime(0), (TTimeOfDay{0, 0, 0}));
    EXPECT_EQ(SecondsToTime(86399), (TTimeOfDay{23, 59, 59}));
    EXPECT_EQ(SecondsToTime(86400 + 3661), (TTimeOfDay{1, 1, 1}));
    EXPECT_EQ(TimeToSeconds(1, 1, 1), 3661);
    EXPECT_EQ(TimeToSeconds(23, 59, 59), 86399);
}

// ---- numbering plans ----------------------------------------------------------------------

const char* const kPlanModels[] = {"KVT700-1", "KVT250", "RD16", "RD32"};
const char* const kOtherModels[] = {"RD900", "Pebbo", "B", "C"};

TEST(CodecsNumbering, Lines) {
    EXPECT_EQ(LineIndexToNumber("KVT700-1", 0), 200);
    EXPECT_EQ(LineIndexToNumber("KVT250", 37), 237);
    EXPECT_EQ(LineIndexToNumber("RD32", 8), 210);
    EXPECT_EQ(LineIndexToNumber("RD16", 7), 207);
    EXPECT_EQ(LineIndexToNumber("RD900", 15), 217);  // any "RD" model
    EXPECT_EQ(LineIndexToNumber("Pebbo", 0), -1);
    EXPECT_EQ(NumberToLineIndex("217", "RD16"), 16);
    EXPECT_EQ(NumberToLineIndex("210", "RD32"), 9);
    EXPECT_EQ(NumberToLineIndex("200", "KVT250"), 1);
    EXPECT_EQ(NumberToLineIndex("237", "KVT700-1"), 38);
    for (const char* m : kOtherModels) EXPECT_EQ(NumberToLineIndex("210", m), -1) << m;
    for (const char* m : kPlanModels)
        for (int i = 0; i < 120; ++i)
            ASSERT_EQ(NumberToLineIndex(std::to_string(LineIndexToNumber(m, i)), m), i + 1)
                << m << " " << i;
}

TEST(CodecsNumbering, Trunks) {
    const int kvt[] = {200, 202, 204, 206, 208, 210};
    const int rd[] = {200, 202, 210, 212, 220, 222};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(TrunkIndexToNumber("KVT250", i), kvt[i]);
        EXPECT_EQ(TrunkIndexToNumber("RD32", i), rd[i]);
    }
    EXPECT_EQ(TrunkIndexToNumber("Pebbo", 1), -1);
    EXPECT_EQ(NumberToTrunkIndex("212", "RD32"), 3);
    EXPECT_EQ(NumberToTrunkIndex("204", "KVT250"), 2);
    for (const char* m : kOtherModels) EXPECT_EQ(NumberToTrunkIndex("200", m), -1) << m;
    for (const char* m : kPlanModels)
        for (int i = 0; i < 64; ++i)
            ASSERT_EQ(NumberToTrunkIndex(std::to_string(TrunkIndexToNumber(m, i)), m), i)
                << m << " " << i;
}

TEST(CodecsNumbering, ConversionError) {
    for (const char* text : {"", "2x0", "abc", " 200", "200 ", "-", "99999999999"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(NumberToLineIndex(text, "KVT250"), EConvertError);
        EXPECT_THROW(NumberToTrunkIndex(text, "RD16"), EConvertError);
    }
    EXPECT_EQ(StrToInt("+201"), 201);
    EXPECT_EQ(StrToInt("-7"), -7);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_THROW(StrToInt("2147483648"), EConvertError);
    EXPECT_THROW(StrToInt("+-1"), EConvertError);
}

TEST(CodecsNumbering, SystemPhones) {
    EXPECT_EQ(STAIndexToNumber(4, "KVT250"), 214);
    EXPECT_EQ(GetLogSTA("KVT250", 214), 3);
    const int kvt[] = {204, 206, 208, 214, 216, 218, 224};
    const int rd[] = {200, 202, 204, 206, 210, 212, 214};
    for (int k = 1; k <= 7; ++k) {
        EXPECT_EQ(STAIndexToNumber(k, "KVT700-1"), kvt[k - 1]);
        EXPECT_EQ(STAIndexToNumber(k, "RD16"), rd[k - 1]);
    }
    for (const char* m : kPlanModels)
        for (int k = 1; k <= 45; ++k)
            ASSERT_EQ(GetLogSTA(m, STAIndexToNumber(k, m)), k - 1) << m << " " << k;
    for (const char* m : kOtherModels) {
        EXPECT_EQ(STAIndexToNumber(1, m), -1) << m;
        EXPECT_EQ(GetLogSTA(m, 204), -1) << m;
    }
}

// ---- system-phone keys ------------------------------------------------------------------

TEST(CodecsKey, StrToWord1Shapes) {
    struct Case { const char* text; std::uint8_t value, kind; };
    const Case cases[] = {
        {"Conf 5", 0x05, 0x8F}, {"Conf0", 0x0A, 0x8F},
        {"SL00", 0xAA, 0xAA},   {"SL12", 0x12, 0xAA},
        {"SL210", 0x1A, 0xAB},  {"SL312", 0x12, 0xAC},
        {"05", 0xA5, 0x00},     {"00", 0xA0, 0x00},   {"012", 0x12, 0x0A},
        {"10", 0x10, 0x00},     {"19", 0x19, 0x00},   {"105", 0xA5, 0x01},
        {"1234", 0x34, 0x12},   {"1034", 0x34, 0x1A},
        {"200", 0xAA, 0x02},    {"345", 0x45, 0x03},
        {"5x", 0x55, 0x00},     {"507", 0xA7, 0x05},
        {"705", 0x05, 0x07},    {"770", 0x7A, 0x07},
        {"9", 0x09, 0x00},      {" 1 0 ", 0x10, 0x00},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::uint8_t value = 0, kind = 0;
        StrToWord1(c.text, value, kind);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(kind, c.kind);
    }
}

TEST(CodecsKey, StrToWord1LeavesOtherTextsAlone) {
    for (const char* text : {"", "   ", "4", "41", "6", "8", "99", "2", "22", "7", "70", "Conf",
                             "SL14", "SL1x", "SL412", "X12", "123456", "c0nf5"}) {
        SCOPED_TRACE(text);
        std::uint8_t value = 0x5A, kind = 0xC3;
        StrToWord1(text, value, kind);
        EXPECT_EQ(value, 0x5A);
        EXPECT_EQ(kind, 0xC3);
    }
}

TEST(CodecsKey, StrToWord1ConversionError) {
    for (const char* text : {"1x", "Confx", "SLx0", "0x5", "7a1", "1a34", "SL2x1"}) {
        SCOPED_TRACE(text);
        std::uint8_t value = 0x5A, kind = 0xC3;
        EXPECT_THROW(StrToWord1(text, value, kind), EConvertError);
        EXPECT_EQ(value, 0x5A);
        EXPECT_EQ(kind, 0xC3);
    }
}

TEST(CodecsKey, WordToHexShowsKindFirst) {
    std::uint8_t value = 0, kind = 0;
    StrToWord1("SL212", value, kind);
    EXPECT_EQ(WordToHex(value, kind), "AB12");
}

}  // namespace
}  // namespace stanset
